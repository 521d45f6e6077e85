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

#include <signal.h>
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

const unsigned kNetwork = test::kNoRenameFlags | test::kNoNamelessFiles;

// The file systems as the host answers for them.
const Kind kKinds[] = {
		{"as it is", 0, true},
		{"no exchange of names", test::kNoNameSwap, true},
		{"no nameless files", test::kNoNamelessFiles, true},
		{"NFS, CIFS", kNetwork, true},
		{"no second names either (exFAT)", kNetwork | test::kNoSecondNames,
				true},
		{"FAT", kNetwork | test::kNoSecondNames | test::kNoAttributes, false},
		{"vfat since Linux 6.0: an exchange, but no second names",
				test::kNoNamelessFiles | test::kNoSecondNames
						| test::kNoAttributes,
				false},
};

TEST(FileSystems, EveryKindEndsWithTheSameFolder)
{
	for (const Kind& kind : kKinds) {
		Folder folder;
		ends_the_same(kind, folder.path());
	}
}


// Another program saves by writing a new file and renaming it over the
// name, in the instant before the name is set aside or in the moment
// without it, where the host trades no names: its version keeps the name,
// and the original its backup.
TEST(FileSystems, ASaveWhileTheNameIsTakenKeepsTheName)
{
	static std::string sPath;
	static const char* sSaveAt;
	const char* converting
			= "it was changed by another program while being converted";
	const char* undoing = "it was changed by another program while being "
						  "undone";
	const struct {
		const char* step;
		void (*call)(char*);
		const char* reason; // after the neighbour's
	} saves[] = {
			{"checked", AlyBFile, "; the original is also kept as a.txt-BAK"},
			{"aside", AlyBFile, "; the original is kept as a.txt-BAK"},
			{"checked", undo_conversion, ""},
			{"aside", undo_conversion,
					"; another program's version now has the name"},
	};
	for (const Kind& kind : kKinds) {
		for (const auto& save : saves) {
			bool undo = save.call == undo_conversion;
			if ((kind.refused & (test::kNoNameSwap | test::kNoRenameFlags)) == 0
					|| (undo && !kind.attributes))
				continue;
			Folder folder;
			sPath = folder / "a.txt";
			sSaveAt = save.step;
			write_file(sPath, kBefore);
			ChildOptions options;
			options.refused = kind.refused;
			if (undo)
				in_child(AlyBFile, sPath, options);
			auto run = test::run_child(
					[&] {
						replace_step_hook = [](const char* step) {
							if (strcmp(step, sSaveAt) != 0)
								return;
							write_file(sPath + ".new", "saved\n");
							rename((sPath + ".new").c_str(), sPath.c_str());
						};
						std::string copy = sPath;
						save.call(copy.data());
						fputs(last_result.reason.c_str(), stderr);
						return 0;
					},
					options);
			std::string what = std::string(kind.what) + ", "
					+ (undo ? "undone" : "converted") + " at " + save.step;
			EXPECT_EQ(run.errors,
					std::string(undo ? undoing : converting) + save.reason)
					<< what;
			EXPECT_EQ(read_file(sPath), "saved\n") << what;
			EXPECT_EQ(read_file(sPath + "-BAK"), kBefore) << what;
			EXPECT_EQ(test::folder_entries(folder.path()),
					(std::vector<std::string> {"a.txt", "a.txt-BAK"}))
					<< what;
		}
	}
}


// A run killed at any of its steps, on any kind of file system, and then
// the next run of the same file: the name holds what it would after that
// run alone, the original is under the name or a backup's, and nothing
// else is left beside them. A name missing in the moment a run cut off had
// set it aside is put back by whichever run comes next.
TEST(FileSystems, AKillAtAnyStepIsMadeGoodByTheNextRun)
{
	static int sKillAt;
	const struct {
		const char* what;
		void (*killed)(char*);
		void (*next)(char*);
		bool backupNext; // the next run selects the backup, where there is one
		std::string after;
	} runs[] = {
			{"conversion, converted again", AlyBFile, AlyBFile, false, kAfter},
			{"conversion, undone by its backup", AlyBFile, undo_conversion,
					true, kBefore},
			{"undo, undone again", undo_conversion, undo_conversion, false,
					kBefore},
	};
	for (const Kind& kind : kKinds) {
		for (const auto& run : runs) {
			if (run.next == undo_conversion && !kind.attributes)
				continue;
			for (int kill = 1;; kill++) {
				Folder folder;
				std::string path = folder / "a.txt";
				write_file(path, kBefore);
				ChildOptions options;
				options.refused = kind.refused;
				if (run.killed == undo_conversion)
					in_child(AlyBFile, path, options);
				sKillAt = kill;
				auto killed = test::run_child(
						[&] {
							replace_step_hook = [](const char*) {
								if (--sKillAt == 0)
									raise(SIGKILL);
							};
							std::string copy = path;
							run.killed(copy.data());
							return 0;
						},
						options);
				std::string what = std::string(kind.what) + ", " + run.what
						+ ", killed at step " + std::to_string(kill);
				if (!test::exists(path) && run.next == AlyBFile) {
					// Only the backup is to be seen then: converting it
					// puts the name back and converts nothing.
					auto backup = in_child(AlyBFile, path + "-BAK", options);
					EXPECT_EQ(
							backup.errors.substr(backup.errors.rfind('\n') + 1),
							"it is the backup of a.txt, which a run cut off "
							"had "
							"set aside, and which is back under its name")
							<< what;
				}
				std::string next = run.backupNext && test::exists(path + "-BAK")
						? path + "-BAK"
						: path;
				auto again = in_child(run.next, next, options);
				EXPECT_EQ(again.status, 0) << what;
				EXPECT_EQ(read_file(path), run.after)
						<< what << ": " << again.errors;
				// Beside the name only backups, one of them the original
				// unless the name holds it; a second conversion's backup
				// holds the first's text.
				bool original = read_file(path) == kBefore;
				for (const std::string& name :
						test::folder_entries(folder.path())) {
					std::string text = read_file(folder / name);
					original = original || text == kBefore;
					EXPECT_TRUE(name == "a.txt"
							|| (name.rfind("a.txt-BAK", 0) == 0
									&& (text == kBefore
											|| (text == kAfter
													&& run.after == kAfter))))
							<< what << ": " << name << " is left";
				}
				EXPECT_TRUE(original) << what;
				if (killed.status != 128 + SIGKILL)
					break;
			}
		}
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
// asks for at that instant would, unless the cut comes right after the
// batch has told what it did: that must be on the disk by itself.
#ifndef EXT4_IOC_SHUTDOWN
#define EXT4_IOC_SHUTDOWN _IOR('X', 125, uint32_t)
#endif
const uint32_t kGoingNoLogFlush = 2;

std::string sMountPath;
int sCutAt = 0;
int sSteps = 0;

void
power_cut(bool commitFirst)
{
	std::string marker = sMountPath + "/commit";
	int fd = commitFirst
			? open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)
			: -1;
	int root = open(sMountPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	uint32_t flags = kGoingNoLogFlush;
	if ((commitFirst && (fd < 0 || fsync(fd) != 0)) || root < 0
			|| ioctl(root, EXT4_IOC_SHUTDOWN, &flags) != 0)
		abort();
	if (fd >= 0)
		close(fd);
	close(root);
}

void
count_step(const char*)
{
	if (++sSteps == sCutAt)
		power_cut(true);
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
		std::string after;   // empty: not looked at, undo checks it
		std::string renamed; // the name in UTF-8 it takes, if any
	} letters[] = {
			{"large.txt", large, "", ""},
			{"a.txt",
					"Gr\x81\xE1"
					"e\r\n",
					"Grüße\n", ""},
			{"b.txt", kBefore, kAfter, ""},
			{"c\xE4.txt", kBefore, kAfter, "cä.txt"},
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
				power_cut(false);
			return sSteps;
		});
		ASSERT_EQ(run.status, 0) << run.errors;
		ASSERT_TRUE(ext4.Remount()) << ext4.trouble();

		for (const auto& letter : letters) {
			std::string path = folder + "/" + letter.name;
			// Renamed, or cut off before its new name: converted either way.
			std::string renamed = folder + "/" + letter.renamed;
			bool hasNewName = !letter.renamed.empty() && test::exists(renamed);
			std::string now = read_file(hasNewName ? renamed : path);
			bool converted = now != letter.before;
			EXPECT_TRUE(
					!converted || letter.after.empty() || now == letter.after)
					<< letter.name << ", cut " << cut << ": " << now.size()
					<< " bytes";
			// Told "converted" before the cut, it stays converted.
			EXPECT_TRUE(converted || run.result >= cut)
					<< letter.name << ": the original is back after the batch";
			// Undone, whatever was converted or left over goes.
			std::string left = path + "-BAK";
			std::string undo = hasNewName ? renamed : converted ? path : left;
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
