/*
 * Installing Textwend: what an install puts where, the file managers'
 * actions run the way the file managers run them, Thunar's custom action
 * merged into a user's actions, and the Debian package built, installed
 * into a scratch root and purged again.
 */
#include "install/command_lines.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>


namespace {

namespace fs = std::filesystem;

const std::string kBuild = TEXTWEND_BUILD_DIR;
const std::string kPrefix = TEXTWEND_PREFIX;
const bool kImageBuilt = TEXTWEND_IMAGE_BUILT;

// A letter written under DOS: code page 437 with CR LF line ends, and what
// it becomes.
const std::string kDosLetter = "Gr\x81\xe1"
							   "e aus \x99sterreich!\r\n";
const std::string kConverted = "Grüße aus Österreich!\n";


using test::read_file;


void
write_file(const std::string& path, const std::string& bytes)
{
	fs::create_directories(fs::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << bytes;
}


mode_t
permissions(const std::string& path)
{
	struct stat st;
	return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}


// The regular files and links below folder, relative to it.
std::set<std::string>
files_below(const std::string& folder)
{
	std::set<std::string> files;
	if (!fs::exists(folder))
		return files;
	for (const auto& entry : fs::recursive_directory_iterator(folder)) {
		if (!entry.is_directory())
			files.insert(fs::relative(entry.path(), folder).string());
	}
	return files;
}


// The program of that name along PATH, as a shell finds it.
std::string
which(const std::string& name)
{
	std::istringstream folders(getenv("PATH") != NULL ? getenv("PATH") : "");
	std::string folder;
	while (std::getline(folders, folder, ':')) {
		std::string path = folder + "/" + name;
		if (!folder.empty() && access(path.c_str(), X_OK) == 0)
			return path;
	}
	return name;
}


// The RUNPATH of an ELF file, as readelf shows it.
std::string
runpath(const std::string& file)
{
	test::ChildResult run = test::run_program({TEXTWEND_READELF, "-d", file});
	size_t at = run.output.find("Library runpath: [");
	if (at == std::string::npos)
		return std::string();
	at += strlen("Library runpath: [");
	return run.output.substr(at, run.output.find(']', at) - at);
}


// Sets environment variables for the programs that a test starts, and
// puts the old values back at the end.
class Environment {
public:
	~Environment()
	{
		for (const auto& [name, value] : fSaved) {
			if (value.first)
				setenv(name.c_str(), value.second.c_str(), 1);
			else
				unsetenv(name.c_str());
		}
	}

	void
	Set(const std::string& name, const std::string& value)
	{
		_Save(name);
		setenv(name.c_str(), value.c_str(), 1);
	}

	void
	Unset(const std::string& name)
	{
		_Save(name);
		unsetenv(name.c_str());
	}

private:
	void
	_Save(const std::string& name)
	{
		if (fSaved.count(name) != 0)
			return;
		const char* value = getenv(name.c_str());
		fSaved[name] = {value != NULL, value != NULL ? value : ""};
	}

	std::map<std::string, std::pair<bool, std::string>> fSaved;
};


class InstallTest : public testing::Test {
protected:
	void
	SetUp() override
	{
		fScratch = fScratchFolder.path();
		// An empty home of the test's own, and no display or terminal: the
		// add-on's alerts answer themselves on standard error.
		fHome = fScratch + "/home";
		fs::create_directories(fHome);
		fEnvironment.Set("HOME", fHome);
		fEnvironment.Unset("DISPLAY");
		fEnvironment.Unset("XDG_CONFIG_HOME");
		fEnvironment.Set("XDG_CONFIG_DIRS", fScratch + "/no-config");
		fEnvironment.Unset("DESTDIR");
	}

	// Installs the build into destdir, under the configured prefix or
	// under prefix.
	void
	Install(const std::string& destdir, const std::string& prefix = "")
	{
		Environment environment;
		Words arguments = {TEXTWEND_CMAKE, "--install", kBuild};
		if (!prefix.empty()) {
			arguments.push_back("--prefix");
			arguments.push_back(prefix);
		}
		if (!destdir.empty())
			environment.Set("DESTDIR", destdir);
		test::ChildResult run = test::run_program(arguments);
		ASSERT_EQ(run.status, 0) << run.output << run.errors;
	}

	// A folder with the files of a selection, made fresh.
	std::string
	Folder(const std::string& name, const Words& files,
			const std::string& content)
	{
		std::string folder = fScratch + "/" + name;
		for (const std::string& file : files)
			write_file(folder + "/" + file, content);
		return folder;
	}

	Environment fEnvironment;
	test::Folder fScratchFolder {"install"};
	std::string fScratch;
	std::string fHome;
};


// Every image with its entry, in the order of the menus: the words of the
// submenu "Textwend" (Dolphin, Thunar, GNOME Files) and their German, the
// names of its actions, Nemo's label in both languages, which Nemo shows
// whole up to kNemoLabel characters, and what it is offered for.
struct Image {
	std::string name;
	std::string entry;    // in the submenu "Textwend"
	std::string german;   // the same in German
	std::string base;     // the Nemo action's file name
	std::string dolphin;  // the Dolphin action
	std::string thunarId; // the Thunar custom action
	std::string nemo;     // Nemo's label
	std::string nemoGerman;
	bool forFiles = true;
	bool forFolders = false;
};

const Image kImages[] = {
		{"Textwend", "convert (find the set)",
				"umwandeln (Zeichensatz erkennen)", "textwend-01-convert",
				"01-convert", "textwend-convert-to-utf-8",
				"Textwend: convert (find the set)",
				"Textwend: umwandeln (Satz erkennen)"},
		{"Textwend-Atari", "convert from Atari ST", "aus Atari ST umwandeln",
				"textwend-02-convert-atari", "02-convert-atari",
				"textwend-atari-convert-to-utf-8",
				"Textwend: convert from Atari ST",
				"Textwend: aus Atari ST umwandeln"},
		{"Textwend-DOS", "convert from DOS code page 437",
				"aus DOS-Codepage 437 umwandeln", "textwend-03-convert-dos",
				"03-convert-dos", "textwend-dos-convert-to-utf-8",
				"Textwend: convert from DOS CP 437",
				"Textwend: aus DOS-CP 437 umwandeln"},
		{"Textwend-Mac", "convert from Macintosh", "aus Macintosh umwandeln",
				"textwend-04-convert-mac", "04-convert-mac",
				"textwend-mac-convert-to-utf-8",
				"Textwend: convert from Macintosh",
				"Textwend: aus Macintosh umwandeln"},
		{"Textwend-Windows", "convert from Windows ANSI",
				"aus Windows ANSI umwandeln", "textwend-05-convert-windows",
				"05-convert-windows", "textwend-windows-convert-to-utf-8",
				"Textwend: convert from Windows ANSI",
				"Textwend: aus Windows ANSI umwandeln"},
		{"Textwend-LaTeX", "convert LaTeX umlauts", "LaTeX-Umlaute umwandeln",
				"textwend-06-convert-latex", "06-convert-latex",
				"textwend-latex-convert-to-utf-8",
				"Textwend: convert LaTeX umlauts",
				"Textwend: LaTeX-Umlaute umwandeln"},
		{"Textwend-Undo", "undo the conversion", "Umwandlung rückgängig machen",
				"textwend-07-undo", "07-undo", "textwend-undo-the-conversion",
				"Textwend: undo the conversion",
				"Textwend: Umwandlung zurücknehmen"},
		{"Textwend-Folder", "convert everything inside",
				"alles darin umwandeln", "textwend-08-convert-folder",
				"08-convert-folder",
				"textwend-folder-convert-everything-inside",
				"Textwend: convert everything inside",
				"Textwend: alles darin umwandeln", false, true},
		{"Textwend-Folder-Undo", "undo everything inside",
				"alles darin rückgängig machen", "textwend-09-undo-folder",
				"09-undo-folder", "textwend-folder-undo-everything-inside",
				"Textwend: undo everything inside",
				"Textwend: alles darin zurücknehmen", false, true},
		{"Textwend-Check", "check (change nothing)", "prüfen (nichts ändern)",
				"textwend-10-check", "10-check",
				"textwend-check-change-nothing",
				"Textwend: check (change nothing)",
				"Textwend: prüfen (nichts ändern)", true, true},
};
const size_t kNemoLabel = 36;

// The characters of a UTF-8 text.
size_t
characters(const std::string& text)
{
	return std::count_if(text.begin(), text.end(),
			[](char byte) { return (byte & 0xC0) != 0x80; });
}
const Image& kTextwend = kImages[0];
const Image& kLatex = kImages[5];

// GNOME Files' extension for Python, and the program that shows what it
// offers.
const std::string kPython = "/usr/bin/python3";
const std::string kNautilusMenu
		= TEXTWEND_SOURCE_DIR "/tests/support/nautilus_menu.py";
const int kSkipped = 77;


// The Thunar custom actions' unique ids, in order.
std::vector<std::string>
thunar_ids()
{
	std::vector<std::string> ids;
	for (const Image& image : kImages)
		ids.push_back(image.thunarId);
	return ids;
}


// What an install puts below its prefix, with the permissions each file
// gets.
std::map<std::string, mode_t>
installed_files()
{
	std::map<std::string, mode_t> files = {
			{"bin/tracker-run", 0755},
			{"lib/textwend/kits/libbe.so", 0644},
			{"lib/textwend/thunar-action", 0755},
			{"share/locale/de/LC_MESSAGES/textwend.mo", 0644},
			{"share/nautilus-python/extensions/textwend.py", 0644},
			{"share/Thunar/sendto/textwend.desktop", 0644},
			{"share/man/man1/tracker-run.1.gz", 0644},
			{"share/man/man1/Textwend.1.gz", 0644},
			{"share/doc/textwend/changelog.gz", 0644},
			{"share/doc/textwend/copyright", 0644},
	};
	files["share/kio/servicemenus/textwend.desktop"] = 0644;
	files["share/kio/servicemenus/textwend-latex.desktop"] = 0644;
	files["share/kio/servicemenus/textwend-folder.desktop"] = 0644;
	for (const Image& image : kImages) {
		files["share/textwend/nautilus/Textwend/" + image.entry] = 0755;
		files["share/nemo/actions/" + image.base + ".nemo_action"] = 0644;
		if (kImageBuilt)
			files["lib/textwend/add-ons/Tracker/" + image.name] = 0755;
	}
	return files;
}


TEST_F(InstallTest, InstallsItsFilesBelowThePrefixAndNothingElse)
{
	std::string destdir = fScratch + "/stage";
	Install(destdir);
	std::string prefix = destdir + kPrefix;

	std::set<std::string> expected;
	for (const auto& [file, mode] : installed_files()) {
		expected.insert(file);
		EXPECT_EQ(permissions(prefix + "/" + file), mode) << file;
	}
	EXPECT_EQ(files_below(destdir), [&] {
		std::set<std::string> withPrefix;
		for (const std::string& file : expected)
			withPrefix.insert(fs::relative(kPrefix + "/" + file, "/").string());
		return withPrefix;
	}());

	// The kits are found from where the programs are, and the image,
	// copied into a user's add-on folder, finds those of this prefix.
	EXPECT_EQ(runpath(prefix + "/bin/tracker-run"),
			"$ORIGIN/../lib/textwend/kits");
	if (kImageBuilt) {
		std::string image
				= runpath(prefix + "/lib/textwend/add-ons/Tracker/Textwend");
		EXPECT_EQ(image.rfind("$ORIGIN/../../kits:" + kPrefix
								  + "/lib/textwend/kits",
						  0),
				0u)
				<< image;
	}
}


TEST_F(InstallTest, DesktopFilesAndManualPagesAreWellFormed)
{
	std::string prefix = fScratch + "/prefix";
	Install("", prefix);

	for (const char* file : {"share/kio/servicemenus/textwend.desktop",
				 "share/kio/servicemenus/textwend-latex.desktop",
				 "share/kio/servicemenus/textwend-folder.desktop",
				 "share/Thunar/sendto/textwend.desktop"}) {
		SCOPED_TRACE(file);
		test::ChildResult run = test::run_program(
				{which("desktop-file-validate"), prefix + "/" + file});
		EXPECT_EQ(run.status, 0) << run.output << run.errors;
		EXPECT_EQ(run.output.find("error"), std::string::npos) << run.output;
	}
	for (const char* page : {"tracker-run.1.gz", "Textwend.1.gz"}) {
		SCOPED_TRACE(page);
		test::ChildResult run = test::run_program(
				{"/bin/sh", "-c", "gzip -dc \"$0\" | groff -man -Tutf8 -ww -z",
						prefix + "/share/man/man1/" + page});
		EXPECT_EQ(run.status, 0);
		EXPECT_EQ(run.errors, "");
	}
}


// The program image of the install runs as a program: started without a
// terminal, it names the add-on folder it is installed in and quits.
TEST_F(InstallTest, TheInstalledImageRunsAsAProgram)
{
	if (!kImageBuilt)
		GTEST_SKIP() << "the add-on image is not part of this build";
	std::string destdir = fScratch + "/stage";
	Install(destdir);

	std::string folder = destdir + kPrefix + "/lib/textwend/add-ons/Tracker";
	test::ChildResult run = test::run_program({folder + "/Textwend"});
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_NE(run.errors.find("so move it to:\n\t" + folder + "\n"),
			std::string::npos)
			<< run.errors;
}


TEST_F(InstallTest, TheHostFindsAddOnsByNameUserFolderFirst)
{
	std::string destdir = fScratch + "/stage";
	Install(destdir);
	std::string host = destdir + kPrefix + "/bin/tracker-run";
	std::string system = destdir + kPrefix + "/lib/textwend/add-ons/Tracker";
	std::string user = fHome + "/config/add-ons/Tracker";
	std::string folder = Folder("selection", {"a.txt"}, "text\n");
	fs::create_directories(system);
	fs::create_directories(user);

	// An add-on only in the system's folder; one in both, where the user's
	// is the one that records its calls; and one in neither.
	fs::copy_file(TEXTWEND_TEST_IMAGE, system + "/OnlySystem");
	fs::copy_file(TEXTWEND_NO_ENTRY_IMAGE, system + "/Both");
	fs::copy_file(TEXTWEND_TEST_IMAGE, user + "/Both");

	for (const char* name : {"OnlySystem", "Both"}) {
		SCOPED_TRACE(name);
		test::ChildResult run
				= test::run_program({host, name, "a.txt"}, folder);
		EXPECT_EQ(run.status, 0) << run.errors;
		EXPECT_NE(
				run.output.find("\t" + folder + "/a.txt\n"), std::string::npos)
				<< run.output;
	}
	test::ChildResult run
			= test::run_program({host, "Neither", "a.txt"}, folder);
	EXPECT_EQ(run.status, 2);
	EXPECT_EQ(run.errors,
			"tracker-run: no add-on named 'Neither' in " + user + " or "
					+ system + "\n");
}


// Dolphin's service menus, one for each kind of selection.
const char* const kDolphinMenus[] = {"textwend.desktop",
		"textwend-latex.desktop", "textwend-folder.desktop"};

// Dolphin's service menus, one after the other: the actions of all, which
// it shows in one submenu.
std::string
dolphin_menus(const std::string& share)
{
	std::string menus;
	for (const char* menu : kDolphinMenus)
		menus += read_file(share + "/kio/servicemenus/" + menu) + "\n";
	return menus;
}


// The four file managers, each with the way it starts its action.
enum FileManager {
	kNautilusExtension,
	kNautilus,
	kNemo,
	kDolphin,
	kThunarCustomAction,
	kSendTo
};

struct Action {
	FileManager manager;
	const char* label;
};

const Action kActions[] = {
		{kNautilusExtension, "GNOME Files extension"},
		{kNautilus, "GNOME Files script"},
		{kNemo, "Nemo action"},
		{kDolphin, "Dolphin service menu"},
		{kThunarCustomAction, "Thunar custom action"},
		{kSendTo, "Thunar Send To"},
};


class ActionTest : public InstallTest {
protected:
	void
	SetUp() override
	{
		InstallTest::SetUp();
		// A prefix with a blank, an umlaut and a quote, which every action
		// must quote to reach the host.
		fPrefix = fScratch + "/Prä fix's";
		Install("", fPrefix);
	}

	// The program and arguments that the file manager starts when the
	// image's action runs on the named files of folder.
	Words
	Command(FileManager manager, const std::string& folder, const Words& names,
			const Image& image = kTextwend)
	{
		Words paths;
		for (const std::string& name : names)
			paths.push_back(folder + "/" + name);
		std::string share = fPrefix + "/share";

		switch (manager) {
		case kNautilusExtension: {
			// The extension, loaded as GNOME Files loads it, and its entry
			// chosen.
			Words words = {kPython, kNautilusMenu,
					share + "/nautilus-python/extensions/textwend.py",
					"--activate", "Textwend/" + image.entry};
			words.insert(words.end(), paths.begin(), paths.end());
			return words;
		}
		case kNautilus: {
			// A script receives the names, and runs in the folder.
			Words words
					= {share + "/textwend/nautilus/Textwend/" + image.entry};
			words.insert(words.end(), names.begin(), names.end());
			return words;
		}
		case kNemo:
			return nemo_exec(key_value(read_file(share + "/nemo/actions/"
											   + image.base + ".nemo_action"),
									 "Nemo Action", "Exec"),
					paths);
		case kDolphin:
			return desktop_exec(
					key_value(dolphin_menus(share),
							"Desktop Action " + image.dolphin, "Exec"),
					paths);
		case kSendTo:
			// One entry, which finds the set.
			return desktop_exec(
					key_value(read_file(share
									  + "/Thunar/sendto/textwend.desktop"),
							"Desktop Entry", "Exec"),
					paths);
		case kThunarCustomAction:
			return thunar_command(ThunarCommand(image.thunarId), paths);
		}
		return Words();
	}

	// The command of the custom action that the helper adds for a user.
	std::string
	ThunarCommand(const std::string& id)
	{
		std::string uca = fScratch + "/thunar/uca.xml";
		test::ChildResult run = test::run_program(
				{fPrefix + "/lib/textwend/thunar-action", uca});
		EXPECT_EQ(run.status, 0) << run.errors;
		std::string text = read_file(uca);
		size_t at = text.find("<unique-id>" + id + "</unique-id>");
		size_t start = text.find("<command>", at);
		size_t end = text.find("</command>", at);
		if (at == std::string::npos || start == std::string::npos
				|| end == std::string::npos)
			return std::string();
		start += strlen("<command>");
		return text.substr(start, end - start);
	}

	std::string fPrefix;
};


// Names that a shell or a quoted command line could break.
const Words kAwkwardNames = {"Grüße aus Wien.txt", "-n.txt", "two  blanks.txt",
		"it's $HOME.txt", "\"quoted\" `x`.txt", "back\\slash"};


TEST_F(ActionTest, ActionsHandTheSelectionToTheAddOnIntact)
{
	// The recording image stands in for the add-on, installed for the user.
	std::string user = fHome + "/config/add-ons/Tracker";
	fs::create_directories(user);
	fs::copy_file(TEXTWEND_TEST_IMAGE, user + "/Textwend");

	for (const Action& action : kActions) {
		SCOPED_TRACE(action.label);
		std::string folder = Folder("refs-" + std::to_string(action.manager),
				kAwkwardNames, "text\n");

		test::ChildResult run = test::run_program(
				Command(action.manager, folder, kAwkwardNames), folder);
		if (run.status == kSkipped) {
			std::cout << action.label << " not tried: " << run.errors;
			continue;
		}
		ASSERT_EQ(run.status, 0) << run.errors;

		Words paths;
		for (const Words& fields : test::split_lines(run.output)) {
			if (fields[0].rfind("ref ", 0) == 0 && fields.size() == 5)
				paths.push_back(fields[4]);
		}
		Words expected;
		for (const std::string& name : kAwkwardNames)
			expected.push_back(folder + "/" + name);
		EXPECT_EQ(paths, expected) << run.output;
	}
}


TEST_F(ActionTest, ActionsConvertTheSelectedFiles)
{
	if (!kImageBuilt)
		GTEST_SKIP() << "the add-on image is not part of this build";

	// A line break too, which the recording image could not record.
	Words texts = kAwkwardNames;
	texts.push_back("new\nline.txt");
	// The LaTeX entry is offered for TeX files.
	Words tex;
	for (const std::string& name : texts)
		tex.push_back(name + ".tex");
	const struct {
		const Image& image;
		const Words& names;
		std::string before;
		std::string after;
	} cases[] = {
			{kTextwend, texts, kDosLetter, kConverted},
			{kLatex, tex, "Gr\"u\"se\n", "Grüße\n"},
	};
	for (const auto& c : cases) {
		const Words& names = c.names;
		for (const Action& action : kActions) {
			if (action.manager == kSendTo && &c.image != &kTextwend)
				continue;
			SCOPED_TRACE(c.image.name + ", " + action.label);
			std::string folder = Folder(
					"convert-" + c.image.base + std::to_string(action.manager),
					names, c.before);

			test::ChildResult run = test::run_program(
					Command(action.manager, folder, names, c.image), folder);
			if (run.status == kSkipped)
				continue;
			ASSERT_EQ(run.status, 0) << run.errors;
			for (const std::string& name : names) {
				SCOPED_TRACE(name);
				EXPECT_EQ(read_file(folder + "/" + name), c.after);
				EXPECT_EQ(read_file(folder + "/" + name + "-BAK"), c.before);
			}
		}
	}
}


// The words of an entry's label in German or English.
std::string
words(const Image& image, bool german)
{
	return german ? image.german : image.entry;
}


// One menu everywhere: the submenu "Textwend" in Dolphin, Thunar and GNOME
// Files, and in Nemo, which has no submenus, the entries with "Textwend: "
// in front, kept together by the names of their files and short enough to
// be shown whole; in all four the same order, in English and in German.
// Each entry runs its own image.
TEST_F(ActionTest, EveryFileManagerShowsTheSameMenu)
{
	std::string share = fPrefix + "/share/";
	std::string menu = dolphin_menus(share);
	for (const char* file : kDolphinMenus) {
		EXPECT_EQ(key_value(read_file(share + "kio/servicemenus/" + file),
						  "Desktop Entry", "X-KDE-Submenu"),
				"Textwend")
				<< file;
	}
	std::string uca = fScratch + "/thunar/uca.xml";
	ThunarCommand(kTextwend.thunarId);
	std::string thunar = read_file(uca);
	// Dolphin orders a submenu's actions by their ids; the check is in the
	// menu of files and in that of folders.
	std::set<std::string> ids;
	for (const char* file : kDolphinMenus) {
		std::istringstream actions(
				key_value(read_file(share + "kio/servicemenus/" + file),
						"Desktop Entry", "Actions"));
		for (std::string id; std::getline(actions, id, ';');)
			ids.insert(id);
	}
	Words dolphinIds(ids.begin(), ids.end());
	// Nemo orders its actions by the names of their files.
	Words nemoFiles;
	for (const auto& entry : fs::directory_iterator(share + "nemo/actions"))
		nemoFiles.push_back(entry.path().string());
	std::sort(nemoFiles.begin(), nemoFiles.end());
	// All for a TeX file but those for folders.
	write_file(fScratch + "/a.tex", kDosLetter);

	for (bool german : {false, true}) {
		SCOPED_TRACE(german ? "German" : "English");
		std::string key = german ? "Name[de]" : "Name";
		Words expected, nemoExpected, dolphin, nemo, thunarNames;
		for (const Image& image : kImages) {
			expected.push_back(words(image, german));
			nemoExpected.push_back(german ? image.nemoGerman : image.nemo);
		}
		for (const std::string& id : dolphinIds)
			dolphin.push_back(key_value(menu, "Desktop Action " + id, key));
		for (const std::string& file : nemoFiles) {
			std::string label = key_value(read_file(file), "Nemo Action", key);
			nemo.push_back(label);
			EXPECT_LE(characters(label), kNemoLabel) << label;
		}
		std::string open = german ? "<name xml:lang=\"de\">" : "<name>";
		for (size_t at = thunar.find(open); at != std::string::npos;
				at = thunar.find(open, at + 1)) {
			size_t start = at + open.size();
			thunarNames.push_back(
					thunar.substr(start, thunar.find('<', start) - start));
		}
		EXPECT_EQ(dolphin, expected) << "Dolphin";
		EXPECT_EQ(nemo, nemoExpected) << "Nemo";
		EXPECT_EQ(thunarNames, expected) << "Thunar";

		Environment language;
		language.Set("LANG", "C.UTF-8");
		if (german)
			language.Set("LANGUAGE", "de");
		else
			language.Unset("LANGUAGE");
		test::ChildResult run = test::run_program({kPython, kNautilusMenu,
				share + "nautilus-python/extensions/textwend.py",
				fScratch + "/a.tex"});
		if (run.status == kSkipped) {
			std::cout << "GNOME Files not tried: " << run.errors;
			continue;
		}
		Words nautilus;
		for (const Image& image : kImages) {
			if (image.forFiles)
				nautilus.push_back(
						"item\tTextwend/" + words(image, german) + "\n");
		}
		EXPECT_EQ(run.output,
				"item\tTextwend\n"
						+ std::accumulate(nautilus.begin(), nautilus.end(),
								std::string()))
				<< "GNOME Files" << run.errors;
	}
	// Thunar shows them in its submenu; its Send To, one entry.
	size_t submenus = 0;
	for (size_t at = thunar.find("<submenu>Textwend</submenu>");
			at != std::string::npos;
			at = thunar.find("<submenu>Textwend</submenu>", at + 1))
		submenus++;
	EXPECT_EQ(submenus, std::size(kImages));
	EXPECT_EQ(files_below(share + "Thunar/sendto"),
			std::set<std::string> {"textwend.desktop"});
	EXPECT_EQ(key_value(read_file(share + "Thunar/sendto/textwend.desktop"),
					  "Desktop Entry", "Name[de]"),
			"Textwend: in UTF-8 umwandeln");

	for (const Image& image : kImages) {
		SCOPED_TRACE(image.name);
		std::string script = Command(kNautilus, fScratch, {}, image)[0];
		EXPECT_EQ(Command(kDolphin, fScratch, {"a.txt"}, image)[1], image.name);
		EXPECT_EQ(Command(kNemo, fScratch, {"a.txt"}, image)[1], image.name);
		EXPECT_NE(read_file(script).find(" " + image.name + " \"$@\""),
				std::string::npos)
				<< script;
		std::string command = ThunarCommand(image.thunarId);
		EXPECT_NE(command.find(" " + image.name + " %F"), std::string::npos)
				<< command;
	}
}


// The actions are offered for text only, the LaTeX entry for TeX files
// only, as it reads "a as ä wherever it stands, and those of a whole folder
// for folders; the check for both. GNOME Files offers its scripts for every
// file; the add-on passes a file that is no text over.
TEST_F(ActionTest, ActionsAreForTextOnly)
{
	std::string share = fPrefix + "/share/";
	const struct {
		std::string file;
		std::string group;
		std::string key;
		std::string value;
	} filters[] = {
			{"nemo/actions/textwend-01-convert.nemo_action", "Nemo Action",
					"Mimetypes", "text/*;"},
			{"nemo/actions/textwend-06-convert-latex.nemo_action",
					"Nemo Action", "Mimetypes", "text/x-tex;"},
			{"nemo/actions/textwend-07-undo.nemo_action", "Nemo Action",
					"Mimetypes", "text/*;"},
			{"nemo/actions/textwend-08-convert-folder.nemo_action",
					"Nemo Action", "Mimetypes", "inode/directory;"},
			{"nemo/actions/textwend-10-check.nemo_action", "Nemo Action",
					"Mimetypes", "text/*;inode/directory;"},
			{"kio/servicemenus/textwend.desktop", "Desktop Entry", "MimeType",
					"text/plain;"},
			{"kio/servicemenus/textwend-latex.desktop", "Desktop Entry",
					"MimeType", "text/x-tex;"},
			{"kio/servicemenus/textwend-folder.desktop", "Desktop Entry",
					"MimeType", "inode/directory;"},
			{"kio/servicemenus/textwend-folder.desktop", "Desktop Entry",
					"Actions", "08-convert-folder;09-undo-folder;10-check;"},
			{"Thunar/sendto/textwend.desktop", "Desktop Entry", "MimeType",
					"text/plain;"},
	};
	for (const auto& filter : filters) {
		EXPECT_EQ(key_value(read_file(share + filter.file), filter.group,
						  filter.key),
				filter.value)
				<< filter.file;
	}
	EXPECT_EQ(key_value(read_file(share + "kio/servicemenus/textwend.desktop"),
					  "Desktop Entry", "Actions")
					  .find(kLatex.dolphin),
			std::string::npos);
	std::string uca = fScratch + "/thunar/uca.xml";
	ThunarCommand(kTextwend.thunarId);
	std::string actions = read_file(uca);
	EXPECT_EQ(actions.find("<other-files/>"), std::string::npos) << actions;
	EXPECT_NE(actions.find("<text-files/>"), std::string::npos) << actions;
	size_t latex = actions.find("<unique-id>" + kLatex.thunarId);
	EXPECT_NE(actions.find("<patterns>*.tex;*.ltx;*.sty;*.cls;*.dtx;*.ins;"
						   "*.TEX;*.LTX;*.STY;*.CLS;*.DTX;*.INS</patterns>",
					  latex),
			std::string::npos)
			<< actions;
	// Thunar's kinds of each action: folders, text files, or both.
	for (const Image& image : kImages) {
		size_t at = actions.find("<unique-id>" + image.thunarId + "<");
		std::string action
				= actions.substr(at, actions.find("</action>", at) - at);
		EXPECT_EQ(action.find("<text-files/>") != std::string::npos,
				image.forFiles)
				<< action;
		EXPECT_EQ(action.find("<directories/>") != std::string::npos,
				image.forFolders)
				<< action;
	}

	std::string folder
			= Folder("mixed", {"Brief.txt", "Arbeit.tex"}, kDosLetter);
	fs::copy_file(which("true"), folder + "/program");
	fs::create_directory(folder + "/Ordner");
	// The extension offers nothing for a selection with a program in it,
	// its LaTeX entry only while every file is a TeX file, and the entries
	// of a whole folder while every item is a folder.
	const Image& whole = kImages[7];
	const Image& check = kImages[9];
	const struct {
		Words names;
		bool menu;
		bool latex;
		bool folder;
		bool check;
	} selections[] = {
			{{"program"}, false, false, false, false},
			{{"program", "Brief.txt"}, false, false, false, false},
			{{"Brief.txt"}, true, false, false, true},
			{{"Brief.txt", "Arbeit.tex"}, true, false, false, true},
			{{"Arbeit.tex"}, true, true, false, true},
			{{"Ordner"}, true, false, true, true},
			{{"Ordner", "Brief.txt"}, true, false, false, true},
			{{"Ordner", "program"}, false, false, false, false},
	};
	for (const auto& selection : selections) {
		Words arguments = {kPython, kNautilusMenu,
				share + "nautilus-python/extensions/textwend.py"};
		for (const std::string& name : selection.names)
			arguments.push_back(folder + "/" + name);
		test::ChildResult run = test::run_program(arguments);
		if (run.status == kSkipped)
			break;
		SCOPED_TRACE(selection.names.back());
		EXPECT_EQ(run.output.find("item\tTextwend\n") != std::string::npos,
				selection.menu)
				<< run.output << run.errors;
		EXPECT_EQ(
				run.output.find("/" + kLatex.entry + "\n") != std::string::npos,
				selection.latex)
				<< run.output;
		EXPECT_EQ(
				run.output.find("/" + whole.entry + "\n") != std::string::npos,
				selection.folder)
				<< run.output;
		EXPECT_EQ(
				run.output.find("/" + check.entry + "\n") != std::string::npos,
				selection.check)
				<< run.output;
	}

	if (!kImageBuilt)
		return;
	test::ChildResult run = test::run_program(
			Command(kNautilus, folder, {"program", "Brief.txt"}), folder);
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(read_file(folder + "/Brief.txt"), kConverted);
	EXPECT_FALSE(fs::exists(folder + "/program-BAK"));
	EXPECT_NE(run.errors.find("\nTextwend: program: not a text file, passed "
							  "over\n"),
			std::string::npos)
			<< run.errors;
}


class ThunarActionTest : public InstallTest {
protected:
	void
	SetUp() override
	{
		InstallTest::SetUp();
		fPrefix = fScratch + "/prefix";
		Install("", fPrefix);
		fHelper = fPrefix + "/lib/textwend/thunar-action";
	}

	std::string fPrefix;
	std::string fHelper;
};


std::string
uca_file(const Words& actions)
{
	std::string text
			= "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n";
	for (const std::string& id : actions) {
		text += "<action>\n\t<name>" + id + "</name>\n\t<unique-id>" + id
				+ "</unique-id>\n\t<command>true %f</command>\n</action>\n";
	}
	return text + "</actions>\n";
}


// The unique ids of the actions in a file, in order.
Words
action_ids(const std::string& text)
{
	Words ids;
	const std::string open = "<unique-id>";
	for (size_t at = text.find(open); at != std::string::npos;
			at = text.find(open, at + 1)) {
		size_t start = at + open.size();
		ids.push_back(text.substr(start, text.find('<', start) - start));
	}
	return ids;
}


TEST_F(ThunarActionTest, TheActionIsMergedIntoTheUsersActions)
{
	const std::string ours = "textwend-convert-to-utf-8";
	const std::string latex = "textwend-latex-convert-to-utf-8";
	// The user's, then all of ours.
	auto with_ours = [](Words ids) {
		for (const std::string& id : thunar_ids())
			ids.push_back(id);
		return ids;
	};
	std::string uca = fHome + "/.config/Thunar/uca.xml";
	std::string defaults = fScratch + "/no-config/Thunar/uca.xml";

	struct {
		const char* label;
		std::string systemFile; // the system's default actions, if any
		std::string userFile;   // the user's file before, if any
		Words arguments;
		Words ids;
	} cases[] = {
			{"a user without actions", "", "", {}, with_ours({})},
			{"a user with the system's defaults", uca_file({"open-terminal"}),
					"", {}, with_ours({"open-terminal"})},
			{"added twice", "", uca_file({"mine", ours, "other", latex}), {},
					with_ours({"mine", "other"})},
			{"removed", "", uca_file({"mine", ours, "other", latex}),
					{"--remove"}, {"mine", "other"}},
			{"removed where it is not", "", "", {"--remove"}, {}},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(test.label);
		fs::remove_all(fHome + "/.config");
		fs::remove_all(fScratch + "/no-config");
		if (!test.systemFile.empty())
			write_file(defaults, test.systemFile);
		if (!test.userFile.empty())
			write_file(uca, test.userFile);

		Words arguments = {fHelper};
		arguments.insert(
				arguments.end(), test.arguments.begin(), test.arguments.end());
		test::ChildResult run = test::run_program(arguments);
		ASSERT_EQ(run.status, 0) << run.errors;
		EXPECT_EQ(action_ids(read_file(uca)), test.ids);
	}
}


// Thunar gives an action without an id one and writes the whole file anew
// in the language of the moment, dropping every translated name: the
// system's default actions have none, so the helper gives them one.
TEST_F(ThunarActionTest, EveryActionHasAnIdSoThunarKeepsTheTranslations)
{
	write_file(fScratch + "/no-config/Thunar/uca.xml",
			"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n"
			"<action>\n\t<name>Open Terminal Here</name>\n"
			"\t<name xml:lang=\"de\">Terminal hier öffnen</name>\n"
			"\t<command>true %f</command>\n</action>\n</actions>\n");
	test::ChildResult run = test::run_program({fHelper});
	ASSERT_EQ(run.status, 0) << run.errors;
	std::string text = read_file(fHome + "/.config/Thunar/uca.xml");
	Words ids = action_ids(text);
	ASSERT_EQ(ids.size(), std::size(kImages) + 1) << text;
	EXPECT_NE(ids[0], "") << text;
	EXPECT_EQ(ids[0].rfind("textwend-", 0), std::string::npos) << text;
	EXPECT_NE(text.find("<name xml:lang=\"de\">Terminal hier öffnen</name>"),
			std::string::npos);
	EXPECT_NE(text.find("<name xml:lang=\"de\">Umwandlung rückgängig "
						"machen</name>"),
			std::string::npos);
}


TEST_F(ThunarActionTest, TheUsersFileIsNeverLostOrBroken)
{
	std::string uca = fScratch + "/config/uca.xml";
	std::string kept = fScratch + "/dotfiles/uca.xml";

	// A file kept elsewhere and linked stays linked, with its permissions.
	write_file(kept, uca_file({"mine"}));
	fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
	fs::create_directories(fScratch + "/config");
	fs::create_symlink(kept, uca);
	test::ChildResult run = test::run_program({fHelper, uca});
	ASSERT_EQ(run.status, 0) << run.errors;
	EXPECT_TRUE(fs::is_symlink(uca));
	Words ids = thunar_ids();
	ids.insert(ids.begin(), "mine");
	EXPECT_EQ(action_ids(read_file(kept)), ids);
	EXPECT_EQ(permissions(kept), 0600u);

	// A file that is no list of actions is left as it was.
	std::string broken = fScratch + "/broken/uca.xml";
	write_file(broken, "<actions>\n<action>\n");
	run = test::run_program({fHelper, broken});
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(read_file(broken), "<actions>\n<action>\n");
	EXPECT_EQ(files_below(fScratch + "/broken"),
			std::set<std::string> {"uca.xml"});

	for (Words arguments : {Words {"--frobnicate"}, Words {"a", "b"}}) {
		arguments.insert(arguments.begin(), fHelper);
		EXPECT_EQ(test::run_program(arguments).status, 2);
	}
}


// Installs a Debian package into root with dpkg, which keeps its database
// there: the machine's own packages are not touched. dpkg looks for
// ldconfig on PATH whether a package needs it or not: a stand-in serves.
test::ChildResult
dpkg_in(const std::string& root, const Words& arguments)
{
	std::string stubs = root + "-stubs";
	if (!fs::exists(root)) {
		for (const char* folder :
				{"/var/lib/dpkg/updates", "/var/lib/dpkg/info", "/var/log"})
			fs::create_directories(root + folder);
		write_file(root + "/var/lib/dpkg/status", "");
		write_file(stubs + "/ldconfig", "#!/bin/sh\nexit 0\n");
		fs::permissions(stubs + "/ldconfig", fs::perms::owner_all);
	}
	Environment environment;
	environment.Set("PATH", stubs + ":" + getenv("PATH"));
	Words words
			= {which("dpkg"), "--root=" + root, "--force-script-chrootless"};
	words.insert(words.end(), arguments.begin(), arguments.end());
	return test::run_program(words);
}


// Builds the Debian package of the build folder build into output; the
// status of cpack, and the package's path.
test::ChildResult
build_package(const std::string& build, const std::string& output,
		std::string* package)
{
	test::ChildResult run = test::run_program({TEXTWEND_CPACK, "--config",
			build + "/CPackConfig.cmake", "-G", "DEB", "-B", output});
	*package = output + "/textwend_" TEXTWEND_VERSION "_"
			+ test::split_lines(
					test::run_program({which("dpkg"), "--print-architecture"})
							.output)[0][0]
			+ ".deb";
	return run;
}


// The files a package holds, without the leading "./".
std::set<std::string>
package_files(const std::string& package)
{
	std::set<std::string> files;
	for (const Words& fields : test::split_lines(
				 test::run_program({which("dpkg-deb"), "-c", package})
						 .output)) {
		std::string line = fields[0];
		if (line[0] != 'd' && line.find(" ./") != std::string::npos)
			files.insert(line.substr(line.find(" ./") + 3));
	}
	return files;
}


TEST_F(InstallTest, TheDebianPackageInstallsAndPurgesCleanly)
{
	std::string package;
	test::ChildResult run
			= build_package(kBuild, fScratch + "/package", &package);
	ASSERT_EQ(run.status, 0) << run.output << run.errors;
	ASSERT_TRUE(fs::exists(package)) << run.output;

	// Everything of an install, under /usr.
	std::set<std::string> expected;
	for (const auto& [file, mode] : installed_files())
		expected.insert("usr/" + file);
	EXPECT_EQ(package_files(package), expected);

	// Its dependencies are those of its programs.
	std::string depends
			= test::run_program({which("dpkg-deb"), "-f", package, "Depends"})
					  .output;
	for (const char* library :
			{"libc6 ", "libstdc++6 ", "libxxhash0 ", "libmagic1 "})
		EXPECT_NE(depends.find(library), std::string::npos) << depends;
	EXPECT_EQ(
			test::run_program({which("dpkg-deb"), "-f", package, "Recommends"})
					.output,
			"python3-nautilus\n");

	if (geteuid() != 0)
		GTEST_SKIP() << "installing a package with dpkg needs root";
	std::string root = fScratch + "/root";
	run = dpkg_in(root, {"--force-depends", "-i", package});
	ASSERT_EQ(run.status, 0) << run.output << run.errors;
	for (const std::string& file : expected)
		EXPECT_TRUE(fs::exists(root + "/" + file)) << file;
	// Its actions name the host where the package puts it.
	EXPECT_NE(read_file(root + "/usr/share/kio/servicemenus/textwend.desktop")
					  .find("\nExec=\"/usr/bin/tracker-run\" Textwend %F\n"),
			std::string::npos);

	// The packaged host finds the packaged add-on by its name.
	if (kImageBuilt) {
		std::string folder = Folder("selection", {"Brief.txt"}, kDosLetter);
		run = test::run_program(
				{root + "/usr/bin/tracker-run", "Textwend", "Brief.txt"},
				folder);
		EXPECT_EQ(run.status, 0) << run.errors;
		EXPECT_EQ(read_file(folder + "/Brief.txt"), kConverted);
	}

	run = dpkg_in(root, {"--purge", "textwend"});
	ASSERT_EQ(run.status, 0) << run.output << run.errors;
	std::set<std::string> left;
	for (const std::string& file : files_below(root)) {
		if (file.rfind("var/", 0) != 0)
			left.insert(file);
	}
	EXPECT_EQ(left, std::set<std::string>());
	EXPECT_FALSE(fs::exists(root + "/usr"));
	EXPECT_EQ(test::run_program(
					  {which("dpkg"), "--root=" + root, "-l", "textwend"})
					  .status,
			1);
}

// lintian, Debian's package checker, finds no error in the package; what
// it warns of is shown.
TEST_F(InstallTest, ThePackagePassesLintian)
{
	std::string lintian = which("lintian");
	if (access(lintian.c_str(), X_OK) != 0)
		GTEST_SKIP() << "lintian is not installed (debian-packages.txt)";
	std::string package;
	test::ChildResult run
			= build_package(kBuild, fScratch + "/package", &package);
	ASSERT_EQ(run.status, 0) << run.output << run.errors;

	run = test::run_program({lintian, "--allow-root", package});
	Words errors;
	for (const Words& fields : test::split_lines(run.output)) {
		if (fields[0].rfind("E: ", 0) == 0)
			errors.push_back(fields[0]);
		else if (fields[0].rfind("W: ", 0) == 0)
			std::cout << "lintian: " << fields[0] << "\n";
	}
	EXPECT_EQ(errors, Words()) << run.output << run.errors;
}


// A build folder once configured for one user's home makes no package that
// installs there, and removing such a package could not take the user's own
// install away. The folder is built afresh here, as a packager would have.
TEST_F(InstallTest, APackageAfterAUserInstallPutsNothingIntoAHome)
{
	if (!kImageBuilt)
		GTEST_SKIP() << "the add-on image is not part of this build";
	std::string build = fScratch + "/build";
	Words configure = {TEXTWEND_CMAKE, "-S", TEXTWEND_SOURCE_DIR, "-B", build,
			"-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug", "-DTEXTWEND_TESTS=OFF",
			"-DTEXTWEND_BENCH=OFF"};
	test::ChildResult run = test::run_program(configure);
	ASSERT_EQ(run.status, 0) << run.output << run.errors;
	configure.push_back("-DCMAKE_INSTALL_PREFIX=" + fHome + "/.local");
	configure.push_back("-DTEXTWEND_USER_INSTALL=ON");
	run = test::run_program(configure);
	ASSERT_EQ(run.status, 0) << run.output << run.errors;
	// A whole build: on a busy machine it takes minutes.
	test::ChildOptions building;
	building.seconds = 240;
	run = test::run_program(
			{TEXTWEND_CMAKE, "--build", build, "-j", "2"}, building);
	ASSERT_EQ(run.status, 0) << run.output << run.errors;
	run = test::run_program({TEXTWEND_CMAKE, "--install", build});
	ASSERT_EQ(run.status, 0) << run.output << run.errors;
	ASSERT_TRUE(fs::exists(fHome + "/config/add-ons/Tracker/Textwend"));

	std::string package;
	run = build_package(build, fScratch + "/package", &package);
	std::set<std::string> files;
	if (run.status == 0)
		files = package_files(package);
	std::string home = fs::relative(fHome, "/").string();
	for (const std::string& file : files) {
		EXPECT_NE(file.rfind(home, 0), 0u) << file;
		EXPECT_NE(file.rfind("home/", 0), 0u) << file;
		EXPECT_NE(file.rfind("root/", 0), 0u) << file;
	}
	EXPECT_TRUE(fs::exists(fHome + "/config/add-ons/Tracker/Textwend"));
}

} // namespace
