// Every file system ends the same: the converted text under the name, the
// original under the first free backup name, nothing else, and undo brings
// the original back wherever the file system keeps attributes. A power cut
// at any point of a batch leaves every name with its original or its whole
// converted text.
#include "convert/batch.h"
#include "convert/convert.h"
#include "convert/result.h"
#include "convert/source_file.h"
#include "convert/undo.h"
#include "support/files.h"
#include "support/mounts.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <memory>

namespace {

using test::ChildOptions;
using test::Folder;
using test::read_file;
using test::write_file;

const std::string kBefore = "K\xE4se\r\n";
const std::string kAfter = "Käse\n";

// Runs call on path in a child with options; its standard error, and the
// reason the file was left alone after it.
test::ChildResult
in_child(void (*call)(char*), const std::string& path,
		const ChildOptions& options)
{
	return test::run_child(
			[call, path] {
				std::string copy = path;
				call(copy.data());
				fprintf(stderr, "%s", last_result.reason.c_str());
				return 0;
			},
			options);
}

struct Kind {
	const char* what;
	unsigned refused; // what the host refuses, as that file system does
	bool attributes;  // it keeps them, and so the stamp
};

// Converts a.txt in where, beside an a.txt-BAK of its own, and undoes it.
void
ends_the_same(const Kind& kind, const std::string& where)
{
	const std::string noUndo = "its file system keeps no attributes: this "
							   "conversion cannot be undone";
	std::string path = where + "/a.txt";
	write_file(path, kBefore, 0640);
	write_file(path + "-BAK", "older\n");
	mode_t mode = test::mode_of(path);
	ChildOptions options;
	options.refused = kind.refused;

	auto converted = in_child(AlyBFile, path, options);
	ASSERT_NE(converted.status, test::kChildSetupFailed) << converted.errors;
	EXPECT_EQ(read_file(path), kAfter) << kind.what;
	EXPECT_EQ(read_file(path + "-BAK2"), kBefore) << kind.what;
	EXPECT_EQ(read_file(path + "-BAK"), "older\n") << kind.what;
	EXPECT_EQ(test::mode_of(path), mode) << kind.what;
	EXPECT_EQ(test::folder_entries(where),
			(std::vector<std::string> {"a.txt", "a.txt-BAK", "a.txt-BAK2"}))
			<< kind.what;
	EXPECT_NE(
			converted.output.find("to: '" + path + "-BAK2'"), std::string::npos)
			<< kind.what << ": " << converted.output;
	EXPECT_EQ(converted.errors,
			kind.attributes ? "" : "Textwend: '" + path + "': " + noUndo + "\n")
			<< kind.what;

	auto undone = in_child(undo_conversion, path, options);
	EXPECT_EQ(read_file(path), kind.attributes ? kBefore : kAfter)
			<< kind.what << ": " << undone.errors;
	EXPECT_EQ(undone.errors,
			kind.attributes ? ""
							: "its file system keeps no stamp of a conversion")
			<< kind.what;
	EXPECT_EQ(test::folder_entries(where).size(), kind.attributes ? 2u : 3u)
			<< kind.what;
}

// The file systems as the host answers for them.
TEST(FileSystems, EveryKindEndsWithTheSameFolder)
{
	const unsigned kNetwork = test::kNoRenameFlags | test::kNoNamelessFiles;
	const Kind kinds[] = {
			{"as it is", 0, true},
			{"no exchange of names", test::kNoNameSwap, true},
			{"no nameless files", test::kNoNamelessFiles, true},
			{"NFS, CIFS", kNetwork, true},
			{"no second names either (exFAT)", kNetwork | test::kNoSecondNames,
					true},
			{"FAT", kNetwork | test::kNoSecondNames | test::kNoAttributes,
					false},
	};
	for (const Kind& kind : kinds) {
		Folder folder;
		ends_the_same(kind, folder.path());
	}
}

// The real ones, where the tests may mount them.
TEST(FileSystems, MountedOnesEndWithTheSameFolder)
{
	const struct {
		const char* type;
		Kind kind;
	} mounts[] = {
			{"tmpfs", {"tmpfs", 0, true}},
			{"vfat", {"vfat", 0, false}},
	};
	std::string skipped;
	for (const auto& mount : mounts) {
		test::Mount mounted(mount.type);
		if (!mounted.trouble().empty())
			skipped += (skipped.empty() ? "" : "; ") + mounted.trouble();
		else
			ends_the_same(mount.kind, mounted.path());
	}
	if (!skipped.empty())
		GTEST_SKIP() << skipped;
}


// A power cut as ext4 knows it: what its journal has not committed is gone.
// Everything so far is committed first, as a commit that another program
// asks for at that instant would.
#ifndef EXT4_IOC_SHUTDOWN
#define EXT4_IOC_SHUTDOWN _IOR('X', 125, uint32_t)
#endif
const uint32_t kGoingNoLogFlush = 2;

std::string sMountPath;
int sCutAt = 0;
int sSteps = 0;

void
power_cut()
{
	std::string marker = sMountPath + "/commit";
	int fd = open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
	int root = open(sMountPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	uint32_t flags = kGoingNoLogFlush;
	if (fd < 0 || fsync(fd) != 0 || root < 0
			|| ioctl(root, EXT4_IOC_SHUTDOWN, &flags) != 0)
		abort();
	close(fd);
	close(root);
}

void
count_step(const char*)
{
	if (++sSteps == sCutAt)
		power_cut();
}

TEST(FileSystems, PowerCutAtAnyPointLeavesOriginalsOrWholeTexts)
{
	std::string large;
	while (large.size() < 1536 * 1024)
		large += "Gr\x81\xE1"
				 "e aus K\x94ln\r\n";
	const struct {
		std::string name;
		std::string before;
		std::string after; // empty: not looked at, undo checks it
	} letters[] = {
			{"large.txt", large, ""},
			{"a.txt",
					"Gr\x81\xE1"
					"e\r\n",
					"Grüße\n"},
			{"b.txt", kBefore, kAfter},
	};
	for (int cut = 1;; cut++) {
		test::Mount ext4("ext4");
		if (!ext4.trouble().empty())
			GTEST_SKIP() << ext4.trouble();
		std::string folder = ext4.path() + "/letters";
		ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
		std::vector<std::string> names;
		for (const auto& letter : letters) {
			write_file(folder + "/" + letter.name, letter.before);
			names.push_back(letter.name);
		}
		std::sort(names.begin(), names.end());
		// The letters themselves are on the disk before the batch starts.
		int on = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		ASSERT_TRUE(on >= 0 && syncfs(on) == 0 && close(on) == 0);
		sMountPath = ext4.path();
		sCutAt = cut;

		auto run = test::run_child([&] {
			replace_step_hook = count_step;
			batch_begin();
			for (const auto& letter : letters) {
				std::string path = folder + "/" + letter.name;
				AlyBFile(path.data());
			}
			batch_end();
			if (sSteps < cut)
				power_cut();
			return sSteps;
		});
		ASSERT_EQ(run.status, 0) << run.errors;
		ASSERT_TRUE(ext4.Remount()) << ext4.trouble();

		for (const auto& letter : letters) {
			std::string path = folder + "/" + letter.name;
			std::string now = read_file(path);
			bool converted = now != letter.before;
			EXPECT_TRUE(
					!converted || letter.after.empty() || now == letter.after)
					<< letter.name << ", cut " << cut << ": " << now.size()
					<< " bytes";
			// Undone, whatever was converted or left over goes.
			std::string left = path + "-BAK";
			std::string undo = converted ? path : left;
			if (converted || test::exists(left)) {
				testing::internal::CaptureStdout();
				testing::internal::CaptureStderr();
				undo_conversion(undo.data());
				testing::internal::GetCapturedStdout();
				testing::internal::GetCapturedStderr();
				EXPECT_TRUE(last_result.converted)
						<< letter.name << ", cut " << cut << ": "
						<< last_result.reason;
			}
			EXPECT_TRUE(read_file(path) == letter.before)
					<< letter.name << ", cut " << cut;
		}
		EXPECT_EQ(test::folder_entries(folder), names) << "cut " << cut;
		if (run.result < cut)
			break;
	}
}

} // namespace
