// Names from old machines: a file's name that is no UTF-8 takes its name in
// UTF-8 with its conversion, read in the set of its text, and undo gives
// back the very bytes; a folder's takes it once all inside is done, read in
// the set of what it holds. A name that cannot be taken stays and says why,
// and a kill at any step leaves what the next run and undo know. (Names
// are written with octal escapes, which end after three digits.)
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

const std::string kDos = "Br\201cke.txt";
const std::string kDosText = "Gr\201\341e\r\n";
// 250 bytes, 260 in UTF-8.
const std::string kLong
		= std::string(10, '\204') + std::string(236, 'a') + ".txt";

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
			if (lgetxattr(full.c_str(), attribute, NULL, 0) >= 0)
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

// The same in a child with options; its standard error ends with the
// reason the file or its name was left as it was.
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


TEST(Names, AreReadInTheSetOfTheirTextOrAloneAndOnlyWhenNoUtf8)
{
	const struct {
		std::string name;
		int32_t style; // 0: judged alone
		std::string read;
		std::string reason;
	} cases[] = {
			{kDos, kStylePc, "Brücke.txt", ""},
			{"Stra\236e", kStyleTos, "Straße", ""},
			{"M\237ller", kStyleMac, "Müller", ""},
			{"K\344se", kStyleAnsi, "Käse", ""},
			{"Br\201\007cke", kStylePc, "Brü\007cke", ""},
			{"\224Zitat\224", kStyleAnsi, "\"Zitat\"", ""},
			{kDos, kStyleAnsi, "",
					"it holds a byte that its character set has no character "
					"for"},
			{"M\237ller.txt", 0, "Müller.txt", ""},
			{"Gr\201\341e.txt", 0, "Grüße.txt", ""},
			{"R\351sum\351.txt", 0, "Résumé.txt", ""},
			{"BR\232CKE.TXT", 0, "BRÜCKE.TXT", ""},
			{"x\377\376.bin", 0, "", "no known character set reads it"},
			{kLong, kStylePc, "",
					"it would take 260 bytes in UTF-8, more than the 255 a "
					"name may have"},
			// Valid UTF-8, however odd: never read again.
			{"MÃ¼ller.txt", kStylePc, "", ""},
			{"\177\001.txt", 0, "", ""},
	};
	for (const auto& c : cases) {
		name_plan plan = plan_name(c.name, c.style);
		EXPECT_EQ(plan.name, c.read) << c.name;
		EXPECT_EQ(plan.reason, c.reason) << c.name;
	}
	OptionScope<int32_t> lineEndsOnly(pop_ind, 50);
	EXPECT_EQ(plan_file_name(kDos, kStylePc).name, "");
}


TEST(Names, FilesTakeTheirNameInUtf8AndUndoGivesBackTheBytes)
{
	const struct {
		const char* what;
		int32_t fixed; // fix_set: 0 detects
		std::string name, text, named, converted;
	} letters[] = {
			{"DOS, detected", 0, kDos, kDosText, "Brücke.txt", "Grüße\n"},
			{"Atari, chosen", kStyleTos, "Stra\236e", "Stra\236e \204\n",
					"Straße", "Straße ä\n"},
			{"Macintosh, chosen", kStyleMac, "M\237ller", "K\212\247e\r",
					"Müller", "Käße\n"},
			{"Windows, detected", 0, "K\344se", "Caf\351 \341\n", "Käse",
					"Café á\n"},
			{"a UTF-8 text: the name alone", 0, "Gr\201\341e", "Grüße\n",
					"Grüße", "Grüße\n"},
			{"an ASCII text: the name alone", 0, "M\237ller", "plain\n",
					"Müller", "plain\n"},
			{"control bytes stay", kStylePc, "a\001\201", "\201\n", "a\001ü",
					"ü\n"},
	};
	for (const auto& letter : letters) {
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
			EXPECT_EQ(read_file(folder / letter.named), letter.converted);
			EXPECT_EQ(read_file(folder / (letter.name + "-BAK")), letter.text);
			EXPECT_EQ(test::folder_entries(folder.path()).size(), 2u);

			OptionScope<int32_t> undo(undo_mod, 1);
			run(undo_conversion,
					folder
							/ (selectBackup ? letter.name + "-BAK"
											: letter.named));
			EXPECT_TRUE(last_result.renamed) << last_result.reason;
			EXPECT_EQ(tree_state(folder.path()), before);
		}
	}
}


// Converted again under its name in UTF-8, it is undone a conversion at a
// time; its first backup is never converted. Undo takes back only the name
// the conversion gave, only to a name that is free, and an undo that
// cannot go on once the old name is back gives the new one again.
TEST(Names, UndoGivesBackOnlyTheNameTheConversionGave)
{
	Folder folder;
	std::string old = folder / kDos;
	write_file(old, kDosText);
	auto before = tree_state(folder.path());
	run(AlyBFile, old);
	run(AlyBFile, folder / "Brücke.txt");
	run(AlyBFile, old + "-BAK");
	EXPECT_EQ(last_result.reason,
			"it is the backup of Brücke.txt's conversion; undo Brücke.txt to "
			"get it back");
	OptionScope<int32_t> undo(undo_mod, 1);
	run(undo_conversion, folder / "Brücke.txt");
	EXPECT_FALSE(last_result.renamed);

	const struct {
		const char* what;
		std::string name;  // given by hand after the conversion
		std::string taken; // what takes the old name meanwhile
		std::string reason;
	} cases[] = {
			{"renamed by hand", "Bruecke.txt", "",
					"it was renamed since it was converted from " + kDos},
			{"its old name taken", "Brücke.txt", "new\n",
					"its original name " + kDos + " is taken"},
	};
	for (const auto& c : cases) {
		rename((folder / "Brücke.txt").c_str(), (folder / c.name).c_str());
		if (!c.taken.empty())
			write_file(old, c.taken);
		auto now = tree_state(folder.path());
		run(undo_conversion, folder / c.name);
		EXPECT_EQ(last_result.reason, c.reason) << c.what;
		EXPECT_EQ(tree_state(folder.path()), now) << c.what;
		rename((folder / c.name).c_str(), (folder / "Brücke.txt").c_str());
		unlink(old.c_str());
	}

	static std::string sBackup;
	sBackup = old + "-BAK";
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
	write_file(sBackup, kDosText);
	run(undo_conversion, folder / "Brücke.txt");
	EXPECT_EQ(tree_state(folder.path()), before);
}


TEST(Names, ANameThatCannotBeTakenStaysAndSaysWhy)
{
	static std::string sTaken;
	const struct {
		const char* what;
		std::string name, text;
		unsigned refused;
		bool takenBefore, takenInTheInstant;
		std::string reason;
	} cases[] = {
			{"taken", kDos, kDosText, 0, true, false,
					"Brücke.txt is taken already"},
			{"taken in the instant before", kDos, kDosText, 0, false, true,
					"Brücke.txt is taken already"},
			{"refused by the file system", kDos, kDosText,
					test::kForbiddenNames, false, false,
					"the file system refuses Brücke.txt: Invalid argument"},
			{"250 bytes", kLong, "\204\r\n", 0, false, false,
					"it would take 260 bytes in UTF-8, more than the 255 a "
					"name may have"},
			{"no set reads it", "x\377\376.txt", "plain\r\n", 0, false, false,
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
	const unsigned kinds[] = {0, test::kNoRenameFlags | test::kNoNamelessFiles};
	const struct {
		const char* what;
		void (*killed)(char*);
		void (*next)(char*);
	} runs[] = {
			{"conversion, then undo", AlyBFile, undo_conversion},
			{"conversion, then converted again", AlyBFile, AlyBFile},
			{"undo, then undone again", undo_conversion, undo_conversion},
	};
	for (unsigned refused : kinds) {
		for (const auto& r : runs) {
			for (int kill = 1;; kill++) {
				SCOPED_TRACE(std::string(r.what) + (refused ? ", NFS" : "")
						+ ", killed at step " + std::to_string(kill));
				Folder folder;
				std::string path = folder / kDos;
				std::string renamed = folder / "Brücke.txt";
				write_file(path, kDosText);
				ChildOptions options;
				options.refused = refused;
				if (r.killed == undo_conversion)
					in_child(AlyBFile, path, options);
				// What the file manager shows then is selected.
				auto shown = [&] {
					return test::exists(renamed) ? renamed : path;
				};
				sKillAt = kill;
				auto killed = test::run_child(
						[&] {
							replace_step_hook = [](const char*) {
								if (--sKillAt == 0)
									raise(SIGKILL);
							};
							std::string copy = shown();
							r.killed(copy.data());
							return 0;
						},
						options);
				auto again = in_child(r.next, shown(), options);
				if (r.next == AlyBFile) {
					EXPECT_EQ(read_file(renamed), "Grüße\n") << again.errors;
					// Beside it only backups, of either name.
					for (const std::string& left :
							test::folder_entries(folder.path()))
						EXPECT_TRUE(left.rfind("Brücke.txt", 0) == 0
								|| left.rfind(kDos + "-BAK", 0) == 0)
								<< left << " is left";
					for (int undo = 0; undo < 3
							&& test::folder_entries(folder.path()).size() > 1;
							undo++)
						in_child(undo_conversion, shown(), options);
				}
				EXPECT_EQ(test::folder_entries(folder.path()),
						std::vector<std::string> {kDos})
						<< again.errors;
				EXPECT_EQ(read_file(path), kDosText);
				if (killed.status != 128 + SIGKILL)
					break;
			}
		}
	}
}


// Walks root as the images of a folder do: call on each file, and
// folderDone on each folder once all in it is done, the deepest first,
// with the folder that holds it and its name. The names it told, a line
// each.
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
		told += rename.name + rename.reason + "\n";
		return kWalkOn;
	};
	walk_counts counts;
	walk_tree(root.c_str(), hooks, counts);
	return told;
}

// A tree unpacked from an old archive, names and texts in one set, comes
// out in UTF-8 and goes back byte for byte.
TEST(FolderNames, ATreeTakesItsNamesAndGivesThemBack)
{
	const struct {
		const char* what;
		int32_t set;
		std::string outer, inner, file, text, named;
	} trees[] = {
			{"Atari", kStyleTos, "\216nderungen", "Stra\236e", "M\204rz",
					"Gr\201\236e aus K\224ln\r\n", "Straße"},
			{"DOS", kStylePc, "\216nderungen", "Br\201cke", "M\204rz",
					"Gr\201\341e aus K\224ln\r\n", "Brücke"},
			{"Macintosh", kStyleMac, "\200nderungen", "Br\237cke", "M\212rz",
					"Gr\237\247e aus K\232ln\r", "Brücke"},
			{"Windows", kStyleAnsi, "\304nderungen", "Br\374cke", "M\344rz",
					"Gr\374\337e aus K\366ln\r\n", "Brücke"},
	};
	for (const auto& tree : trees) {
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
				tree.named + "\nÄnderungen\n");
		EXPECT_EQ(read_file(root / "Änderungen/" + tree.named + "/März"),
				"Grüße aus Köln\n");
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
		bool taken, readOnly; // Brücke is there; the folder it is in
		std::string reason;
	} cases[] = {
			{"taken", "Br\201cke", "", 0, true, false,
					"Brücke is taken already"},
			{"refused by the file system", "Br\201cke", "",
					test::kForbiddenNames, false, false,
					"the file system refuses Brücke: Invalid argument"},
			{"in a folder that cannot be written", "Br\201cke", "", 0, false,
					true,
					"the folder it is in cannot be written: Permission "
					"denied"},
			{"no set reads it", "x\377\376", "", 0, false, false,
					"no known character set reads it"},
			{"the set of what it holds does not read it", "Br\201cke",
					"K\344se.txt", 0, false, false,
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
	const std::string name = "Br\201cke";
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
