// Names from old machines: a file's name that is no UTF-8 takes its name in
// UTF-8 with its conversion, read in the set of its text, and undo gives
// back the very bytes; a folder's takes it once all inside is done, read in
// the set of what it holds. A name that cannot be taken stays and says why,
// and a kill at any step leaves what the next run and undo know.
#include "charmap/options.h"
#include "charmap/styles.h"
#include "convert/convert.h"
#include "convert/folder_name.h"
#include "convert/names.h"
#include "convert/result.h"
#include "convert/source_file.h"
#include "convert/undo.h"
#include "support/files.h"
#include "support/options.h"
#include "walk/tree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/xattr.h>

#include <map>

namespace {

using test::ChildOptions;
using test::Folder;
using test::OptionScope;
using test::read_file;
using test::write_file;

// Everything below a folder a person would miss: each path with its
// content ("/" for a folder) and Textwend's attributes.
std::map<std::string, std::string>
tree_state(const std::string& root, const std::string& below = "")
{
	std::map<std::string, std::string> state;
	for (const std::string& name : test::folder_entries(root + below)) {
		std::string path = below + "/" + name;
		std::string full = root + path;
		bool folder = S_ISDIR(test::mode_of(full));
		std::string& shown = state[path];
		shown = folder ? "/" : read_file(full);
		for (const char* attribute :
				{"user.textwend.converted", "user.textwend.renamed"}) {
			char value[512];
			ssize_t got = lgetxattr(full.c_str(), attribute, value, 512);
			if (got >= 0)
				shown += std::string(" ") + attribute;
		}
		if (folder)
			state.merge(tree_state(root, path));
	}
	return state;
}

// Runs call on path here, its record kept off the test's output.
void
run(void (*call)(char*), const std::string& path)
{
	std::string copy = path;
	testing::internal::CaptureStdout();
	testing::internal::CaptureStderr();
	call(copy.data());
	testing::internal::GetCapturedStdout();
	testing::internal::GetCapturedStderr();
}

// The same in a child with options: its standard error, and after it the
// reason the file's name or the file was left as it was.
test::ChildResult
in_child(void (*call)(char*), const std::string& path,
		const ChildOptions& options = {})
{
	return test::run_child(
			[call, path] {
				std::string copy = path;
				call(copy.data());
				fprintf(stderr, "%s%s", last_result.reason.c_str(),
						last_result.nameKept.c_str());
				return 0;
			},
			options);
}

const std::string kLong = std::string(10, '\x84') + std::string(236, 'a')
		+ ".txt"; // 250 bytes, 260 in UTF-8

TEST(Names, AreReadInTheSetOfTheirTextOrAloneAndOnlyWhenNoUtf8)
{
	const struct {
		std::string name;
		int32_t style; // 0: judged alone
		std::string read;
		std::string reason;
	} cases[] = {
			{"Br\x81"
			 "cke.txt",
					kStylePc, "Brücke.txt", ""},
			{"Stra\x9E"
			 "e.txt",
					kStyleTos, "Straße.txt", ""},
			{"M\x9Fller.txt", kStyleMac, "Müller.txt", ""},
			{"K\xE4se.txt", kStyleAnsi, "Käse.txt", ""},
			{"Br\x81\x07"
			 "cke",
					kStylePc,
					"Brü\x07"
					"cke",
					""},
			{"\x94Zitat\x94", kStyleAnsi, "\"Zitat\"", ""},
			{"Br\x81"
			 "cke.txt",
					kStyleAnsi, "",
					"it holds a byte that its character set has no character "
					"for"},
			{"M\x9Fller.txt", 0, "Müller.txt", ""},
			{"Gr\x81\xE1"
			 "e.txt",
					0, "Grüße.txt", ""},
			{"R\xE9sum\xE9.txt", 0, "Résumé.txt", ""},
			{"BR\x9A"
			 "CKE.TXT",
					0, "BRÜCKE.TXT", ""},
			{"x\xFF\xFE.bin", 0, "", "no known character set reads it"},
			{kLong, kStylePc, "",
					"it would take 260 bytes in UTF-8, more than the 255 a "
					"name may have"},
			// Valid UTF-8, however odd: never read again.
			{"MÃ¼ller.txt", kStylePc, "", ""},
			{"\x7F\x01.txt", 0, "", ""},
	};
	for (const auto& c : cases) {
		name_plan plan = plan_name(c.name, c.style);
		EXPECT_EQ(plan.name, c.read) << c.name;
		EXPECT_EQ(plan.reason, c.reason) << c.name;
	}
}


// The set a converted file's name is read in: its text's, else the set
// chosen, else its own; none where a build converts line ends only.
TEST(Names, AConvertedFilesNameIsReadInTheSetOfItsText)
{
	const std::string name = "K\x8A"
							 "se\x9F.txt";
	const struct {
		int32_t textStyle;
		int32_t fixed;
		int32_t popInd;
		std::string read;
	} cases[] = {
			{kStylePc, 0, 0, "Kèseƒ.txt"},
			{kStyleBe, kStyleTos, 0, "Kèseƒ.txt"},
			{kStyleBe, 0, 0, "Käseü.txt"},
			{kStyleNone, 0, 0, "Käseü.txt"},
			{kStyleMac, 0, 50, ""},
	};
	for (const auto& c : cases) {
		OptionScope<int32_t> fixed(fix_set, c.fixed);
		OptionScope<int32_t> table(pop_ind, c.popInd);
		EXPECT_EQ(plan_file_name(name, c.textStyle).name, c.read)
				<< c.textStyle << " " << c.fixed;
	}
}


struct Letter {
	const char* what;
	int32_t fixed; // fix_set: 0 detects
	std::string name;
	std::string text;
	std::string named;
	std::string converted;
};

const Letter kLetters[] = {
		{"DOS, detected", 0,
				"Br\x81"
				"cke.txt",
				"Gr\x81\xE1"
				"e\r\n",
				"Brücke.txt", "Grüße\n"},
		{"Atari, chosen", kStyleTos,
				"Stra\x9E"
				"e.txt",
				"Stra\x9E"
				"e \x84\n",
				"Straße.txt", "Straße ä\n"},
		{"Macintosh, chosen", kStyleMac, "M\x9Fller.txt",
				"K\x8A\xA7"
				"e\r",
				"Müller.txt", "Käße\n"},
		{"Windows, detected", 0, "K\xE4se.txt", "Caf\xE9 \xE1\n", "Käse.txt",
				"Café á\n"},
		{"a UTF-8 text: the name alone", 0,
				"Gr\x81\xE1"
				"e.txt",
				"Grüße\n", "Grüße.txt", "Grüße\n"},
		{"an ASCII text: the name alone", 0, "M\x9Fller.txt", "plain\n",
				"Müller.txt", "plain\n"},
		{"control bytes stay", kStylePc, "a\x01\x81.txt", "\x81\n",
				"a\x01ü.txt", "ü\n"},
};

TEST(Names, FilesTakeTheirNameInUtf8AndUndoGivesBackTheBytes)
{
	for (const Letter& letter : kLetters) {
		for (bool selectBackup : {false, true}) {
			SCOPED_TRACE(std::string(letter.what)
					+ (selectBackup ? ", the backup selected" : ""));
			OptionScope<int32_t> fixed(fix_set, letter.fixed);
			Folder folder;
			write_file(folder / letter.name, letter.text, 0640);
			setxattr((folder / letter.name).c_str(), "user.xdg.origin.url",
					"ftp://x", 7, 0);
			auto before = tree_state(folder.path());

			run(AlyBFile, folder / letter.name);
			EXPECT_TRUE(last_result.renamed) << last_result.nameKept;
			EXPECT_EQ(last_result.output, folder / letter.named);
			std::vector<std::string> names
					= {letter.name + "-BAK", letter.named};
			std::sort(names.begin(), names.end());
			EXPECT_EQ(test::folder_entries(folder.path()), names);
			EXPECT_EQ(read_file(folder / letter.named), letter.converted);
			EXPECT_EQ(read_file(folder / (letter.name + "-BAK")), letter.text);

			{
				OptionScope<int32_t> undo(undo_mod, 1);
				run(undo_conversion,
						folder
								/ (selectBackup ? letter.name + "-BAK"
												: letter.named));
			}
			EXPECT_TRUE(last_result.renamed) << last_result.reason;
			EXPECT_EQ(tree_state(folder.path()), before);
		}
	}
}


// Converted again under its name in UTF-8, it is undone a conversion at a
// time; its first backup is never converted.
TEST(Names, ARenamedFileConvertedAgainIsUndoneInTurn)
{
	Folder folder;
	std::string old = folder
			/ "Br\x81"
			  "cke.txt";
	write_file(old,
			"Gr\x81\xE1"
			"e\r\n");
	auto before = tree_state(folder.path());
	run(AlyBFile, old);
	run(AlyBFile, folder / "Brücke.txt");
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {"Br\x81"
									   "cke.txt-BAK",
					"Brücke.txt", "Brücke.txt-BAK"}));
	run(AlyBFile, old + "-BAK");
	EXPECT_EQ(last_result.reason,
			"it is the backup of Brücke.txt's conversion; undo Brücke.txt to "
			"get it back");
	OptionScope<int32_t> undo(undo_mod, 1);
	run(undo_conversion, folder / "Brücke.txt");
	EXPECT_FALSE(last_result.renamed);
	run(undo_conversion, folder / "Brücke.txt");
	EXPECT_TRUE(last_result.renamed);
	EXPECT_EQ(tree_state(folder.path()), before);
}


// Undo takes back only the name the conversion gave, and only to a name
// that is free.
TEST(Names, UndoTakesBackOnlyTheNameItGave)
{
	const struct {
		const char* what;
		std::string renamedTo; // by hand, after the conversion
		bool oldNameTaken;
		std::string reason;
	} cases[] = {
			{"renamed by hand", "Bruecke.txt", false,
					"it was renamed since it was converted from Br\x81"
					"cke.txt"},
			{"its old name taken", "Brücke.txt", true,
					"its original name Br\x81"
					"cke.txt is taken"},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.what);
		Folder folder;
		std::string old = folder
				/ "Br\x81"
				  "cke.txt";
		write_file(old,
				"Gr\x81\xE1"
				"e\r\n");
		run(AlyBFile, old);
		rename((folder / "Brücke.txt").c_str(), (folder / c.renamedTo).c_str());
		if (c.oldNameTaken)
			write_file(old, "new\n");
		auto before = tree_state(folder.path());
		OptionScope<int32_t> undo(undo_mod, 1);
		run(undo_conversion, folder / c.renamedTo);
		EXPECT_EQ(last_result.reason, c.reason);
		EXPECT_EQ(tree_state(folder.path()), before);
	}
}


// An undo that cannot go on once the converted file has its old name back
// gives it its new name again.
TEST(Names, AnUndoThatCannotGoOnLeavesTheNewName)
{
	static std::string sBackup;
	Folder folder;
	std::string old = folder
			/ "Br\x81"
			  "cke.txt";
	sBackup = old + "-BAK";
	write_file(old,
			"Gr\x81\xE1"
			"e\r\n");
	run(AlyBFile, old);
	auto undone = test::run_child([&] {
		replace_step_hook = [](const char* step) {
			// Another program writes to the original meanwhile.
			if (strcmp(step, "renamed") == 0)
				write_file(sBackup, "changed\n");
		};
		std::string copy = folder / "Brücke.txt";
		undo_conversion(copy.data());
		fputs(last_result.reason.c_str(), stderr);
		return 0;
	});
	EXPECT_EQ(undone.errors,
			"it was changed by another program while being undone");
	EXPECT_EQ(read_file(folder / "Brücke.txt"), "Grüße\n");
	EXPECT_EQ(read_file(sBackup), "changed\n");
	EXPECT_EQ(test::folder_entries(folder.path()).size(), 2u);
}


TEST(Names, ANameThatCannotBeTakenStaysAndSaysWhy)
{
	static std::string sTaken;
	const struct {
		const char* what;
		std::string name;
		std::string text;
		unsigned refused;
		bool takenBefore;       // Brücke.txt is there already
		bool takenInTheInstant; // another program makes it meanwhile
		std::string reason;
	} cases[] = {
			{"taken",
					"Br\x81"
					"cke.txt",
					"Gr\x81\xE1"
					"e\r\n",
					0, true, false, "Brücke.txt is taken already"},
			{"taken in the instant before",
					"Br\x81"
					"cke.txt",
					"Gr\x81\xE1"
					"e\r\n",
					0, false, true, "Brücke.txt is taken already"},
			{"refused by the file system",
					"Br\x81"
					"cke.txt",
					"Gr\x81\xE1"
					"e\r\n",
					test::kForbiddenNames, false, false,
					"the file system refuses Brücke.txt: Invalid argument"},
			{"250 bytes", kLong, "\x84\r\n", 0, false, false,
					"it would take 260 bytes in UTF-8, more than the 255 a "
					"name may have"},
			{"no set reads it", "x\xFF\xFE.txt", "plain\r\n", 0, false, false,
					"no known character set reads it"},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.what);
		Folder folder;
		std::string path = folder / c.name;
		write_file(path, c.text);
		sTaken = folder / "Brücke.txt";
		if (c.takenBefore)
			write_file(sTaken, "mine\n");
		ChildOptions options;
		options.refused = c.refused;
		bool instant = c.takenInTheInstant;
		auto converted = test::run_child(
				[&] {
					if (instant)
						replace_step_hook = [](const char* step) {
							if (strcmp(step, "renaming") == 0)
								write_file(sTaken, "mine\n");
						};
					std::string copy = path;
					AlyBFile(copy.data());
					fprintf(stderr, "%s", last_result.nameKept.c_str());
					return last_result.converted ? 0 : 1;
				},
				options);
		EXPECT_EQ(converted.status, 0) << converted.errors;
		EXPECT_EQ(converted.errors, c.reason);
		EXPECT_TRUE(test::exists(path + "-BAK"));
		EXPECT_NE(read_file(path), c.text);
		if (c.takenBefore || instant) {
			EXPECT_EQ(read_file(sTaken), "mine\n");
		}
		auto undone = in_child(undo_conversion, path, options);
		EXPECT_EQ(read_file(path), c.text) << undone.errors;
	}
}


// Killed at any step of a conversion or an undo of a file whose name is
// no UTF-8, on file systems with and without an exchange of names: an undo
// of whichever name is there then brings back the original alone, under
// its name; another conversion instead ends with the name in UTF-8 and the
// text converted, and undoing it until nothing is left to undo brings back
// the original all the same.
TEST(Names, AKillAtAnyStepLeavesWhatTheNextRunsKnow)
{
	static int sKillAt;
	const std::string name = "Br\x81"
							 "cke.txt";
	const std::string text = "Gr\x81\xE1"
							 "e\r\n";
	const struct {
		const char* what;
		unsigned refused;
	} kinds[] = {
			{"as it is", 0},
			{"NFS, CIFS", test::kNoRenameFlags | test::kNoNamelessFiles},
	};
	const struct {
		const char* what;
		void (*killed)(char*);
		void (*next)(char*);
	} runs[] = {
			{"conversion, then undo", AlyBFile, undo_conversion},
			{"conversion, then converted again", AlyBFile, AlyBFile},
			{"undo, then undone again", undo_conversion, undo_conversion},
	};
	for (const auto& kind : kinds) {
		for (const auto& r : runs) {
			for (int kill = 1;; kill++) {
				std::string what = std::string(kind.what) + ", " + r.what
						+ ", killed at step " + std::to_string(kill);
				SCOPED_TRACE(what);
				Folder folder;
				std::string path = folder / name;
				std::string renamed = folder / "Brücke.txt";
				write_file(path, text);
				ChildOptions options;
				options.refused = kind.refused;
				if (r.killed == undo_conversion)
					in_child(AlyBFile, path, options);
				sKillAt = kill;
				std::string selected = test::exists(renamed) ? renamed : path;
				auto killed = test::run_child(
						[&] {
							replace_step_hook = [](const char*) {
								if (--sKillAt == 0)
									raise(SIGKILL);
							};
							std::string copy = selected;
							r.killed(copy.data());
							return 0;
						},
						options);
				// What the file manager shows then is selected next.
				auto next = [&](void (*call)(char*)) {
					return in_child(call,
							test::exists(renamed) ? renamed : path, options);
				};
				auto again = next(r.next);
				if (r.next == AlyBFile) {
					EXPECT_EQ(read_file(renamed), "Grüße\n") << again.errors;
					// Beside it only backups, of either name.
					for (const std::string& left :
							test::folder_entries(folder.path()))
						EXPECT_TRUE(left == "Brücke.txt"
								|| left.rfind(name + "-BAK", 0) == 0
								|| left.rfind("Brücke.txt-BAK", 0) == 0)
								<< left << " is left";
					for (int undo = 0; undo < 3
							&& (test::exists(renamed)
									|| test::folder_entries(folder.path())
													.size()
											> 1);
							undo++)
						next(undo_conversion);
				}
				EXPECT_EQ(test::folder_entries(folder.path()),
						std::vector<std::string> {name})
						<< again.errors;
				EXPECT_EQ(read_file(path), text);
				if (killed.status != 128 + SIGKILL)
					break;
			}
		}
	}
}


// A tree unpacked from an old archive, names and texts in one set:
// Textwend-Folder's walk converts each file, and each folder once all in
// it is done, the deepest first; Textwend-Folder-Undo's gives back every
// name and text, byte for byte.
struct Tree {
	const char* what;
	int32_t set;
	std::string outer, inner, file, text;
};

const Tree kTrees[] = {
		{"Atari", kStyleTos,
				"\x8E"
				"nderungen",
				"Stra\x9E"
				"e",
				"M\x84rz.txt",
				"Gr\x81\x9E"
				"e aus K\x94ln\r\n"},
		{"DOS", kStylePc,
				"\x8E"
				"nderungen",
				"Br\x81"
				"cke",
				"M\x84rz.txt",
				"Gr\x81\xE1"
				"e aus K\x94ln\r\n"},
		{"Macintosh", kStyleMac,
				"\x80"
				"nderungen",
				"Br\x9F"
				"cke",
				"M\x8Arz.txt",
				"Gr\x9F\xA7"
				"e aus K\x9Aln\r"},
		{"Windows", kStyleAnsi,
				"\xC4"
				"nderungen",
				"Br\xFC"
				"cke",
				"M\xE4rz.txt",
				"Gr\xFC\xDF"
				"e aus K\xF6ln\r\n"},
};

// Walks root as the images of a folder do, with call on each file and
// folderDone on each folder; the lines of what became of the folders.
std::string
walk_with(const std::string& root, void (*call)(char*),
		folder_rename (*folderDone)(int, const char*))
{
	std::string told;
	walk_hooks hooks;
	hooks.file = [&](const walk_entry& file) {
		run(call, file.path);
		return kWalkOn;
	};
	hooks.folderDone = [&](const walk_entry& folder) {
		folder_rename rename = folderDone(folder.folder, folder.name);
		told += rename.name + (rename.done ? "" : " stays") + rename.reason
				+ "\n";
		return kWalkOn;
	};
	walk_counts counts;
	walk_tree(root.c_str(), hooks, counts);
	return told;
}

TEST(FolderNames, ATreeTakesItsNamesAndGivesThemBack)
{
	for (const Tree& tree : kTrees) {
		SCOPED_TRACE(tree.what);
		OptionScope<int32_t> fixed(fix_set, tree.set);
		Folder root;
		std::string inner = root.add_folder(tree.outer) + "/" + tree.inner;
		mkdir(inner.c_str(), 0755);
		write_file(inner + "/" + tree.file, tree.text);
		write_file(inner + "/plain.txt", "plain\n");
		auto before = tree_state(root.path());

		int parent = open(root.path().c_str(), O_RDONLY | O_CLOEXEC);
		EXPECT_EQ(plan_folder_rename(parent, tree.outer.c_str()).name,
				"Änderungen");
		close(parent);
		EXPECT_EQ(tree_state(root.path()), before);

		EXPECT_EQ(walk_with(root.path(), AlyBFile, rename_folder),
				(tree.set == kStyleTos ? "Straße" : "Brücke")
						+ std::string("\nÄnderungen\n"));
		std::string now = root / "Änderungen/"
				+ (tree.set == kStyleTos ? "Straße" : "Brücke");
		EXPECT_EQ(read_file(now + "/März.txt"), "Grüße aus Köln\n");
		EXPECT_TRUE(test::exists(now + "/" + tree.file + "-BAK"));

		OptionScope<int32_t> undo(undo_mod, 1);
		EXPECT_EQ(walk_with(root.path(), undo_conversion, rename_folder_back),
				tree.inner + "\n" + tree.outer + "\n");
		EXPECT_EQ(tree_state(root.path()), before);
	}
}


TEST(FolderNames, ANameThatCannotBeTakenStaysAndSaysWhy)
{
	const struct {
		const char* what;
		std::string name;
		std::string inside; // a file in it
		unsigned refused;
		bool taken;
		bool readOnly; // the folder that holds it
		std::string reason;
	} cases[] = {
			{"taken",
					"Br\x81"
					"cke",
					"", 0, true, false, "Brücke is taken already"},
			{"refused by the file system",
					"Br\x81"
					"cke",
					"", test::kForbiddenNames, false, false,
					"the file system refuses Brücke: Invalid argument"},
			{"in a folder that cannot be written",
					"Br\x81"
					"cke",
					"", 0, false, true,
					"the folder it is in cannot be written: Permission "
					"denied"},
			{"no set reads it", "x\xFF\xFE", "", 0, false, false,
					"no known character set reads it"},
			{"the set of what it holds does not read it",
					"Br\x81"
					"cke",
					"K\xE4se.txt", 0, false, false,
					"none of the character sets of what it holds reads its "
					"name"},
			{"UTF-8 that looks odd", "MÃ¼ller", "", 0, false, false, ""},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.what);
		Folder root(test::Reach::kChild);
		std::string path = root.add_folder(c.name);
		if (!c.inside.empty())
			write_file(path + "/" + c.inside, "x\n");
		if (c.taken)
			root.add_folder("Brücke");
		ChildOptions options;
		options.refused = c.refused;
		options.asNobody = true;
		test::give_to_child(root.path());
		test::give_to_child(path);
		chmod(root.path().c_str(), c.readOnly ? 0555 : 0755);
		auto before = tree_state(root.path());
		auto renamed = test::run_child(
				[&] {
					int parent = open(root.path().c_str(), O_RDONLY);
					folder_rename rename
							= rename_folder(parent, c.name.c_str());
					fprintf(stderr, "%s", rename.reason.c_str());
					return rename.done ? 1 : 0;
				},
				options);
		EXPECT_EQ(renamed.status, 0);
		EXPECT_EQ(renamed.errors, c.reason);
		EXPECT_EQ(tree_state(root.path()), before);
	}
}


// Killed at any step of its rename or of its renaming back, a folder comes
// back under its own name, without a record, with the next renaming back.
TEST(FolderNames, AKillAtAnyStepLeavesWhatTheNextRunsKnow)
{
	static int sKillAt;
	const std::string name = "Br\x81"
							 "cke";
	for (bool back : {false, true}) {
		for (int kill = 1;; kill++) {
			SCOPED_TRACE(std::string(back ? "renamed back" : "renamed")
					+ ", killed at step " + std::to_string(kill));
			Folder root;
			root.add_folder(name);
			int parent = open(root.path().c_str(), O_RDONLY | O_CLOEXEC);
			auto before = tree_state(root.path());
			if (back)
				rename_folder(parent, name.c_str());
			sKillAt = kill;
			auto killed = test::run_child([&] {
				replace_step_hook = [](const char*) {
					if (--sKillAt == 0)
						raise(SIGKILL);
				};
				if (back)
					rename_folder_back(parent, "Brücke");
				else
					rename_folder(parent, name.c_str());
				return 0;
			});
			rename_folder_back(parent,
					test::exists(root / "Brücke") ? "Brücke" : name.c_str());
			EXPECT_EQ(tree_state(root.path()), before);
			close(parent);
			if (killed.status != 128 + SIGKILL)
				break;
		}
	}
}

} // namespace
