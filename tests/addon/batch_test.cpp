// Whole batches through the host, as the file manager runs them: without a
// display or a terminal, on real files.
#include "support/files.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using test::Folder;
using test::read_file;
using test::write_file;

const std::string kHost = TEXTWEND_HOST;
const std::string kImage = TEXTWEND_IMAGE;
const std::string kLatexImage = TEXTWEND_LATEX_IMAGE;
const std::string kImages = TEXTWEND_IMAGE_DIR;

struct HostRun {
	int status = -1;
	std::string out;
	std::string err;
};

// The host on the paths, in its own session with no terminal, no display
// and nothing on standard input; killed if it takes a minute. Files it
// writes may be limited in size.
HostRun
run_host(const Folder& folder, const std::vector<std::string>& paths,
		const std::string& image = kImage, rlim_t fileSizeLimit = RLIM_INFINITY)
{
	std::string outFile = folder / ".stdout";
	std::string errFile = folder / ".stderr";
	fflush(stdout);
	pid_t pid = fork();
	if (pid == 0) {
		setsid();
		int in = open("/dev/null", O_RDONLY);
		int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		dup2(in, 0);
		dup2(out, 1);
		dup2(err, 2);
		unsetenv("DISPLAY");
		if (fileSizeLimit != RLIM_INFINITY) {
			signal(SIGXFSZ, SIG_IGN);
			struct rlimit limit = {fileSizeLimit, fileSizeLimit};
			setrlimit(RLIMIT_FSIZE, &limit);
		}
		std::vector<char*> argv = {(char*)kHost.c_str(), (char*)image.c_str()};
		for (const std::string& path : paths)
			argv.push_back((char*)path.c_str());
		argv.push_back(NULL);
		alarm(60);
		execv(kHost.c_str(), argv.data());
		_exit(127);
	}
	HostRun run;
	int status;
	if (waitpid(pid, &status, 0) == pid)
		run.status = WIFEXITED(status) ? WEXITSTATUS(status)
									   : 128 + WTERMSIG(status);
	run.out = read_file(outFile);
	run.err = read_file(errFile);
	unlink(outFile.c_str());
	unlink(errFile.c_str());
	return run;
}

std::string
converted_output(const std::string& path)
{
	return "\t\n rename: '" + path + "' \n \t to: '" + path + "-BAK'\n\n\n";
}

TEST(Batch, ConvertsEachAcceptedFileInSelectionOrder)
{
	Folder folder;
	struct Letter {
		std::string name;
		std::string before;
		std::string after;
	};
	const Letter letters[] = {
			{"dos.txt",
					"Gr\x81\xE1"
					"e\r\n",
					"Grüße\n"},
			{"mac.txt",
					"K\x8A\xA7"
					"e\r",
					"Käße\n"},
			{"Grüße aus Köln.txt", "K\xE4se\n", "Käse\n"},
			{"utf-8.txt", "Käse\n", "Käse\n"},
	};
	std::vector<std::string> paths;
	std::string expected;
	for (const Letter& letter : letters) {
		write_file(folder / letter.name, letter.before);
		paths.push_back(folder / letter.name);
		expected += converted_output(folder / letter.name);
	}

	HostRun run = run_host(folder, paths);

	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out, expected);
	size_t shown = 0;
	for (const Letter& letter : letters) {
		EXPECT_EQ(read_file(folder / letter.name), letter.after) << letter.name;
		EXPECT_EQ(read_file(folder / (letter.name + "-BAK")), letter.before)
				<< letter.name;
		// The status window names the files, in order.
		size_t at = run.err.find(letter.name, shown);
		EXPECT_NE(at, std::string::npos) << letter.name << "\n" << run.err;
		shown = at == std::string::npos ? shown : at;
	}
	EXPECT_EQ(run.err.find("alert"), std::string::npos)
			<< "everything was converted:\n"
			<< run.err;
}

TEST(Batch, PassesOverWhatIsNoFileWithData)
{
	Folder folder;
	write_file(folder / "target.txt", "\x84\r\n");
	write_file(folder / "empty.txt", "");
	ASSERT_EQ(symlink("target.txt", (folder / "link.txt").c_str()), 0);
	ASSERT_EQ(mkdir((folder / "shared").c_str(), 0775), 0);
	ASSERT_EQ(chmod((folder / "shared").c_str(), 02775), 0);
	write_file(folder / "setuid", "\x84\r\n", 04755);
	ASSERT_EQ(test::mode_of(folder / "setuid") & 07777, 04755u);

	HostRun run = run_host(folder,
			{folder / "empty.txt", folder / "link.txt", folder / "shared",
					folder / "setuid"});

	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out, "");
	EXPECT_EQ(run.err.find("No files selected"), std::string::npos)
			<< "entries were selected, none converted";
	EXPECT_EQ(read_file(folder / "target.txt"), "\x84\r\n");
	EXPECT_TRUE(S_ISLNK(test::mode_of(folder / "link.txt")));
	EXPECT_TRUE(S_ISDIR(test::mode_of(folder / "shared")));
	EXPECT_EQ(read_file(folder / "setuid"), "\x84\r\n");
	for (const char* name : {"empty.txt", "link.txt", "shared", "setuid"})
		EXPECT_FALSE(test::exists(folder / (std::string(name) + "-BAK")))
				<< name;
}

TEST(Batch, LongPathsAndNamesAreHandledWhole)
{
	Folder folder;
	std::string deep = folder.path();
	while (deep.size() < 300) {
		deep += "/" + std::string(60, 'o');
		ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
	}
	std::string longPath = deep + "/brief.txt";
	std::string longName = folder / (std::string(240, 'n') + ".txt");
	write_file(longPath, "\x84\r\n");
	write_file(longName, "\x84\r\n");

	HostRun run = run_host(folder, {longPath, longName});

	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out, converted_output(longPath) + converted_output(longName));
	EXPECT_EQ(read_file(longPath), "ä\n");
	EXPECT_EQ(read_file(longName), "ä\n");
}

TEST(Batch, EmptySelectionIsReportedByTheAlert)
{
	Folder folder;
	HostRun run = run_host(folder, {});
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.out, "");
	EXPECT_NE(run.err.find("No files selected.."), std::string::npos)
			<< run.err;
}

TEST(Batch, MixtureInOneSelection)
{
	Folder folder;
	write_file(folder / "a.txt", "\x84\r\n");
	write_file(folder / "empty", "");
	ASSERT_EQ(symlink("a.txt", (folder / "link").c_str()), 0);
	ASSERT_EQ(mkdir((folder / "dir").c_str(), 02775), 0);
	ASSERT_EQ(chmod((folder / "dir").c_str(), 02775), 0);
	write_file(folder / "suid", "x\r\n", 04755);
	std::string name = std::string(220, 'z');
	write_file(folder / name, "K\xE4se\r\n");

	HostRun run = run_host(folder,
			{folder / "empty", folder / "a.txt", folder / "link",
					folder / "dir", folder / "suid", folder / name});

	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out,
			converted_output(folder / "a.txt")
					+ converted_output(folder / name));
	EXPECT_EQ(read_file(folder / "a.txt"), "ä\n");
	EXPECT_EQ(read_file(folder / name), "Käse\n");
	EXPECT_TRUE(S_ISLNK(test::mode_of(folder / "link")));
	EXPECT_FALSE(test::exists(folder / "dir-BAK"));
}

TEST(Batch, EachEntryIsReportedInAPersonsWords)
{
	Folder folder;
	ASSERT_EQ(mkdir((folder / "Bilder").c_str(), 0755), 0);
	const std::string big = "Gr\x81\xE1"
							"e\r\n"
			+ std::string(8192, 'x');
	struct Entry {
		std::string name;
		std::string content; // none for the folder
		std::string line;    // what the report says, after "Textwend: "
	} entries[] = {
			{"Brief.txt",
					"Gr\x81\xE1"
					"e\r\n",
					"Brief.txt: DOS code page 437, CR LF → LF; original kept "
					"as "
					"Brief.txt-BAK"},
			{"mac.txt",
					"K\x8A"
					"se\r",
					"mac.txt: Macintosh, CR → LF; original "
					"kept as mac.txt-BAK"},
			{"utf-8.txt", "Käse\n",
					"utf-8.txt: already UTF-8; original kept as "
					"utf-8.txt-BAK"},
			{"plain.txt", "plain\r\n",
					"plain.txt: no known character set "
					"found, line ends only; original kept as plain.txt-BAK"},
			{"Bilder", "", "Bilder: a folder, passed over"},
			{"leer.txt", "", "leer.txt: an empty file, passed over"},
			{"new\nline\xFF", "K\xE4se\n",
					"new\\x0Aline\\xFF: Windows ANSI; "
					"original kept as new\\x0Aline\\xFF-BAK"},
			// Larger than the files the host may write.
			{"big.txt", big, "big.txt: left as it was: "},
	};
	std::vector<std::string> paths;
	for (const Entry& entry : entries) {
		if (entry.name != "Bilder")
			write_file(folder / entry.name, entry.content);
		paths.push_back(folder / entry.name);
	}

	HostRun run = run_host(folder, paths, kImage, 4096);

	EXPECT_EQ(run.status, 1) << "one file was left as it was";
	size_t at = 0;
	for (const Entry& entry : entries) {
		size_t found = run.err.find("\nTextwend: " + entry.line, at);
		EXPECT_NE(found, std::string::npos) << entry.line << "\n" << run.err;
		at = found == std::string::npos ? at : found + 1;
	}
	EXPECT_EQ(read_file(folder / "big.txt"), big);
	// The alert at the end names the three that were not converted.
	EXPECT_NE(run.err.find("3 of 8 entries were not converted:"),
			std::string::npos)
			<< run.err;
}

TEST(Batch, AMissingPathIsPassedOverAndTheRestConverted)
{
	Folder folder;
	write_file(folder / "a.txt", "\x84\r\n");
	write_file(folder / "c.txt", "\x84\r\n");

	HostRun run = run_host(
			folder, {folder / "a.txt", folder / "b.txt", folder / "c.txt"});

	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(read_file(folder / "a.txt"), "ä\n");
	EXPECT_EQ(read_file(folder / "c.txt"), "ä\n");
	EXPECT_NE(run.err.find("tracker-run: " + folder / "b.txt"
					  + ": No such file or directory, passed over\n"),
			std::string::npos)
			<< run.err;
}

TEST(Batch, OnlyTheLatexImageReadsLatexNotation)
{
	const struct {
		const std::string& image;
		std::string after;
	} cases[] = {
			{kImage, "Gr\"u\"se\n"},
			{kLatexImage, "Grüße\n"},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.image);
		Folder folder;
		write_file(folder / "brief.tex", "Gr\"u\"se\n");
		HostRun run = run_host(folder, {folder / "brief.tex"}, c.image);
		EXPECT_EQ(run.status, 0) << run.err;
		EXPECT_EQ(read_file(folder / "brief.tex"), c.after);
	}
}

TEST(Batch, EachChosenSetImageConvertsFromItsSet)
{
	// Texts that detection takes for another set.
	const struct {
		const char* image;
		std::string before;
		std::string after;
		std::string line;
	} cases[] = {
			{"Textwend-Atari",
					"Gr\x81\xE1"
					"e \xB0\n",
					"Grüße ã\n", "Atari ST (TOS)"},
			{"Textwend-DOS", "\x84 \x9E\n", "ä ₧\n", "DOS code page 437"},
			{"Textwend-Mac", "\x8A \x84\x94\n", "ä Ñî\n", "Macintosh"},
			{"Textwend-Windows", "Caf\xE9 \xE1\n", "Café á\n", "Windows ANSI"},
			{"Textwend-Windows", "Käse\n", "Käse\n",
					"already UTF-8, not read as Windows ANSI"},
	};
	for (const auto& c : cases) {
		Folder folder;
		write_file(folder / "Brief.txt", c.before);
		HostRun run = run_host(
				folder, {folder / "Brief.txt"}, kImages + "/" + c.image);
		EXPECT_EQ(read_file(folder / "Brief.txt"), c.after) << c.image;
		EXPECT_NE(run.err.find("Textwend: Brief.txt: " + c.line + ";"),
				std::string::npos)
				<< run.err;
	}
}

TEST(Batch, UndoImagePutsOriginalsBackAndTellsWhyNot)
{
	Folder folder;
	for (const char* name : {"a.txt", "edited.txt", "b.txt"})
		write_file(folder / name, "K\xE4se\r\n");
	run_host(folder, {folder / "a.txt", folder / "edited.txt"});
	write_file(folder / "edited.txt", "Käse, edited\n");

	HostRun run = run_host(folder,
			{folder / "a.txt", folder / "a.txt-BAK", folder / "edited.txt",
					folder / "b.txt"},
			kImages + "/Textwend-Undo");

	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {
					"a.txt", "b.txt", "edited.txt", "edited.txt-BAK"}));
	EXPECT_EQ(read_file(folder / "a.txt"), "K\xE4se\r\n");
	for (const char* line :
			{"\nTextwend: a.txt: conversion undone; the original is back from "
			 "a.txt-BAK\n",
					"\nTextwend: edited.txt: left as it was: it was changed "
					"since its conversion\n",
					"\nTextwend: b.txt: left as it was: it carries no stamp of "
					"a conversion\n",
					"\nTextwend: a.txt-BAK: undone with the entry above\n",
					"2 of 4 entries were not undone:"})
		EXPECT_NE(run.err.find(line), std::string::npos) << line << run.err;
}

} // namespace
