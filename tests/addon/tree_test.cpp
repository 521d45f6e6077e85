// Whole trees through the host and the images of a tree, as the file
// manager runs them, by a person without root: a tree that holds every
// kind of file is checked, converted and undone, and is then what it was;
// a tree deeper than a path can name; a run killed in the middle.
#include "support/files.h"
#include "support/tree.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using test::Folder;
using test::read_file;
using test::write_file;

const std::string kHost = TEXTWEND_HOST;
const std::string kImages = TEXTWEND_IMAGE_DIR;

// A ZIP archive that holds one UTF-8 text.
const std::string kZip("PK\x03\x04\x14\0\0\0\0\0=\x82\x88]I\x94.\x15\x08\0\0\0"
					   "\x08\0\0\0\x05\0\0\0a.txtGr\xC3\xBC\xC3\x9F"
					   "e\nPK\x01\x02\x14\x03\x14\0\0\0\0\0=\x82\x88]I\x94."
					   "\x15\x08\0\0\0\x08\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0"
					   "\x80\x01\0\0\0\0a.txtPK\x05\x06\0\0\0\0\x01\0\x01\0"
					   "3\0\0\0+\0\0\0\0\0",
		116);
const std::string kPng("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01"
					   "\x08\x02\0\0\0\x90wS\xDE",
		33);


// The image on the paths, as a person without root.
test::ChildResult
run(const std::string& image, const Folder& folder,
		const std::vector<std::string>& paths)
{
	std::vector<std::string> arguments = {kHost, kImages + "/" + image};
	arguments.insert(arguments.end(), paths.begin(), paths.end());
	test::ChildOptions options;
	options.folder = folder.path();
	options.asNobody = true;
	return test::run_program(arguments, options);
}


// Everything below path to the person the children run as.
void
give_tree_to_child(const std::string& path)
{
	if (getuid() == 0)
		test::run_program({"/bin/chown", "-R", "-h", "65534:65534", path});
}


// A file of the tree: what it holds, what the check, the conversion and
// the undo say of it, and what the conversion makes of it (after: empty
// when it stays as it is).
struct Member {
	std::string path;
	std::string content;
	std::string check;
	std::string convert;
	std::string undo;
	std::string after;
};

const std::string kKept = "; original kept as ";
const std::string kBack = "conversion undone; the original is back from ";
const std::string kNever = "never converted, passed over";
const std::string kNotText = "not a text file, passed over";
const std::string kBackup = "a backup, passed over";
const std::string kUnreadable = "cannot be read: Permission denied";

std::vector<Member>
members()
{
	return {
			{"Briefe/atari.txt",
					"Gr\x81\x9E"
					"e aus K\x94ln\r\n",
					"would convert from Atari ST (TOS), CR LF → LF",
					"Atari ST (TOS), CR LF → LF" + kKept + "atari.txt-BAK",
					kBack + "atari.txt-BAK", "Grüße aus Köln\n"},
			{"Briefe/Grüße aus Köln.txt",
					"Gr\x81\xE1"
					"e aus K\x94ln\r\n",
					"would convert from Atari ST or DOS code page 437, the "
					"same text in both, CR LF → LF",
					"Atari ST or DOS code page 437, the same text in both, CR "
					"LF → LF"
							+ kKept + "Grüße aus Köln.txt-BAK",
					kBack + "Grüße aus Köln.txt-BAK", "Grüße aus Köln\n"},
			{"Briefe/Mac/mac.txt",
					"K\x8A\xA7"
					"e\r",
					"would convert from Macintosh, CR → LF",
					"Macintosh, CR → LF" + kKept + "mac.txt-BAK",
					kBack + "mac.txt-BAK", "Käße\n"},
			{"windows.txt",
					"Gr\xFC\xDF"
					"e aus K\xF6ln\r\n",
					"would convert from Windows ANSI, CR LF → LF",
					"Windows ANSI, CR LF → LF" + kKept + "windows.txt-BAK",
					kBack + "windows.txt-BAK", "Grüße aus Köln\n"},
			{"utf-8-crlf.txt", "Grüße\r\n",
					"already UTF-8; would convert CR LF → LF",
					"already UTF-8, CR LF → LF" + kKept + "utf-8-crlf.txt-BAK",
					kBack + "utf-8-crlf.txt-BAK", "Grüße\n"},
			// A conversion would not change one byte of these.
			{"utf-8.txt", "Grüße\n", "already right", "already right", kNever,
					""},
			{"ascii.txt", "plain\n", "already right", "already right", kNever,
					""},
			{"leer.txt", "", "already right", "already right", kNever, ""},
			{"bild.png", kPng, "passed over: not text", kNotText, kNever, ""},
			{"archiv.zip", kZip, "passed over: not text", kNotText, kNever, ""},
			{"programm", read_file("/bin/true"), "passed over: not text",
					kNotText, kNever, ""},
			{"Brief.txt-BAK", "K\x84se\r\n", kBackup, kBackup, kBackup, ""},
			{".git/notes.txt", "K\x84se\r\n", "", "", "", ""},
			{"zu/geheim.txt", "K\x84se\r\n", "", "", "", ""},
			// Converted by Textwend beforehand: undone with the rest.
			{"alt.txt", "K\x84se\r\n", "converted before, passed over",
					"converted before, passed over", kBack + "alt.txt-BAK",
					"Käse\n"},
			{"alt.txt-BAK", "K\x84se\r\n", kBackup, kBackup, "", ""},
	};
}


// The lines a run says of the files in the tree, sorted.
std::vector<std::string>
tree_lines(const test::ChildResult& run)
{
	std::vector<std::string> lines;
	for (const auto& line : test::split_lines(run.errors)) {
		if (line[0].rfind("Textwend: Baum/", 0) == 0)
			lines.push_back(line[0].substr(15));
	}
	std::sort(lines.begin(), lines.end());
	return lines;
}


class Tree : public testing::Test {
protected:
	Folder fPlace {test::Reach::kChild, "tree"};
};


// Checked, converted and undone, a tree with every kind of file in it is
// what it was: names, bytes, permissions, attributes, modification times;
// in between every text in it is UTF-8 with LF ends, and nothing else
// changed. The check changes nothing at all, not even a time.
TEST_F(Tree, CheckedConvertedAndUndoneATreeIsWhatItWas)
{
	chmod(fPlace.path().c_str(), 0755);
	Folder outside(test::Reach::kChild, "outside");
	chmod(outside.path().c_str(), 0755);
	outside.add_file("fremd.txt", "K\x84se\r\n");
	std::string tree = fPlace.add_folder("Baum");
	for (const char* folder : {"Briefe", "Briefe/Mac", ".git", "zu"})
		mkdir((tree + "/" + folder).c_str(), 0755);
	const std::vector<Member> files = members();
	for (const Member& member : files) {
		if (member.path != "alt.txt-BAK")
			write_file(tree + "/" + member.path, member.content,
					member.path == "programm" ? 0755 : 0644);
	}
	ASSERT_EQ(symlink(outside.path().c_str(), (tree + "/draussen").c_str()), 0);
	std::string beside = fPlace.add_file("Notiz.txt", "K\x84se\r\n");
	give_tree_to_child(fPlace.path());
	give_tree_to_child(outside.path());
	chmod((tree + "/zu").c_str(), 0);
	test::TreeShot original = test::tree_shot(fPlace.path());
	test::ChildResult before = run("Textwend", fPlace, {tree + "/alt.txt"});
	if (before.status == test::kChildSetupFailed)
		GTEST_SKIP() << "no unprivileged user for the runs: " << before.errors;
	ASSERT_EQ(before.status, 0) << before.errors;

	const unsigned kAllTimes
			= test::kFileTimes | test::kFolderTimes | test::kAccessTimes;
	test::TreeShot converted = test::tree_shot(fPlace.path(), kAllTimes);
	test::ChildResult check = run("Textwend-Check", fPlace, {tree, beside});
	EXPECT_EQ(test::tree_shot(fPlace.path(), kAllTimes), converted);
	test::ChildResult convert = run("Textwend-Folder", fPlace, {tree, beside});
	test::TreeShot between = test::tree_shot(fPlace.path());
	test::ChildResult undo
			= run("Textwend-Folder-Undo", fPlace, {tree, beside});
	EXPECT_EQ(test::tree_shot(fPlace.path()), original);

	// Each run says one line of each entry it met.
	struct Run {
		const char* image;
		const test::ChildResult& result;
		std::string Member::*line;
		std::vector<std::string> walk;
	};
	const Run runs[] = {
			{"Textwend-Check", check, &Member::check,
					{".git: a folder of version control, passed over",
							"draussen: a link, passed over",
							"zu: would be left as it is: " + kUnreadable}},
			{"Textwend-Folder", convert, &Member::convert,
					{".git: a folder of version control, passed over",
							"draussen: a link, passed over",
							"zu: left as it was: " + kUnreadable}},
			{"Textwend-Folder-Undo", undo, &Member::undo,
					{".git: a folder of version control, passed over",
							"draussen: a link, passed over",
							"zu: left as it was: " + kUnreadable}},
	};
	for (const Run& r : runs) {
		SCOPED_TRACE(r.image);
		std::vector<std::string> expected = r.walk;
		for (const Member& member : files) {
			if (!(member.*r.line).empty())
				expected.push_back(member.path + ": " + member.*r.line);
		}
		std::sort(expected.begin(), expected.end());
		EXPECT_EQ(tree_lines(r.result), expected) << r.result.errors;
		EXPECT_EQ(r.result.status, 1) << "a folder cannot be read";
	}
	EXPECT_NE(check.errors.find("\nTextwend: Notiz.txt: would convert from "
								"Atari ST or DOS code page 437, the same text "
								"in both, CR LF → LF\n"),
			std::string::npos)
			<< check.errors;
	EXPECT_EQ(check.output, "");

	// In between: the texts converted, the rest as it was.
	auto text_of = [&](const std::string& path) {
		const std::string& shot = between[path];
		size_t text = shot.find(" [");
		return text == std::string::npos
				? shot
				: shot.substr(text + 2, shot.size() - text - 3);
	};
	for (const Member& member : files) {
		// A folder that the test may not read as anyone but root.
		if (member.path == "zu/geheim.txt" && getuid() != 0)
			continue;
		EXPECT_EQ(text_of("Baum/" + member.path),
				member.after.empty() ? member.content : member.after)
				<< member.path;
	}
	EXPECT_EQ(text_of("Notiz.txt"), "Käse\n");
	EXPECT_EQ(read_file(outside / "fremd.txt"), "K\x84se\r\n");

	// The summary at the end of each run.
	const struct {
		const test::ChildResult& result;
		std::string summary;
	} summaries[] = {
			{check,
					"\n\t6 files would be converted: 2 Atari ST or DOS code "
					"page "
					"437, 1 UTF-8, 1 Atari ST, 1 Macintosh, 1 Windows "
					"ANSI\n\t3 "
					"already right\n\tPassed over: 1 converted before, 3 not "
					"text, 1 folder of version control, 2 backups, 1 symbolic "
					"link\n\n\t1 would be left as it is:\n\nBaum/zu: "
							+ kUnreadable + "\n"},
			{convert,
					"\n\t6 files converted: 2 Atari ST or DOS code page 437, 1 "
					"UTF-8, 1 Atari ST, 1 Macintosh, 1 Windows ANSI\n\t3 "
					"already "
					"right\n\tPassed over: 1 converted before, 3 not text, 1 "
					"folder of version control, 2 backups, 1 symbolic "
					"link\n\n\t1 left as it was:\n\nBaum/zu: "
							+ kUnreadable + "\n"},
			{undo,
					"\n\t7 conversions undone\n\tPassed over: 6 never "
					"converted, 1 folder of version control, 1 backup, 1 "
					"symbolic link\n\n\t1 left as it was:\n\nBaum/zu: "
							+ kUnreadable + "\n"},
	};
	for (const auto& s : summaries)
		EXPECT_NE(s.result.errors.find(s.summary), std::string::npos)
				<< s.result.errors;
}


// A tree unpacked from a DOS archive: names and texts in code page 437.
// The check says what would become of every name and changes nothing; the
// conversion gives every name and text UTF-8, folders after what they
// hold; the undo gives back every name, byte for byte.
TEST_F(Tree, NamesFromAnOldArchiveComeOutInUtf8AndBack)
{
	chmod(fPlace.path().c_str(), 0755);
	std::string tree = fPlace.add_folder("Diskette");
	mkdir((tree + "/\x8Enderungen").c_str(), 0755);
	mkdir((tree
				  + "/\x8Enderungen/Br\x81"
					"cke")
					.c_str(),
			0755);
	write_file(tree
					+ "/\x8Enderungen/Br\x81"
					  "cke/M\x84rz.txt",
			"Gr\x81\xE1"
			"e aus K\x94ln\r\n");
	write_file(tree
					+ "/\x9A"
					  "BERSICHT.TXT",
			"Inhalt\n");
	give_tree_to_child(fPlace.path());
	test::TreeShot original = test::tree_shot(fPlace.path());

	test::ChildResult check = run("Textwend-Check", fPlace, {tree});
	if (check.status == test::kChildSetupFailed)
		GTEST_SKIP() << "no unprivileged user for the runs: " << check.errors;
	EXPECT_EQ(test::tree_shot(fPlace.path()), original);
	test::ChildResult convert = run("Textwend-Folder", fPlace, {tree});
	EXPECT_EQ(convert.status, 0) << convert.errors;
	EXPECT_EQ(read_file(tree + "/Änderungen/Brücke/März.txt"),
			"Grüße aus Köln\n");
	EXPECT_EQ(read_file(tree + "/ÜBERSICHT.TXT"), "Inhalt\n");
	test::ChildResult undo = run("Textwend-Folder-Undo", fPlace, {tree});
	EXPECT_EQ(undo.status, 0) << undo.errors;
	EXPECT_EQ(test::tree_shot(fPlace.path()), original);

	const char* kSame
			= " (Atari ST or DOS code page 437, the same name in both)";
	const struct {
		const test::ChildResult& run;
		std::string line;
	} lines[] = {
			{check,
					"\\x8Enderungen: would be renamed to Änderungen"
							+ std::string(kSame)},
			{check,
					"\\x8Enderungen/Br\\x81"
					"cke/M\\x84rz.txt: would convert "
					"from Atari ST or DOS code page 437, the same text in "
					"both, CR LF → LF; would be named März.txt"},
			{convert,
					"\\x8Enderungen/Br\\x81"
					"cke: renamed to Brücke"
							+ std::string(kSame)},
			{convert,
					"\\x9A"
					"BERSICHT.TXT: no known character set found, line "
					"ends only; now named ÜBERSICHT.TXT (its name read as "
					"Atari ST or DOS code page 437, the same name in both); "
					"original kept as \\x9A"
					"BERSICHT.TXT-BAK"},
			{undo, "Änderungen: renamed back to \\x8Enderungen"},
	};
	for (const auto& l : lines)
		EXPECT_NE(l.run.errors.find("\nTextwend: Diskette/" + l.line + "\n"),
				std::string::npos)
				<< l.run.errors;
	EXPECT_NE(convert.errors.find("\t2 folders renamed to UTF-8\n"),
			std::string::npos)
			<< convert.errors;
}


// A folder below at, by descriptor: paths longer than the host takes.
int
make_folder(int at, const std::string& name)
{
	if (mkdirat(at, name.c_str(), 0755) != 0)
		return -1;
	return openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}


// The file leaf at the bottom of levels folders named name below root, by
// descriptors; text is written there first when it is not empty.
std::string
at_bottom(const std::string& root, const std::string& name, int levels,
		const char* leaf, const std::string& text = "")
{
	int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	for (int i = 0; i < levels && fd >= 0; i++) {
		int next = text.empty()
				? openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
				: make_folder(fd, name);
		close(fd);
		fd = next;
	}
	std::string content;
	if (fd < 0)
		return content;
	int file = text.empty()
			? openat(fd, leaf, O_RDONLY | O_CLOEXEC)
			: openat(fd, leaf, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
	if (file >= 0 && !text.empty() && write(file, text.data(), text.size()) > 0)
		content = text;
	char buffer[256];
	for (ssize_t got; text.empty() && file >= 0
			&& (got = read(file, buffer, sizeof(buffer))) > 0;)
		content.append(buffer, got);
	if (file >= 0)
		close(file);
	close(fd);
	return content;
}


// A thousand levels, and names of 255 bytes: paths of more than 5,000 bytes,
// past what the host takes as a path, converted and undone all the same.
TEST_F(Tree, DeepTreesAndLongNamesAreConvertedAndUndone)
{
	const struct {
		const char* what;
		std::string folder;
		int levels;
	} cases[] = {
			{"a thousand levels", "d", 1000},
			{"names of 255 bytes", std::string(255, 'n'), 20},
	};
	const std::string letter = "Gr\x81\xE1"
							   "e aus K\x94ln\r\n";
	// As long as a name may be with the backup's "-BAK" after it.
	const std::string leaf = std::string(247, 'b') + ".txt";
	for (const auto& c : cases) {
		SCOPED_TRACE(c.what);
		std::string root = fPlace.add_folder(c.what);
		ASSERT_EQ(at_bottom(root, c.folder, c.levels, leaf.c_str(), letter),
				letter);
		give_tree_to_child(root);

		test::ChildResult convert = run("Textwend-Folder", fPlace, {root});
		if (convert.status == test::kChildSetupFailed)
			GTEST_SKIP() << "no unprivileged user: " << convert.errors;
		EXPECT_EQ(convert.status, 0) << convert.errors.substr(0, 2000);
		EXPECT_EQ(at_bottom(root, c.folder, c.levels, leaf.c_str()),
				"Grüße aus Köln\n");
		EXPECT_EQ(at_bottom(root, c.folder, c.levels, (leaf + "-BAK").c_str()),
				letter);
		test::ChildResult undo = run("Textwend-Folder-Undo", fPlace, {root});
		EXPECT_EQ(undo.status, 0) << undo.errors.substr(0, 2000);
		EXPECT_EQ(at_bottom(root, c.folder, c.levels, leaf.c_str()), letter);
		EXPECT_EQ(at_bottom(root, c.folder, c.levels, (leaf + "-BAK").c_str()),
				"");
		// rm goes as deep as any tree.
		test::run_program({"/usr/bin/rm", "-rf", root});
	}
}


// A run killed anywhere in the middle leaves every original under a name,
// and the undo of the folder then brings the whole tree back.
TEST_F(Tree, AKillInTheMiddleIsMadeGoodByTheUndo)
{
	const int kFolders = 20;
	const int kLetters = 25;
	// Killed once the first backup is there, halfway, and when all are.
	for (int killAt : {1, kFolders * kLetters / 2, kFolders * kLetters}) {
		SCOPED_TRACE("killed after " + std::to_string(killAt) + " backups");
		Folder place(test::Reach::kChild, "killed");
		std::string tree = place.add_folder("Baum");
		for (int f = 0; f < kFolders; f++) {
			std::string folder = tree + "/Ordner " + std::to_string(f);
			mkdir(folder.c_str(), 0755);
			for (int n = 0; n < kLetters; n++)
				write_file(folder + "/Brief " + std::to_string(n) + ".txt",
						"Gr\x81\xE1"
						"e aus K\x94ln, Brief "
								+ std::to_string(n) + "\r\n");
		}
		give_tree_to_child(place.path());
		test::TreeShot original = test::tree_shot(tree);

		test::Program host;
		test::ChildOptions options;
		options.folder = place.path();
		options.asNobody = true;
		ASSERT_TRUE(host.Start(
				{kHost, kImages + "/Textwend-Folder", tree}, options));
		auto deadline
				= std::chrono::steady_clock::now() + std::chrono::seconds(30);
		while (test::backups_below(tree) < killAt
				&& std::chrono::steady_clock::now() < deadline)
			std::this_thread::sleep_for(std::chrono::milliseconds(1));
		kill(host.Id(), SIGKILL);
		test::ChildResult killed = host.Finish();
		if (killed.status == test::kChildSetupFailed)
			GTEST_SKIP() << "no unprivileged user: " << killed.errors;

		test::ChildResult undo = run("Textwend-Folder-Undo", place, {tree});
		EXPECT_EQ(undo.status, 0) << undo.errors.substr(0, 3000);
		EXPECT_EQ(test::tree_shot(tree), original);
	}
}

} // namespace
