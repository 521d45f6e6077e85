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

# GNOME Files runs only the scripts in the user's own folder: for a
# system-wide install each user links the script there.
if(TEXTWEND_USER_INSTALL)
	set(nautilus_scripts "${share}/nautilus/scripts")
else()
	set(nautilus_scripts "${share}/textwend/nautilus")
endif()

# Dolphin trusts a service menu outside the system's folders only when it
# is executable.
if(TEXTWEND_USER_INSTALL)
	set(menu_permissions ${program_permissions})
else()
	set(menu_permissions ${file_permissions})
endif()

# Each image has its actions, offered for text files only, in the order of
# the menus: the detected set, the four chosen sets, LaTeX, undo. Dolphin
# shows them in one submenu and GNOME Files in one folder of scripts, both
# named Textwend, with the entry's own words; Nemo and Thunar have no
# submenus of their own, so each entry there carries the name in front.
set(images Textwend Textwend-Atari Textwend-DOS Textwend-Mac Textwend-Windows
	Textwend-LaTeX Textwend-Undo)
set(dolphin_actions "")
set(dolphin_groups "")
set(thunar_actions "")
foreach(image IN LISTS images)
	set(TEXTWEND_IMAGE ${image})
	string(TOLOWER ${image} base)
	set(TEXTWEND_MIME_TYPES "text/plain;")
	set(TEXTWEND_NEMO_MIME_TYPES "text/*;")
	set(thunar_id "${base}-convert-to-utf-8")
	set(keep_comment "and keeps each original as a -BAK file")
	if(image STREQUAL "Textwend")
		set(action convert)
		set(entry "convert (find the set)")
		set(TEXTWEND_LABEL "Textwend: convert to UTF-8")
		set(TEXTWEND_COMMENT "Converts the selected 8-bit text files into UTF-8 ${keep_comment}")
	elseif(image STREQUAL "Textwend-LaTeX")
		set(action convert-latex)
		set(entry "convert LaTeX umlauts")
		set(TEXTWEND_LABEL "Textwend: convert LaTeX umlauts to UTF-8")
		set(TEXTWEND_COMMENT "Converts LaTeX umlaut notation and 8-bit text in the selected files into UTF-8 ${keep_comment}")
		set(TEXTWEND_MIME_TYPES "text/x-tex;text/plain;")
		set(TEXTWEND_NEMO_MIME_TYPES "text/x-tex;text/plain;")
	elseif(image STREQUAL "Textwend-Undo")
		set(action undo)
		set(entry "undo the conversion")
		set(TEXTWEND_LABEL "Textwend: undo the conversion")
		set(TEXTWEND_COMMENT "Puts back the original of each selected file converted by Textwend, if the file is unchanged since")
		set(thunar_id "textwend-undo-the-conversion")
	else()
		string(REPLACE "Textwend-" "" set ${image})
		string(TOLOWER "convert-${set}" action)
		if(set STREQUAL "Atari")
			set(set_name "Atari ST")
		elseif(set STREQUAL "DOS")
			set(set_name "DOS code page 437")
		elseif(set STREQUAL "Mac")
			set(set_name "Macintosh")
		else()
			set(set_name "Windows ANSI")
		endif()
		set(entry "convert from ${set_name}")
		set(TEXTWEND_LABEL "Textwend: convert from ${set}")
		set(TEXTWEND_COMMENT "Converts the selected text files from ${set_name} into UTF-8 ${keep_comment}")
	endif()
	set(out "${written}/${image}")
	foreach(name Textwend textwend.nemo_action textwend-sendto.desktop)
		configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/${name}.in"
			"${out}/${name}" @ONLY)
	endforeach()

	file(INSTALL "${out}/Textwend" DESTINATION "${nautilus_scripts}/Textwend"
		RENAME "${entry}" PERMISSIONS ${program_permissions})
	file(INSTALL "${out}/textwend.nemo_action"
		DESTINATION "${share}/nemo/actions" RENAME ${base}.nemo_action
		PERMISSIONS ${file_permissions})
	# Thunar: the "Send To" menu takes desktop entries from a folder; it
	# offers the two that convert what they find.
	if(image STREQUAL "Textwend" OR image STREQUAL "Textwend-LaTeX")
		file(INSTALL "${out}/textwend-sendto.desktop"
			DESTINATION "${share}/Thunar/sendto" RENAME ${base}.desktop
			PERMISSIONS ${file_permissions})
	endif()

	string(APPEND dolphin_actions "${action};")
	string(APPEND dolphin_groups "
[Desktop Action ${action}]
Name=${entry}
Icon=accessories-text-editor
Exec=${TEXTWEND_HOST_DESKTOP} ${image} %F
")
	# XML text, in a shell script's quoted here-document.
	string(REPLACE "&" "&amp;" thunar_label "${TEXTWEND_LABEL}")
	string(APPEND thunar_actions "<action>
	<icon>accessories-text-editor</icon>
	<name>${thunar_label}</name>
	<submenu></submenu>
	<unique-id>${thunar_id}</unique-id>
	<command>${TEXTWEND_HOST_THUNAR} ${image} %F</command>
	<description>${TEXTWEND_COMMENT}</description>
	<range></range>
	<patterns>*</patterns>
	<text-files/>
</action>
")
endforeach()

# Dolphin: one service menu, all entries in its submenu.
set(TEXTWEND_DOLPHIN_ACTIONS "${dolphin_actions}")
set(TEXTWEND_DOLPHIN_GROUPS "${dolphin_groups}")
configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/textwend.desktop.in"
	"${written}/textwend.desktop" @ONLY)
file(INSTALL "${written}/textwend.desktop"
	DESTINATION "${share}/kio/servicemenus"
	PERMISSIONS ${menu_permissions})

# Thunar's custom actions live in one file per user, which the helper
# edits.
string(STRIP "${thunar_actions}" TEXTWEND_THUNAR_ACTIONS)
configure_file("${TEXTWEND_ACTIONS_SOURCE_DIR}/thunar-action.in"
	"${written}/thunar-action" @ONLY)
file(INSTALL "${written}/thunar-action"
	DESTINATION "${CMAKE_INSTALL_PREFIX}/${TEXTWEND_LIBDIR}"
	PERMISSIONS ${program_permissions})

file(REMOVE_RECURSE "${written}")
