/*
 * BEntry and BPath: entries named by refs, their paths, names and records.
 */
#include "support/files.h"

#include <Entry.h>
#include <Path.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

using std::string;


namespace {

string
status_text(status_t status)
{
	return "<status " + std::to_string(status) + ">";
}


string
name_of(const BEntry& entry)
{
	char name[B_FILE_NAME_LENGTH];
	status_t status = entry.GetName(name);
	return status == B_OK ? string(name) : status_text(status);
}


string
path_of(const BEntry& entry)
{
	BPath path;
	status_t status = entry.GetPath(&path);
	return status == B_OK ? string(path.Path()) : status_text(status);
}


class EntryTest : public test::FolderTest { };

} // namespace


TEST_F(EntryTest, EntriesOfEveryKindThroughTheirRefs)
{
	string file = fScratch.add_file("file.txt", "12345");
	string folder = fScratch.add_folder("folder");
	string link = fScratch.add_link("link", "file.txt");
	// A path well over 100 bytes, and a leaf name over 200.
	string nested = "nested-folder";
	for (fScratch.add_folder(nested); (fScratch / nested).length() < 150;
			fScratch.add_folder(nested))
		nested += "/nested-folder";
	string deep = fScratch.add_file(nested + "/deep.txt", "deep");
	string longLeaf(240, 'L');
	string longFile = fScratch.add_file(longLeaf, "long");
	const string& scratch = fScratch.path();
	string scratchName = scratch.substr(scratch.rfind('/') + 1);

	const struct {
		string path;
		bool traverse;
		string expectedPath;
		string expectedName;
		mode_t type;
	} kCases[] = {
			{file, false, file, "file.txt", S_IFREG},
			{folder, false, folder, "folder", S_IFDIR},
			{link, false, link, "link", S_IFLNK},
			{link, true, file, "file.txt", S_IFREG},
			{deep, false, deep, "deep.txt", S_IFREG},
			{longFile, false, longFile, longLeaf, S_IFREG},
			{folder + "/../folder/./", false, folder, "folder", S_IFDIR},
			{folder + "/..", false, scratch, scratchName, S_IFDIR},
			{"/", false, "/", "/", S_IFDIR},
	};
	for (const auto& test : kCases) {
		entry_ref ref;
		ASSERT_EQ(get_ref_for_path(test.path.c_str(), &ref), B_OK) << test.path;
		BEntry entry(&ref, test.traverse);
		ASSERT_EQ(entry.InitCheck(), B_OK) << test.path;
		EXPECT_TRUE(entry.Exists()) << test.path;
		EXPECT_EQ(path_of(entry), test.expectedPath) << test.path;
		EXPECT_EQ(name_of(entry), test.expectedName) << test.path;
		struct stat st;
		ASSERT_EQ(entry.GetStat(&st), B_OK) << test.path;
		EXPECT_EQ(st.st_mode & S_IFMT, test.type) << test.path;

		entry_ref back;
		entry_ref expected;
		ASSERT_EQ(entry.GetRef(&back), B_OK) << test.path;
		get_ref_for_path(test.expectedPath.c_str(), &expected);
		EXPECT_TRUE(back == expected) << test.path;
	}
	EXPECT_GT(deep.length(), 100u);
}


TEST_F(EntryTest, AbstractAndBrokenEntries)
{
	string folder = fScratch.add_folder("folder");
	string dangling = fScratch.add_link("dangling", "nowhere");

	// An entry that does not exist, in a folder that does.
	BEntry missing((fScratch / "missing").c_str());
	ASSERT_EQ(missing.InitCheck(), B_OK);
	EXPECT_FALSE(missing.Exists());
	EXPECT_EQ(name_of(missing), "missing");
	struct stat st;
	EXPECT_EQ(missing.GetStat(&st), B_ENTRY_NOT_FOUND);

	BEntry link(dangling.c_str());
	ASSERT_EQ(link.GetStat(&st), B_OK);
	EXPECT_TRUE(S_ISLNK(st.st_mode));
	EXPECT_EQ(BEntry(dangling.c_str(), true).InitCheck(), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(BEntry((fScratch / "no/such").c_str()).InitCheck(),
			B_ENTRY_NOT_FOUND);

	// A ref outlives its folder.
	entry_ref ref;
	ASSERT_EQ(get_ref_for_path((folder + "/file").c_str(), &ref), B_OK);
	ASSERT_EQ(rmdir(folder.c_str()), 0);
	EXPECT_EQ(BEntry(&ref).InitCheck(), B_ENTRY_NOT_FOUND);

	// Refs made by hand.
	entry_ref root;
	ASSERT_EQ(get_ref_for_path(fScratch.path().c_str(), &root), B_OK);
	string tooLong(B_FILE_NAME_LENGTH, 'x');
	const struct {
		ino_t folder;
		const char* name;
		status_t status;
	} kRefs[] = {
			{root.directory, "a/b", B_BAD_VALUE},
			{root.directory, "", B_BAD_VALUE},
			{root.directory, NULL, B_BAD_VALUE},
			{root.directory, tooLong.c_str(), B_NAME_TOO_LONG},
			{(ino_t)-2, "file", B_ENTRY_NOT_FOUND},
	};
	for (const auto& test : kRefs) {
		entry_ref bad(root.device, test.folder, test.name);
		EXPECT_EQ(BEntry(&bad).InitCheck(), test.status)
				<< (test.name != NULL ? test.name : "NULL");
	}
	EXPECT_EQ(BEntry((const entry_ref*)NULL).InitCheck(), B_BAD_VALUE);
}


TEST_F(EntryTest, PathsAreAbsoluteAndNormalizedWhenNeeded)
{
	string folder = fScratch.add_folder("folder");
	fScratch.add_link("linked", "folder");
	const struct {
		string path;
		const char* leaf;
		bool normalize;
		string expected;
		const char* expectedLeaf;
	} kCases[] = {
			{folder, NULL, false, folder, "folder"},
			{folder + "/", "child", false, folder + "/child", "child"},
			{folder + "//./x", NULL, false, folder + "/x", "x"},
			{folder + "/../folder", NULL, false, folder, "folder"},
			{fScratch / "linked/x", NULL, false, fScratch / "linked/x", "x"},
			{fScratch / "linked/x", NULL, true, folder + "/x", "x"},
			{"/", NULL, false, "/", ""},
			{"/not/there", NULL, false, "/not/there", "there"},
	};
	for (const auto& test : kCases) {
		BPath path(test.path.c_str(), test.leaf, test.normalize);
		ASSERT_EQ(path.InitCheck(), B_OK) << test.path;
		EXPECT_EQ(string(path.Path()), test.expected) << test.path;
		EXPECT_STREQ(path.Leaf(), test.expectedLeaf) << test.path;
	}

	const struct {
		const char* path;
		const char* leaf;
		status_t status;
	} kBad[] = {
			{NULL, NULL, B_BAD_VALUE},
			{"", NULL, B_BAD_VALUE},
			{"/tmp", "/absolute", B_BAD_VALUE},
			{"/not/there/../x", NULL, B_ENTRY_NOT_FOUND},
	};
	for (const auto& test : kBad) {
		BPath path(test.path, test.leaf);
		EXPECT_EQ(path.InitCheck(), test.status);
		EXPECT_EQ(path.Path(), nullptr);
		EXPECT_EQ(path.Leaf(), nullptr);
	}

	// A relative path is taken from the current folder.
	char* cwd = getcwd(NULL, 0);
	ASSERT_EQ(chdir(folder.c_str()), 0);
	BPath relative("x");
	EXPECT_STREQ(relative.Path(), (folder + "/x").c_str());
	ASSERT_EQ(chdir(cwd), 0);
	free(cwd);
}


TEST_F(EntryTest, CopiesAndPathsSetFromTheirOwnText)
{
	string folder = fScratch.add_folder("folder");
	fScratch.add_folder("folder/child");
	BPath path(folder.c_str());
	ASSERT_EQ(path.SetTo(path.Path(), "child"), B_OK);
	EXPECT_EQ(string(path.Path()), folder + "/child");
	ASSERT_EQ(path.SetTo(path.Path(), "..", true), B_OK);
	EXPECT_EQ(string(path.Path()), folder);

	BEntry entry(folder.c_str());
	BEntry copy1(entry);
	entry.Unset();
	EXPECT_EQ(path_of(copy1), folder) << "a copy keeps its own path";
	EXPECT_EQ(entry.GetStat(NULL), B_NO_INIT);

	BPath copy;
	copy = path;
	BPath& alias = copy;
	copy = alias;
	EXPECT_EQ(string(copy.Path()), folder);
}
