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

// The host on the paths, in the folder that holds them, as the file manager
// runs it: in its own session with no terminal, no display and nothing on
// standard input.
test::ChildResult
run_host(const Folder& folder, const std::vector<std::string>& paths)
{
	std::vector<std::string> arguments = {kHost, kImage};
	arguments.insert(arguments.end(), paths.begin(), paths.end());
	return test::run_program(arguments, folder.path());
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

	test::ChildResult run = run_host(folder, paths);

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output, expected);
	size_t shown = 0;
	for (const Letter& letter : letters) {
		EXPECT_EQ(read_file(folder / letter.name), letter.after) << letter.name;
		EXPECT_EQ(read_file(folder / (letter.name + "-BAK")), letter.before)
				<< letter.name;
		// The status window names the files, in order.
		size_t at = run.errors.find(letter.name, shown);
		EXPECT_NE(at, std::string::npos) << letter.name << "\n" << run.errors;
		shown = at == std::string::npos ? shown : at;
	}
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

	test::ChildResult run = run_host(folder,
			{folder / "empty.txt", folder / "link.txt", folder / "shared",
					folder / "setuid"});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output, "");
	EXPECT_EQ(run.errors.find("No files selected"), std::string::npos)
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

	test::ChildResult run = run_host(folder, {longPath, longName});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output,
			converted_output(longPath) + converted_output(longName));
	EXPECT_EQ(read_file(longPath), "ä\n");
	EXPECT_EQ(read_file(longName), "ä\n");
}

TEST(Batch, EmptySelectionIsReportedByTheAlert)
{
	Folder folder;
	test::ChildResult run = run_host(folder, {});
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.output, "");
	EXPECT_NE(run.errors.find("No files selected.."), std::string::npos)
			<< run.errors;
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

	test::ChildResult run = run_host(folder,
			{folder / "empty", folder / "a.txt", folder / "link",
					folder / "dir", folder / "suid", folder / name});

	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.output,
			converted_output(folder / "a.txt")
					+ converted_output(folder / name));
	EXPECT_EQ(read_file(folder / "a.txt"), "ä\n");
	EXPECT_EQ(read_file(folder / name), "Käse\n");
	EXPECT_TRUE(S_ISLNK(test::mode_of(folder / "link")));
	EXPECT_FALSE(test::exists(folder / "dir-BAK"));
}

} // namespace
