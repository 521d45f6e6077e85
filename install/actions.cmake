# Part of the install step: writes the file managers' actions for the host
# where this install puts it (the prefix given to cmake --install may differ
# from the configured one), then installs them. The install rules set the
# TEXTWEND_* variables before they include this script.

set(host "${CMAKE_INSTALL_PREFIX}/${TEXTWEND_BINDIR}/tracker-run")
# Nemo has no way to write a literal "%" in a command, and no action format
# carries a line break.
if(host MATCHES "[%\n]")
	message(FATAL_ERROR "The file-manager actions cannot name a host whose "
		"path holds '%' or a line break: ${host}")
endif()

# For a shell, and for the GLib parser that Nemo uses: one single-quoted
# word.
string(REPLACE "'" "'\\''" quoted "${host}")
set(TEXTWEND_HOST_SHELL "'${quoted}'")

# Key files (desktop entries, Nemo actions) read a backslash as an escape.
string(REPLACE "\\" "\\\\" TEXTWEND_HOST_NEMO "${TEXTWEND_HOST_SHELL}")

# A desktop entry's Exec: a double-quoted argument in which \ " ` $ are
# escaped, % doubled, and then the key file's own escape of \.
string(REPLACE "\\" "\\\\" quoted "${host}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
set(TEXTWEND_HOST_DESKTOP "\"${quoted}\"")

# Thunar runs its command with /bin/sh after replacing its % codes; the
# command is XML text.
string(REPLACE "%" "%%" quoted "${TEXTWEND_HOST_SHELL}")
string(REPLACE "&" "&amp;" quoted "${quoted}")
string(REPLACE "<" "&lt;" quoted "${quoted}")
string(REPLACE ">" "&gt;" quoted "${quoted}")
string(REPLACE "'" "&apos;" quoted "${quoted}")
string(REPLACE "\"" "&quot;" TEXTWEND_HOST_THUNAR "${quoted}")

# A folder for each place installed to, so that installs running side by
# side (a package being built, say) do not write over each other's files.
string(MD5 place "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(written "${TEXTWEND_ACTIONS_BINARY_DIR}/${place}")

set(share "${CMAKE_INSTALL_PREFIX}/${TEXTWEND_DATADIR}")
set(program_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
	GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(file_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The translations of the entries, in each file manager's own way: read
# from the catalogues' sources, po/LANGUAGE.po.
include("${TEXTWEND_PO_DIR}/read_po.cmake")
foreach(language IN LISTS TEXTWEND_LANGUAGES)
	textwend_read_po("${TEXTWEND_PO_DIR}/${language}.po" po_${language})
endforeach()

# text translated into language, or empty when the catalogue has it not.
function(translated out language text)
	string(MD5 key "${text}")
	set(${out} "${po_${language}_${key}}" PARENT_SCOPE)
endfunction()

# Key file lines "Key[LANGUAGE]=translation" for text, one per language
# that has it.
function(key_translations out key text)
	set(lines "")
	foreach(language IN LISTS TEXTWEND_LANGUAGES)
		translated(local ${language} "${text}")
		if(NOT local STREQUAL "")
			string(APPEND lines "${key}[${language}]=${local}\n")
		endif()
	endforeach()
	set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# Thunar's XML elements <TAG>text</TAG>, then one per language that has a
# translation; XML text, in a shell script's quoted here-document.
function(xml_escape out text)
	string(REPLACE "&" "&amp;" text "${text}")
	string(REPLACE "<" "&lt;" text "${text}")
	string(REPLACE ">" "&gt;" text "${text}")
	set(${out} "${text}" PARENT_SCOPE)
endfunction()
function(xml_translations out tag text)
	xml_escape(escaped "${text}")
	set(lines "\t<${tag}>${escaped}</${tag}>\n")
	foreach(language IN LISTS TEXTWEND_LANGUAGES)
		translated(local ${language} "${text}")
		if(NOT local STREQUAL "")
			xml_escape(escaped "${local}")
			string(APPEND lines
				"\t<${tag} xml:lang=\"${language}\">${escaped}</${tag}>\n")
		endif()
	endforeach()
	set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# GNOME Files offers scripts for every file and only from the user's own
# folder: where its extension for Python is missing, a user links this
# folder there.
set(nautilus_scripts "${share}/textwend/nautilus")

# Dolphin trusts a service menu outside the system's folders only when it
# is executable.
if(TEXTWEND_USER_INSTALL)
	set(menu_permissions ${program_permissions})
else()
	set(menu_permissions ${file_permissions})
endif()

# Each image has its entry, in the order of the menus: the detected set, the
# four chosen sets, LaTeX, undo, offered for text files; then the whole
# folder and its undo, offered for folders; and the check, for both.
# Dolphin, Thunar and GNOME Files show them in a submenu "Textwend" with the
# same words; Nemo has no submenus, so there each entry carries the name in
# front, and the files' names keep them together and in order. Nemo cuts a
# label longer than about 36 characters, so there a long entry has a short
# form of its own. Dolphin orders the actions of a submenu by their ids, so
# the ids are numbered, in two digits so that their order is the numbers'.
set(images Textwend Textwend-Atari Textwend-DOS Textwend-Mac Textwend-Windows
	Textwend-LaTeX Textwend-Undo Textwend-Folder Textwend-Folder-Undo
	Textwend-Check)
# LaTeX notation is read wherever "a stands, so its entry is offered for
# TeX files alone: the MIME type of their names, and those names, which
# Thunar matches as they are written.
set(tex_mime_types "text/x-tex;")
set(tex_patterns "*.tex;*.ltx;*.sty;*.cls;*.dtx;*.ins")
string(TOUPPER "${tex_patterns}" upper)
string(APPEND tex_patterns ";${upper}")
set(dolphin_actions "")
set(dolphin_groups "")
set(dolphin_tex_actions "")
set(dolphin_tex_groups "")
set(dolphin_folder_actions "")
set(dolphin_folder_groups "")
set(thunar_actions "")
set(nautilus_entries "")
set(number 0)
foreach(image IN LISTS images)
	math(EXPR number "${number} + 1")
	set(TEXTWEND_IMAGE ${image})
	string(TOLOWER ${image} base)
	set(TEXTWEND_MIME_TYPES "text/plain;")
	set(TEXTWEND_NEMO_MIME_TYPES "text/*;")
	set(thunar_patterns "*")
	set(thunar_id "${base}-convert-to-utf-8")
	set(nemo_label "")
	# What it is offered for: text files, folders, or both.
	set(for_files ON)
	set(for_folders OFF)
	if(image STREQUAL "Textwend")
		set(action convert)
		set(entry "convert (find the set)")
		set(comment "Converts the selected 8-bit text files into UTF-8 and keeps each original as a -BAK file")
	elseif(image STREQUAL "Textwend-LaTeX")
		set(action convert-latex)
		set(entry "convert LaTeX umlauts")
		set(comment "Converts LaTeX umlaut notation and 8-bit text in the selected files into UTF-8 and keeps each original as a -BAK file")
		set(TEXTWEND_NEMO_MIME_TYPES "${tex_mime_types}")
		set(thunar_patterns "${tex_patterns}")
	elseif(image STREQUAL "Textwend-Undo")
		set(action undo)
		set(entry "undo the conversion")
		set(comment "Puts back the original of each selected file converted by Textwend, if the file is unchanged since")
		set(thunar_id "textwend-undo-the-conversion")
	elseif(image STREQUAL "Textwend-Folder")
		set(action convert-folder)
		set(entry "convert everything inside")
		set(comment "Converts every 8-bit text file inside the selected folders into UTF-8 and keeps each original as a -BAK file")
		set(thunar_id "textwend-folder-convert-everything-inside")
		set(for_files OFF)
		set(for_folders ON)
	elseif(image STREQUAL "Textwend-Folder-Undo")
		set(action undo-folder)
		set(entry "undo everything inside")
		set(comment "Puts back the original of every file converted by Textwend inside the selected folders, if the file is unchanged since")
		set(thunar_id "textwend-folder-undo-everything-inside")
		set(for_files OFF)
		set(for_folders ON)
	elseif(image STREQUAL "Textwend-Check")
		set(action check)
		set(entry "check (change nothing)")
		set(comment "Says what Textwend would do with each selected text file and with every file inside the selected folders, and changes nothing")
		set(thunar_id "textwend-check-change-nothing")
		set(for_folders ON)
	else()
		string(REPLACE "Textwend-" "" set ${image})
		string(TOLOWER "convert-${set}" action)
		if(set STREQUAL "Atari")
			set(entry "convert from Atari ST")
			set(comment "Converts the selected text files from Atari ST into UTF-8 and keeps each original as a -BAK file")
		elseif(set STREQUAL "DOS")
			set(entry "convert from DOS code page 437")
			set(nemo_label "Textwend: convert from DOS CP 437")
			set(comment "Converts the selected text files from DOS code page 437 into UTF-8 and keeps each original as a -BAK file")
		elseif(set STREQUAL "Mac")
			set(entry "convert from Macintosh")
			set(comment "Converts the selected text files from Macintosh into UTF-8 and keeps each original as a -BAK file")
		else()
			set(entry "convert from Windows ANSI")
			set(comment "Converts the selected text files from Windows ANSI into UTF-8 and keeps each original as a -BAK file")
		endif()
	endif()
	if(number LESS 10)
		set(number "0${number}")
	endif()
	set(action "${number}-${action}")
	set(out "${written}/${image}")
	if(for_folders AND for_files)
		set(TEXTWEND_NEMO_MIME_TYPES "text/*;inode/directory;")
	elseif(for_folders)
		set(TEXTWEND_NEMO_MIME_TYPES "inode/directory;")
	endif()

	# Nemo: the name in front of the entry, each language's label whole.
	if(nemo_label STREQUAL "")
		set(nemo_label "Textwend: ${entry}")
	endif()
	set(TEXTWEND_LABEL "${nemo_label}")
	set(TEXTWEND_COMMENT "${comment}")
	key_translations(TEXTWEND_LABEL_TRANSLATIONS Name "${nemo_label}")
	key_translations(TEXTWEND_COMMENT_TRANSLATIONS Comment "${comment}")
	configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/textwend.nemo_action.in"
		"${out}/textwend.nemo_action" @ONLY)
	file(INSTALL "${out}/textwend.nemo_action"
		DESTINATION "${share}/nemo/actions"
		RENAME "textwend-${action}.nemo_action"
		PERMISSIONS ${file_permissions})

	configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/Textwend.in"
		"${out}/Textwend" @ONLY)
	file(INSTALL "${out}/Textwend" DESTINATION "${nautilus_scripts}/Textwend"
		RENAME "${entry}" PERMISSIONS ${program_permissions})

	# Thunar: the "Send To" menu takes desktop entries from a folder; it
	# offers the one that converts what it finds.
	if(image STREQUAL "Textwend")
		set(TEXTWEND_LABEL "Textwend: convert to UTF-8")
		key_translations(TEXTWEND_LABEL_TRANSLATIONS Name "${TEXTWEND_LABEL}")
		configure_file(
			"${TEXTWEND_ACTIONS_SOURCE_DIR}/textwend-sendto.desktop.in"
			"${out}/textwend-sendto.desktop" @ONLY)
		file(INSTALL "${out}/textwend-sendto.desktop"
			DESTINATION "${share}/Thunar/sendto" RENAME ${base}.desktop
			PERMISSIONS ${file_permissions})
	endif()

	# Dolphin: a service menu for text files, and one for TeX files that
	# adds the LaTeX entry to the same submenu.
	key_translations(names Name "${entry}")
	set(group "
[Desktop Action ${action}]
Name=${entry}
${names}Icon=accessories-text-editor
Exec=${TEXTWEND_HOST_DESKTOP} ${image} %F
")
	# A menu for each kind of selection, as Dolphin offers a menu only for
	# the kinds it names: folders have one of their own.
	if(image STREQUAL "Textwend-LaTeX")
		string(APPEND dolphin_tex_actions "${action};")
		string(APPEND dolphin_tex_groups "${group}")
	elseif(for_files)
		string(APPEND dolphin_actions "${action};")
		string(APPEND dolphin_groups "${group}")
	endif()
	if(for_folders)
		string(APPEND dolphin_folder_actions "${action};")
		string(APPEND dolphin_folder_groups "${group}")
	endif()
	xml_translations(names name "${entry}")
	xml_translations(descriptions description "${comment}")
	set(thunar_kinds "")
	if(for_folders)
		string(APPEND thunar_kinds "	<directories/>\n")
	endif()
	if(for_files)
		string(APPEND thunar_kinds "	<text-files/>\n")
	endif()
	string(APPEND thunar_actions "<action>
	<icon>accessories-text-editor</icon>
${names}	<submenu>Textwend</submenu>
	<unique-id>${thunar_id}</unique-id>
	<command>${TEXTWEND_HOST_THUNAR} ${image} %F</command>
${descriptions}	<range></range>
	<patterns>${thunar_patterns}</patterns>
${thunar_kinds}</action>
")
	string(REPLACE "\\" "\\\\" quoted "${entry}")
	string(REPLACE "\"" "\\\"" quoted "${quoted}")
	string(REGEX REPLACE ";.*" "" type "${TEXTWEND_NEMO_MIME_TYPES}")
	if(type STREQUAL "text/*")
		set(type "text/plain")
	endif()
	set(types "\"${type}\"")
	if(for_files AND for_folders)
		string(APPEND types ", \"inode/directory\"")
	endif()
	string(APPEND nautilus_entries
		"    (\"${image}\", N_(\"${quoted}\"), (${types},)),\n")
endforeach()

# Dolphin: the service menus, all entries in one submenu.
key_translations(TEXTWEND_COMMENT_TRANSLATIONS Comment
	"Converts the selected 8-bit text files into UTF-8, or puts back their originals")
foreach(menu textwend textwend-latex textwend-folder)
	if(menu STREQUAL "textwend")
		set(TEXTWEND_MIME_TYPES "text/plain;")
		set(TEXTWEND_DOLPHIN_ACTIONS "${dolphin_actions}")
		set(TEXTWEND_DOLPHIN_GROUPS "${dolphin_groups}")
	elseif(menu STREQUAL "textwend-folder")
		set(TEXTWEND_MIME_TYPES "inode/directory;")
		set(TEXTWEND_DOLPHIN_ACTIONS "${dolphin_folder_actions}")
		set(TEXTWEND_DOLPHIN_GROUPS "${dolphin_folder_groups}")
	else()
		set(TEXTWEND_MIME_TYPES "${tex_mime_types}")
		set(TEXTWEND_DOLPHIN_ACTIONS "${dolphin_tex_actions}")
		set(TEXTWEND_DOLPHIN_GROUPS "${dolphin_tex_groups}")
	endif()
	configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/textwend.desktop.in"
		"${written}/${menu}.desktop" @ONLY)
	file(INSTALL "${written}/${menu}.desktop"
		DESTINATION "${share}/kio/servicemenus"
		PERMISSIONS ${menu_permissions})
endforeach()

# GNOME Files: an extension for its Python, found by every user in the
# data folders, that asks gettext for the entries' words.
string(REPLACE "\\" "\\\\" quoted "${host}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
set(TEXTWEND_HOST_PYTHON "\"${quoted}\"")
string(REPLACE "\\" "\\\\" quoted "${share}/locale")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
set(TEXTWEND_LOCALE_PYTHON "\"${quoted}\"")
string(STRIP "${nautilus_entries}" TEXTWEND_NAUTILUS_ENTRIES)
configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/textwend-nautilus.py.in"
	"${written}/textwend.py" @ONLY)
file(INSTALL "${written}/textwend.py"
	DESTINATION "${share}/nautilus-python/extensions"
	PERMISSIONS ${file_permissions})

# Thunar's custom actions live in one file per user, which the helper
# edits.
string(STRIP "${thunar_actions}" TEXTWEND_THUNAR_ACTIONS)
configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/thunar-action.in"
	"${written}/thunar-action" @ONLY)
file(INSTALL "${written}/thunar-action"
	DESTINATION "${CMAKE_INSTALL_PREFIX}/${TEXTWEND_LIBDIR}"
	PERMISSIONS ${program_permissions})

file(REMOVE_RECURSE "${written}")
