/*
 * The host that plays the file manager, with the image that records how it
 * was called.
 */
#include "support/files.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>


namespace {

typedef std::vector<std::string> Fields;

const std::string kHost = TEXTWEND_HOST;
const std::string kImage = TEXTWEND_TEST_IMAGE;


// Where a ref must point: its folder, as the file system names it, and its
// leaf.
struct Entry {
	std::string folder;
	std::string name;
};


class HostTest : public testing::Test {
protected:
	void
	Make(const std::string& relative)
	{
		std::filesystem::path path(fFolder + "/" + relative);
		std::filesystem::create_directories(path.parent_path());
		std::ofstream(path) << "text\n";
	}

	// Runs the host in the scratch folder, or in folder.
	test::ChildResult
	Host(Fields arguments, const std::string& folder = "")
	{
		arguments.insert(arguments.begin(), kHost);
		return test::run_program(arguments, folder.empty() ? fFolder : folder);
	}

	test::Folder fScratch {"host"};
	std::string fFolder = fScratch.path();
};


// The fields of the image's lines that start with key.
std::vector<Fields>
lines_of(const test::ChildResult& run, const std::string& key)
{
	std::vector<Fields> found;
	for (const Fields& fields : test::split_lines(run.output)) {
		if (fields[0].rfind(key, 0) == 0)
			found.push_back(fields);
	}
	return found;
}


void
expect_ref(const Fields& fields, const std::string& label, const Entry& entry)
{
	struct stat folder;
	ASSERT_EQ(stat(entry.folder.c_str(), &folder), 0) << entry.folder;
	EXPECT_EQ(fields,
			Fields({label, std::to_string(folder.st_dev),
					std::to_string(folder.st_ino), entry.name,
					entry.folder + "/" + entry.name}));
}


// The refs the image was given, and the host's exit status.
void
expect_refs_status(const test::ChildResult& run, int status,
		const std::vector<Entry>& entries)
{
	ASSERT_EQ(run.status, status) << run.errors;
	std::vector<Fields> refs = lines_of(run, "ref ");
	ASSERT_EQ(refs.size(), entries.size()) << run.output;
	for (size_t i = 0; i < entries.size(); i++)
		expect_ref(refs[i], "ref " + std::to_string(i), entries[i]);
}


void
expect_refs(const test::ChildResult& run, const std::vector<Entry>& entries)
{
	ASSERT_EQ(run.status, 0) << run.errors;
	EXPECT_EQ(run.errors, "");
	std::vector<Fields> refs = lines_of(run, "ref ");
	ASSERT_EQ(refs.size(), entries.size()) << run.output;
	for (size_t i = 0; i < entries.size(); i++)
		expect_ref(refs[i], "ref " + std::to_string(i), entries[i]);
	EXPECT_EQ(lines_of(run, "count"),
			std::vector<Fields>({{"count", std::to_string(entries.size())}}));
}


TEST_F(HostTest, EmptySelectionIsCalledOnItsOwnThreadWithTheApplicationSet)
{
	std::filesystem::create_directories(fFolder + "/sub");
	test::ChildResult run = Host({kImage}, fFolder + "/sub");
	expect_refs(run, {});

	std::vector<Fields> lines = test::split_lines(run.output);
	EXPECT_EQ(lines.front(), Fields({"process_refs"}));
	EXPECT_EQ(lines_of(run, "constructors")[0], Fields({"constructors", "1"}));
	EXPECT_EQ(lines_of(run, "thread")[0], Fields({"thread", "own"}));
	EXPECT_EQ(lines_of(run, "be_app")[0], Fields({"be_app", "set"}));
	EXPECT_EQ(lines_of(run, "reserved")[0], Fields({"reserved", "null"}));
	EXPECT_EQ(lines_of(run, "what")[0], Fields({"what", "5f525243"}));
	expect_ref(lines_of(run, "dir")[0], "dir", {fFolder, "sub"});
	// The image is unloaded once the call has returned.
	EXPECT_EQ(lines.back(), Fields({"unloaded"}));
}


TEST_F(HostTest, TheAddOnFindsRoomForTheDescriptorsOfABatch)
{
	// Room the kernel made while the host had one thread, up to what a
	// batch holds (16,384) or the limit allows: made later, each doubling
	// of the table waits for the kernel.
	struct rlimit inherited;
	ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &inherited), 0);
	struct {
		rlim_t limit;
		unsigned long room;
	} cases[] = {
			{RLIM_INFINITY,
					(unsigned long)std::min<rlim_t>(inherited.rlim_max, 16384)},
			{1000, 1000},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(test.limit);
		test::ChildOptions options;
		options.descriptorLimit = test.limit;
		options.folder = fFolder;
		test::ChildResult run = test::run_program({kHost, kImage}, options);
		ASSERT_EQ(run.status, 0) << run.errors;
		std::vector<Fields> room = lines_of(run, "descriptors");
		ASSERT_EQ(room.size(), 1u) << run.output;
		EXPECT_GE(std::stoul(room[0][1]), test.room);
	}
}


TEST_F(HostTest, RefsArriveInTheOrderGivenWithTheirNamesIntact)
{
	std::string longName(255, 'n');
	for (const char* name :
			{"a.txt", "b.txt", "deeper/c.txt", "Grüße aus Österreich.txt",
					" spaces ", "-like-an-option", "--"})
		Make(name);
	Make(longName);

	struct {
		Fields paths;
		std::vector<Entry> entries;
	} cases[] = {
			{{"b.txt", "a.txt", "deeper/c.txt"},
					{{fFolder, "b.txt"}, {fFolder, "a.txt"},
							{fFolder + "/deeper", "c.txt"}}},
			// Twice the same entry, and a folder.
			{{"a.txt", "deeper", "a.txt"},
					{{fFolder, "a.txt"}, {fFolder, "deeper"},
							{fFolder, "a.txt"}}},
			// Only the image's argument is read as an option.
			{{"Grüße aus Österreich.txt", " spaces ", "-like-an-option",
					 longName},
					{{fFolder, "Grüße aus Österreich.txt"},
							{fFolder, " spaces "}, {fFolder, "-like-an-option"},
							{fFolder, longName}}},
			// A "--" after the image ends the options, once.
			{{"--", "-like-an-option", "a.txt"},
					{{fFolder, "-like-an-option"}, {fFolder, "a.txt"}}},
			{{"--", "--"}, {{fFolder, "--"}}},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(testing::PrintToString(test.paths));
		Fields arguments = {kImage};
		arguments.insert(arguments.end(), test.paths.begin(), test.paths.end());
		expect_refs(Host(arguments), test.entries);
	}
}


TEST_F(HostTest, LinksArePassedUnresolved)
{
	Make("target/file.txt");
	std::filesystem::create_directories(fFolder + "/links");
	std::filesystem::create_symlink(
			"../target/file.txt", fFolder + "/links/file");
	std::filesystem::create_symlink("../target", fFolder + "/links/folder");
	std::filesystem::create_symlink("../nowhere", fFolder + "/links/dangling");

	expect_refs(Host({kImage, "links/file", "links/folder", "links/dangling"}),
			{{fFolder + "/links", "file"}, {fFolder + "/links", "folder"},
					{fFolder + "/links", "dangling"}});
}


TEST_F(HostTest, RelativePathsAreTakenFromTheCurrentFolder)
{
	Make("sub/x.txt");
	Make("y.txt");
	std::string leaf = std::filesystem::path(fFolder).filename().string();

	struct {
		std::string path;
		Entry entry;
	} cases[] = {
			{"y.txt", {fFolder, "y.txt"}},
			{"./y.txt", {fFolder, "y.txt"}},
			{"sub//x.txt", {fFolder + "/sub", "x.txt"}},
			{"sub/../y.txt", {fFolder, "y.txt"}},
			{"../" + leaf + "/sub/x.txt", {fFolder + "/sub", "x.txt"}},
			{fFolder + "/y.txt", {fFolder, "y.txt"}},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(test.path);
		expect_refs(Host({kImage, test.path}), {test.entry});
	}
}


TEST_F(HostTest, PathsThatCannotBeHandedOverArePassedOverAndTheRestHandedOn)
{
	Make("here.txt");
	Make("it's \"$HOME\" `x`.txt");
	std::filesystem::create_symlink("nowhere", fFolder + "/dangling");

	struct {
		Fields paths;
		std::vector<Entry> handedOn;
		Fields passedOver; // as each line shows it
	} cases[] = {
			{{"gone.txt"}, {}, {"gone.txt"}},
			{{"here.txt", "gone.txt", "dangling", "also/gone"},
					{{fFolder, "here.txt"}, {fFolder, "dangling"}},
					{"gone.txt", "also/gone"}},
			{{""}, {}, {""}},
			{{"here.txt/child", "new\nline"}, {},
					{"here.txt/child", "new\\x0Aline"}},
			// The file managers' URIs, every awkward byte escaped.
			{{"file://" + fFolder + "/it's%20%22$HOME%22%20%60x%60.txt",
					 "file://localhost" + fFolder + "/here.txt",
					 "file://elsewhere/here.txt", "file:///bad%2"},
					{{fFolder, "it's \"$HOME\" `x`.txt"},
							{fFolder, "here.txt"}},
					{"file://elsewhere/here.txt", "file:///bad%2"}},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(testing::PrintToString(test.paths));
		Fields arguments = {kImage};
		arguments.insert(arguments.end(), test.paths.begin(), test.paths.end());
		test::ChildResult run = Host(arguments);

		EXPECT_EQ(run.status, 1);
		std::vector<Fields> refs = lines_of(run, "ref ");
		ASSERT_EQ(refs.size(), test.handedOn.size()) << run.output;
		for (size_t i = 0; i < refs.size(); i++)
			expect_ref(refs[i], "ref " + std::to_string(i), test.handedOn[i]);
		std::vector<Fields> lines = test::split_lines(run.errors);
		ASSERT_EQ(lines.size(), test.passedOver.size()) << run.errors;
		for (size_t i = 0; i < lines.size(); i++) {
			EXPECT_EQ(lines[i][0].rfind(
							  "tracker-run: " + test.passedOver[i] + ": ", 0),
					0u)
					<< lines[i][0];
			EXPECT_NE(lines[i][0].find("passed over"), std::string::npos);
		}
	}
}


TEST_F(HostTest, TextOnlyPassesOverWhatIsNoText)
{
	Make("letter.txt");
	Make("folder/inside");
	std::filesystem::copy_file(kImage, fFolder + "/program");

	test::ChildResult run
			= Host({"--text-only", kImage, "letter.txt", "program", "folder"});
	expect_refs_status(run, 0, {{fFolder, "letter.txt"}, {fFolder, "folder"}});
	EXPECT_EQ(
			run.errors.rfind("tracker-run: program: not a text file (", 0), 0u)
			<< run.errors;
}


TEST_F(HostTest, UnusableImagesAndArgumentsAreRejected)
{
	Make("text-file");
	std::filesystem::create_directories(fFolder + "/folder");
	Make("selected.txt");

	const char* kError = "tracker-run: ";
	const char* kUsage = "usage: ";
	struct {
		Fields arguments;
		int status;
		const char* start;
	} cases[] = {
			{{fFolder + "/missing-image", "selected.txt"}, 2, kError},
			{{"text-file", "selected.txt"}, 2, kError},
			{{"folder", "selected.txt"}, 2, kError},
			{{TEXTWEND_NO_ENTRY_IMAGE, "selected.txt"}, 2, kError},
			{{"--frobnicate", kImage}, 2, kError},
			{{"--text-only", "--frobnicate", kImage}, 2, kError},
			{{"--"}, 2, kUsage},
			{{"--text-only"}, 2, kUsage},
			{{}, 2, kUsage},
			{{"--help"}, 0, kUsage},
			{{"-h"}, 0, kUsage},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(testing::PrintToString(test.arguments));
		test::ChildResult run = Host(test.arguments);
		EXPECT_EQ(run.status, test.status);
		EXPECT_EQ(run.output, "");
		EXPECT_EQ(run.errors.rfind(test.start, 0), 0u) << run.errors;
		if (test.start == kError) {
			EXPECT_EQ(test::split_lines(run.errors).size(), 1u) << run.errors;
		}
	}

	// A path in the current folder is the image there, not one along the
	// library path.
	std::filesystem::copy_file(kImage, fFolder + "/image");
	expect_refs(Host({"./image", "selected.txt"}), {{fFolder, "selected.txt"}});
}


// Runs with HOME set to a scratch folder, so that the user's add-ons are
// the test's.
class AddOnNameTest : public HostTest {
protected:
	void
	SetUp() override
	{
		HostTest::SetUp();
		const char* home = getenv("HOME");
		fHadHome = home != NULL;
		if (fHadHome)
			fOldHome = home;
		fHome = fFolder + "/home";
		fAddOns = fHome + "/config/add-ons/Tracker";
		std::filesystem::create_directories(fAddOns);
		setenv("HOME", fHome.c_str(), 1);
	}

	void
	TearDown() override
	{
		if (fHadHome)
			setenv("HOME", fOldHome.c_str(), 1);
		else
			unsetenv("HOME");
		HostTest::TearDown();
	}

	std::string fHome;
	std::string fAddOns;
	bool fHadHome = false;
	std::string fOldHome;
};


TEST_F(AddOnNameTest, ANameIsLookedUpInTheUsersAddOnFolder)
{
	Make("selected.txt");
	std::filesystem::copy_file(kImage, fAddOns + "/Recorder");
	std::filesystem::copy_file(kImage, fAddOns + "/-Recorder");
	std::filesystem::copy_file(kImage, fAddOns + "/Grüße Äddon");

	struct {
		Fields arguments;
	} cases[] = {
			{{"Recorder", "selected.txt"}},
			{{"Grüße Äddon", "selected.txt"}},
			// After "--", a name may look like an option.
			{{"--", "-Recorder", "selected.txt"}},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(testing::PrintToString(test.arguments));
		expect_refs(Host(test.arguments), {{fFolder, "selected.txt"}});
	}
}


TEST_F(AddOnNameTest, ANameThatIsNoInstalledAddOnIsRefused)
{
	Make("selected.txt");
	// The file managers start the host in the folder that they show: an
	// image there must never be taken for the add-on of that name.
	std::filesystem::copy_file(kImage, fFolder + "/Textwend");
	std::filesystem::create_directories(fAddOns + "/Folder");
	std::filesystem::create_symlink("nowhere", fAddOns + "/Dangling");

	for (const char* name : {"Textwend", "Folder", "Dangling", "", ".", ".."}) {
		SCOPED_TRACE(name);
		test::ChildResult run = Host({name, "selected.txt", "missing.txt"});
		EXPECT_EQ(run.status, 2);
		EXPECT_EQ(run.output, "");
		// The name and the missing path, one line each.
		std::vector<Fields> lines = test::split_lines(run.errors);
		ASSERT_EQ(lines.size(), 2u) << run.errors;
		EXPECT_EQ(
				lines[0][0].rfind(std::string("tracker-run: no add-on named '")
								+ name + "' in " + fAddOns + " or ",
						0),
				0u)
				<< lines[0][0];
		EXPECT_EQ(lines[1][0].rfind("tracker-run: missing.txt: ", 0), 0u);
	}
}

} // namespace
