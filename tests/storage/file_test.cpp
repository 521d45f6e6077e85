/*
 * BFile: opening by path and mode, reading, writing, closing.
 */
#include "support/files.h"

#include <Entry.h>
#include <File.h>

#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using std::string;


namespace {

using test::read_file;


int
open_descriptors()
{
	int count = 0;
	DIR* dir = opendir("/proc/self/fd");
	if (dir == NULL)
		return -1;
	while (readdir(dir) != NULL)
		count++;
	closedir(dir);
	return count;
}


class FileTest : public test::FolderTest { };

} // namespace


TEST_F(FileTest, OpenModesAndTheirFailures)
{
	string file = fScratch.add_file("file", "old");
	string folder = fScratch.add_folder("folder");
	int before = open_descriptors();
	const struct {
		string path;
		uint32 mode;
		status_t status;
	} kCases[] = {
			{file, B_READ_ONLY, B_OK},
			{file, B_READ_WRITE, B_OK},
			{fScratch / "missing", B_READ_ONLY, B_ENTRY_NOT_FOUND},
			{fScratch / "missing", B_READ_WRITE, B_ENTRY_NOT_FOUND},
			{fScratch / "no/file", B_READ_ONLY, B_ENTRY_NOT_FOUND},
			{file + "/x", B_READ_ONLY, B_NOT_A_DIRECTORY},
			{folder, B_READ_ONLY, B_IS_A_DIRECTORY},
			{folder, B_READ_WRITE, B_IS_A_DIRECTORY},
			{folder, B_READ_ONLY | B_CREATE_FILE, B_IS_A_DIRECTORY},
			{file, B_WRITE_ONLY | B_CREATE_FILE | B_FAIL_IF_EXISTS,
					B_FILE_EXISTS},
			{file, B_READ_ONLY | 0x40, B_BAD_VALUE},
			{file, 3, B_BAD_VALUE},
			{"", B_READ_ONLY, B_BAD_VALUE},
	};
	for (const auto& test : kCases) {
		BFile bfile(test.path.c_str(), test.mode);
		EXPECT_EQ(bfile.InitCheck(), test.status)
				<< test.path << " mode " << test.mode;
	}
	EXPECT_EQ(read_file(file), "old") << "a failed open changed the file";
	EXPECT_EQ(open_descriptors(), before) << "a failed open left one open";
	EXPECT_EQ(BFile((const char*)NULL, B_READ_ONLY).InitCheck(), B_BAD_VALUE);

	entry_ref ref;
	ASSERT_EQ(get_ref_for_path(file.c_str(), &ref), B_OK);
	EXPECT_EQ(BFile(&ref, B_READ_ONLY).InitCheck(), B_OK);
	EXPECT_EQ(BFile((const entry_ref*)NULL, B_READ_ONLY).InitCheck(),
			B_BAD_VALUE);
}


TEST_F(FileTest, ReadGivesTheWholeFileThenNothing)
{
	// Larger than any one buffer of the host's, with zero bytes in it.
	string content(300000, '\0');
	for (size_t i = 0; i < content.size(); i++)
		content[i] = (char)(i % 251);
	string path = fScratch.add_file("big", content);

	BFile file(path.c_str(), B_READ_WRITE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	off_t size = 0;
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, (off_t)content.size());

	std::vector<char> buffer(content.size() + 100);
	ASSERT_EQ(file.Read(buffer.data(), buffer.size()), size);
	EXPECT_EQ(string(buffer.data(), size), content);
	EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 0);
	EXPECT_EQ(file.Position(), size);

	char window[4];
	EXPECT_EQ(file.ReadAt(251, window, 4), 4);
	EXPECT_EQ(string(window, 4), string("\0\x01\x02\x03", 4));
	EXPECT_EQ(file.ReadAt(size - 2, window, 4), 2);
	EXPECT_EQ(file.ReadAt(-1, window, 4), B_BAD_VALUE);
	EXPECT_EQ(file.Read(NULL, 4), B_BAD_VALUE);
}


TEST_F(FileTest, WritingCreatingErasingAppending)
{
	string path = fScratch / "new";
	char buffer[4];
	{
		BFile file(path.c_str(), B_WRITE_ONLY | B_CREATE_FILE);
		ASSERT_EQ(file.InitCheck(), B_OK);
		EXPECT_EQ(file.Write("hello", 5), 5);
		EXPECT_EQ(file.WriteAt(1, "E", 1), 1);
		EXPECT_EQ(file.Read(buffer, 4), B_FILE_ERROR) << "write-only";
	}
	EXPECT_EQ(read_file(path), "hEllo");
	{
		BFile file(path.c_str(), B_WRITE_ONLY | B_OPEN_AT_END);
		EXPECT_EQ(file.Write(" world", 6), 6);
	}
	EXPECT_EQ(read_file(path), "hEllo world");
	{
		BFile file(path.c_str(), B_READ_WRITE | B_ERASE_FILE);
		off_t size = -1;
		EXPECT_EQ(file.GetSize(&size), B_OK);
		EXPECT_EQ(size, 0);
		EXPECT_EQ(file.Write("x", 1), 1);
		EXPECT_EQ(file.Seek(0, SEEK_SET), 0);
		EXPECT_EQ(file.Read(buffer, 4), 1);
	}
	EXPECT_EQ(read_file(path), "x");
}


TEST_F(FileTest, DestructionAndUnsetClose)
{
	string path = fScratch.add_file("file", "data");
	int before = open_descriptors();
	ASSERT_GT(before, 0);
	{
		BFile file(path.c_str(), B_READ_ONLY);
		ASSERT_EQ(file.InitCheck(), B_OK);
		BFile other;
		EXPECT_EQ(other.SetTo(path.c_str(), B_READ_WRITE), B_OK);
		EXPECT_EQ(open_descriptors(), before + 2);
		other.Unset();
		EXPECT_EQ(open_descriptors(), before + 1);
		char buffer[4];
		off_t size;
		EXPECT_EQ(other.Read(buffer, 4), B_NO_INIT);
		EXPECT_EQ(other.GetSize(&size), B_NO_INIT);
	}
	EXPECT_EQ(open_descriptors(), before);
}
