// People's files come first: whatever fails, the file is either converted
// whole or left as it was.
#include "charmap/options.h"
#include "convert/batch.h"
#include "convert/convert.h"
#include "convert/result.h"
#include "convert/source_file.h"
#include "convert/threads.h"
#include "convert/undo.h"
#include "support/files.h"
#include "support/options.h"

#include <gtest/gtest.h>

#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>

#include <functional>

namespace {

using test::ChildOptions;
using test::Folder;
using test::read_file;
using test::write_file;

test::ChildResult
convert_in_child(const Folder& folder, const std::string& path,
		const ChildOptions& options)
{
	return test::run_child(folder / "stdout", options, [path]() {
		std::string copy = path;
		AlyBFile(copy.data());
		fputs(last_result.reason.c_str(), stderr);
	});
}

// Permissions hold for root only once the child has given them up.
ChildOptions
as_user()
{
	ChildOptions options;
	options.asNobody = true;
	return options;
}

#define SKIP_IF_CHILD_FAILED(result)                                           \
	if ((result).status == test::kChildSetupFailed)                            \
	GTEST_SKIP() << "could not run the child as an unprivileged user: "        \
				 << (result).errors

TEST(Safety, ReadOnlySourceIsConverted)
{
	Folder folder(test::Reach::kChild);
	test::give_to_child(folder.path());
	std::string path = folder / "ro.txt";
	write_file(path, "K\xE4se\n", 0444);
	test::give_to_child(path);

	auto result = convert_in_child(folder, path, as_user());
	SKIP_IF_CHILD_FAILED(result);
	EXPECT_EQ(result.status, 0);
	EXPECT_EQ(read_file(path), "Käse\n");
	EXPECT_EQ(read_file(path + "-BAK"), "K\xE4se\n");
	EXPECT_EQ(test::mode_of(path) & 0777, 0444u);
}

// The converted file keeps the source's owner, group and access list, or the
// source is left as it was with the reason: never wider access than the
// source had.
TEST(Safety, OwnerGroupAndAccessAreKeptOrTheFileIsLeftAlone)
{
	if (getuid() != 0)
		GTEST_SKIP() << "needs root to give files to other owners";
	const gid_t kUsers = 100;
	const uid_t kRoot = 0;
	const struct {
		const char* what;
		uid_t owner;
		gid_t group;
		bool asNobody;
		gid_t alsoGroup; // of the user who converts
		unsigned refused;
		const char* list;   // the source's access list, or the folder's default
		std::string reason; // empty: converted, owner and group kept
	} rows[] = {
			{"root converts another's file", test::kNobody, kUsers, false, 0, 0,
					NULL, ""},
			{"the owner, in the file's group", test::kNobody, kUsers, true,
					kUsers, 0, NULL, ""},
			{"the owner, not in the file's group", test::kNobody, kUsers, true,
					0, 0, NULL,
					"belongs to group users: a converted file could not keep "
					"its group"},
			{"another user's file", kRoot, kUsers, true, kUsers, 0, NULL,
					"belongs to root: a converted file could not keep its "
					"owner"},
			{"an access list with no room for it", test::kNobody, kUsers, false,
					0, test::kNoAttributeRoom, "system.posix_acl_access",
					"its access list could not be kept: No space left on "
					"device"},
			{"the folder's default list, not to be taken off", test::kNobody,
					kUsers, false, 0, test::kNoAttributeRoom,
					"system.posix_acl_default",
					"the folder's access list could not be taken off it: No "
					"space left on device"},
	};
	for (const auto& row : rows) {
		Folder folder(test::Reach::kChild);
		test::give_to_child(folder.path());
		std::string path = folder / "a.txt";
		write_file(path, "K\xE4se\n", 0640);
		ASSERT_EQ(chown(path.c_str(), row.owner, row.group), 0);
		if (row.list != NULL) {
			bool onFolder = strstr(row.list, "default") != NULL;
			ASSERT_EQ(setxattr((onFolder ? folder.path() : path).c_str(),
							  row.list, test::kAccessList.data(),
							  test::kAccessList.size(), 0),
					0)
					<< strerror(errno);
		}
		mode_t mode = test::mode_of(path) & 07777;
		ChildOptions options;
		options.asNobody = row.asNobody;
		options.alsoGroup = row.alsoGroup;
		options.refused = row.refused;

		auto result = convert_in_child(folder, path, options);
		SKIP_IF_CHILD_FAILED(result);
		struct stat st;
		ASSERT_EQ(lstat(path.c_str(), &st), 0);
		EXPECT_EQ(result.errors, row.reason) << row.what;
		if (row.reason.empty()) {
			EXPECT_EQ(read_file(path), "Käse\n") << row.what;
			EXPECT_EQ(st.st_uid, row.owner) << row.what;
			EXPECT_EQ(st.st_gid, row.group) << row.what;
		} else {
			EXPECT_EQ(read_file(path), "K\xE4se\n") << row.what;
			EXPECT_EQ(test::folder_entries(folder.path()),
					(std::vector<std::string> {"a.txt"}))
					<< row.what;
		}
		EXPECT_EQ(st.st_mode & 07777, mode) << row.what;
	}
}

// A conversion gives the file's name a new file: its other names keep the
// original, and the person is told.
TEST(Safety, OtherNamesOfTheFileKeepTheOriginal)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");
	ASSERT_EQ(link(path.c_str(), (folder / "b.txt").c_str()), 0);

	auto result = convert_in_child(folder, path, {});
	EXPECT_EQ(read_file(path), "Käse\n");
	EXPECT_EQ(read_file(folder / "b.txt"), "K\xE4se\n");
	EXPECT_EQ(result.errors,
			"Textwend: '" + path
					+ "': its other name keeps the original text\n");
}

TEST(Safety, UnreadableSourceIsLeftAlone)
{
	Folder folder(test::Reach::kChild);
	test::give_to_child(folder.path());
	std::string path = folder / "secret.txt";
	write_file(path, "K\xE4se\n", 0);

	auto result = convert_in_child(folder, path, as_user());
	SKIP_IF_CHILD_FAILED(result);
	EXPECT_EQ(result.output, "\n\tBFile error");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	chmod(path.c_str(), 0600);
	EXPECT_EQ(read_file(path), "K\xE4se\n");
}

TEST(Safety, WhatIsNoRegularFileIsLeftAlone)
{
	Folder folder;
	std::string outside = folder / "outside";
	write_file(outside, "K\xE4se\n");
	const struct {
		const char* what;
		std::function<void(const std::string&)> make;
		const char* reason;
	} cases[] = {
			{"missing", [](const std::string&) {},
					"it cannot be read: No such file or directory"},
			{"folder", [](const std::string& p) { mkdir(p.c_str(), 0755); },
					"it is not a regular file"},
			{"pipe", [](const std::string& p) { mkfifo(p.c_str(), 0644); },
					"it is not a regular file"},
			{"link",
					[&](const std::string& p) {
						ASSERT_EQ(symlink(outside.c_str(), p.c_str()), 0);
					},
					"it is a symbolic link, not a file"},
	};
	for (const auto& c : cases) {
		std::string path = folder / c.what;
		c.make(path);
		testing::internal::CaptureStdout();
		AlyBFile(path.data());
		fflush(stdout);
		EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\tBFile error")
				<< c.what;
		EXPECT_EQ(last_result.reason, c.reason) << c.what;
		EXPECT_FALSE(test::exists(path + "-BAK")) << c.what;
	}
	EXPECT_EQ(read_file(outside), "K\xE4se\n");
	EXPECT_TRUE(S_ISLNK(test::mode_of(folder / "link")));
}

// Another program at work in the folder between the steps of writing. An
// original that has lost its name meanwhile keeps its backup's.
TEST(Safety, ChangedMeanwhileKeepsTheOtherProgramsVersion)
{
	const std::vector<std::string> kBackupKept = {"a.txt", "a.txt-BAK"};
	static std::function<void(const char*)> neighbour;
	replace_step_hook = [](const char* step) { neighbour(step); };
	const struct {
		const char* what;
		const char* step;
		int32_t mode;
		std::function<void(const std::string& path)> act;
		std::vector<std::string> left;
	} cases[] = {
			{"link to a file elsewhere", "backup", 0,
					[](const std::string& path) {
						unlink(path.c_str());
						symlink("../outside", path.c_str());
					},
					kBackupKept},
			{"saved in place", "written", 0,
					[](const std::string& path) {
						write_file(path, "saved\n");
					},
					{"a.txt"}},
			{"saved as a new file", "backup", 0,
					[](const std::string& path) {
						write_file(path + ".new", "saved\n");
						rename((path + ".new").c_str(), path.c_str());
					},
					kBackupKept},
			{"saved as a new file after the check", "checked", 0,
					[](const std::string& path) {
						write_file(path + ".new", "saved\n");
						rename((path + ".new").c_str(), path.c_str());
					},
					kBackupKept},
			{"removed", "written", 0,
					[](const std::string& path) { unlink(path.c_str()); }, {}},
			{"saved beside the source's second mode", "written", 1,
					[](const std::string& path) {
						write_file(path, "saved\n");
					},
					{"a.txt"}},
	};
	for (const auto& c : cases) {
		Folder folder;
		write_file(folder / "outside", "not to be touched\n");
		std::string inside = folder / "in";
		mkdir(inside.c_str(), 0755);
		std::string path = inside + "/a.txt";
		write_file(path, "K\xE4se\n");
		std::string after;
		neighbour = [&](const char* step) {
			if (strcmp(step, c.step) == 0) {
				c.act(path);
				after = test::read_file(path);
			}
		};
		test::OptionScope mode(r_modus, c.mode);

		testing::internal::CaptureStdout();
		AlyBFile(path.data());
		fflush(stdout);
		testing::internal::GetCapturedStdout();

		EXPECT_EQ(read_file(path), after) << c.what;
		EXPECT_EQ(read_file(folder / "outside"), "not to be touched\n")
				<< c.what;
		EXPECT_EQ(test::folder_entries(inside), c.left) << c.what;
		EXPECT_EQ(last_result.reason,
				"it was changed by another program while being converted"
						+ std::string(c.left.size() == 2
										? "; the original is also kept as "
										  "a.txt-BAK"
										: ""))
				<< c.what;
	}
	replace_step_hook = NULL;
}

// The backup taken away by another program in the instant before the
// exchange: the original, which the exchange gives its hidden name, takes
// the backup's name again rather than going with the hidden one.
TEST(Safety, ABackupTakenAwayMeanwhileIsMadeAgain)
{
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");
	static std::string backup;
	backup = path + "-BAK";
	replace_step_hook = [](const char* step) {
		if (strcmp(step, "checked") == 0)
			unlink(backup.c_str());
	};
	testing::internal::CaptureStdout();
	AlyBFile(path.data());
	testing::internal::GetCapturedStdout();
	replace_step_hook = NULL;

	EXPECT_TRUE(last_result.converted) << last_result.reason;
	EXPECT_EQ(read_file(path), "Käse\n");
	EXPECT_EQ(read_file(backup), "K\xE4se\n");
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {"a.txt", "a.txt-BAK"}));
}

// A runner who may not give the converted file its owner leaves no backup
// name behind: in a folder with the sticky bit it could not take one back.
TEST(Safety, AnotherOwnersFileInAStickyFolderGetsNoBackupName)
{
	if (getuid() != 0)
		GTEST_SKIP() << "needs root to give the file to another owner";
	Folder folder(test::Reach::kChild);
	ASSERT_EQ(chmod(folder.path().c_str(), 01777), 0);
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n", 0666);

	auto result = convert_in_child(folder, path, as_user());
	SKIP_IF_CHILD_FAILED(result);
	EXPECT_EQ(result.errors,
			"belongs to root: a converted file could not keep its owner");
	EXPECT_EQ(read_file(path), "K\xE4se\n");
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {"a.txt"}));
}

// A file marked to keep its name is named for its mark before anything is
// copied, converted or undone.
TEST(Safety, AFileMarkedToKeepItsNameIsNamedForIt)
{
	const struct {
		const char* what;
		int flag;
		bool undo;
		const char* reason;
	} rows[] = {
			{"immutable", FS_IMMUTABLE_FL, false,
					"it is marked immutable (chattr +i), so it cannot be "
					"replaced"},
			{"append-only", FS_APPEND_FL, false,
					"it is marked append-only (chattr +a), so it cannot be "
					"replaced"},
			{"immutable, undone", FS_IMMUTABLE_FL, true,
					"it is marked immutable (chattr +i), so it cannot be "
					"replaced"},
	};
	for (const auto& row : rows) {
		Folder folder;
		std::string path = folder / "a.txt";
		write_file(path, "K\xE4se\n");
		testing::internal::CaptureStdout();
		if (row.undo)
			AlyBFile(path.data());
		auto before = test::folder_entries(folder.path());
		std::string text = read_file(path);
		int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
		int flags = 0;
		bool marked = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
				&& (flags |= row.flag, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
		int error = errno;
		if (marked) {
			if (row.undo)
				undo_conversion(path.data());
			else
				AlyBFile(path.data());
			flags &= ~row.flag;
			ioctl(fd, FS_IOC_SETFLAGS, &flags);
		}
		close(fd);
		testing::internal::GetCapturedStdout();
		if (!marked)
			GTEST_SKIP() << "cannot mark a file " << row.what << ": "
						 << strerror(error);
		EXPECT_EQ(last_result.reason, row.reason) << row.what;
		EXPECT_EQ(read_file(path), text) << row.what;
		EXPECT_EQ(test::folder_entries(folder.path()), before) << row.what;
	}
}

// Every attribute of the person's comes along byte for byte, or the file is
// left as it was: so does the stamp of the conversion.
TEST(Safety, AnAttributeWithoutRoomLeavesTheFileAlone)
{
	const struct {
		const char* attribute; // the file's own, or none
		const char* reason;
	} rows[] = {
			{"user.xdg.origin.url",
					"its attribute 'user.xdg.origin.url' could not be kept: "
					"No space left on device"},
			{NULL,
					"its stamp of the conversion could not be written: No "
					"space left on device"},
	};
	for (const auto& row : rows) {
		Folder folder;
		ASSERT_FOLDER_HAS_XATTRS(folder);
		std::string path = folder / "a.txt";
		write_file(path, "K\xE4se\n");
		if (row.attribute != NULL) {
			ASSERT_EQ(setxattr(path.c_str(), row.attribute, "https://x", 9, 0),
					0);
		}
		ChildOptions options;
		options.refused = test::kNoAttributeRoom;

		auto result = convert_in_child(folder, path, options);
		EXPECT_EQ(result.errors, row.reason);
		EXPECT_EQ(read_file(path), "K\xE4se\n");
		EXPECT_EQ(test::folder_entries(folder.path()),
				(std::vector<std::string> {"a.txt"}));
	}
}

// Cut short or added to by another program after it was opened: left as it
// was, and the person is told which.
TEST(Safety, AFileChangedWhileReadIsNamedForWhatHappened)
{
	static const char* sAct;
	static std::string sPath;
	const struct {
		const char* act;
		const char* reason;
	} rows[] = {
			{"cut", "it was cut short by another program while being read"},
			{"grown",
					"it grew while being read: another program is writing to "
					"it"},
	};
	for (const auto& row : rows) {
		Folder folder;
		sPath = folder / "a.txt";
		sAct = row.act;
		write_file(sPath, "K\xE4se und Br\xF6tchen\n");
		replace_step_hook = [](const char* step) {
			if (strcmp(step, "opened") != 0)
				return;
			if (strcmp(sAct, "cut") == 0)
				truncate(sPath.c_str(), 2);
			else
				std::ofstream(sPath, std::ios::app) << "und mehr\n";
		};
		testing::internal::CaptureStdout();
		AlyBFile(sPath.data());
		testing::internal::GetCapturedStdout();
		replace_step_hook = NULL;
		EXPECT_EQ(last_result.reason, row.reason) << row.act;
		EXPECT_EQ(test::folder_entries(folder.path()),
				(std::vector<std::string> {"a.txt"}))
				<< row.act;
	}
}

TEST(Safety, FolderThatCannotBeWrittenLeavesTheFileAlone)
{
	Folder folder(test::Reach::kChild);
	std::string path = folder / "locked.txt";
	write_file(path, "K\xE4se\n", 0644);
	test::give_to_child(path);
	chmod(folder.path().c_str(), 0555); // nobody may add a name in here

	auto result = convert_in_child(folder, path, as_user());
	chmod(folder.path().c_str(), 0755);
	SKIP_IF_CHILD_FAILED(result);
	EXPECT_EQ(read_file(path), "K\xE4se\n");
	EXPECT_EQ(result.errors, "the folder cannot be written: Permission denied");
	EXPECT_EQ(result.output, "\t\n No Target access !\n");
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {"locked.txt"}));
}

TEST(Safety, FailedWriteRestoresTheSource)
{
	// Written piece by piece here, and by a thread of its own when large.
	for (int lines : {20000, 200000}) {
		Folder folder;
		std::string path = folder / "big.txt";
		std::string text;
		for (int i = 0; i < lines; i++)
			text += "Gr\x81\xE1"
					"e aus K\x94ln\r\n";
		write_file(path, text, 0640);

		ChildOptions options;
		options.fileSizeLimit = 64 * 1024;
		auto result = convert_in_child(folder, path, options);
		EXPECT_EQ(result.status, 0) << lines;
		EXPECT_EQ(read_file(path), text) << lines;
		EXPECT_EQ(test::folder_entries(folder.path()),
				(std::vector<std::string> {"big.txt"}))
				<< lines;
		EXPECT_EQ(test::mode_of(path) & 0777, 0640u) << lines;
		EXPECT_EQ(
				result.errors, "the new text cannot be written: File too large")
				<< lines;
	}
}

TEST(Safety, TargetThatCannotBeCreatedRestoresTheSource)
{
#if defined(__SANITIZE_ADDRESS__)
	GTEST_SKIP() << "the sanitizers' own checks need descriptors of their own";
#endif
	Folder folder;
	std::string path = folder / "a.txt";
	write_file(path, "K\xE4se\n");

	// The folder and the file open; the next descriptor is refused.
	auto result = test::run_child(folder / "stdout", {}, [path]() {
		int first = dup(STDIN_FILENO);
		int second = dup(STDIN_FILENO);
		close(first);
		close(second);
		struct rlimit limit;
		limit.rlim_cur = limit.rlim_max = (rlim_t)second + 1;
		setrlimit(RLIMIT_NOFILE, &limit);
		std::string copy = path;
		AlyBFile(copy.data());
		fputs(last_result.reason.c_str(), stderr);
	});
	EXPECT_EQ(result.status, 0);
	EXPECT_EQ(read_file(path), "K\xE4se\n");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	EXPECT_EQ(result.output, "\t\n No Target access !\n");
	EXPECT_EQ(
			result.errors, "the new file cannot be made: Too many open files");
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(Safety, FileBeyondMemoryIsNeverCut)
{
	Folder folder;
	std::string path = folder / "huge.txt";
	std::string text(256 * 1024 * 1024, 'a');
	text[100] = '\xE4';
	write_file(path, text);
	text.clear();
	text.shrink_to_fit();

	ChildOptions options;
	options.addressSpaceLimit = 192 * 1024 * 1024;
	auto result = convert_in_child(folder, path, options);
	EXPECT_EQ(result.status, 0);
	EXPECT_EQ(result.errors, "there is no memory for its 268435456 bytes");
	EXPECT_EQ(result.output, "");
	EXPECT_FALSE(test::exists(path + "-BAK"));
	struct stat st;
	ASSERT_EQ(stat(path.c_str(), &st), 0);
	EXPECT_EQ(st.st_size, 256 * 1024 * 1024);
}
#endif

// While it is scanned, or while it is written, on one thread or several.
TEST(Safety, FileCutShortWhileConvertedIsNoCrash)
{
	const struct {
		const char* step;
		int threads;
		const char* reason;
	} cases[] = {
			{"mapped", 1,
					"it was cut short by another program while being read"},
			{"mapped", 3,
					"it was cut short by another program while being read"},
			{"read", 1,
					"it was changed by another program while being converted"},
			{"read", 3,
					"it was changed by another program while being converted"},
	};
	for (const auto& c : cases) {
		Folder folder;
		static std::string path;
		static const char* cutAt;
		path = folder / "cut.txt";
		cutAt = c.step;
		write_file(path, std::string(1024 * 1024, 'a') + "\x84\r\n");
		test::OptionScope plan(
				forced_plan, {c.threads, c.threads > 1 ? size_t(4093) : 0});

		auto result = test::run_child(folder / "stdout", {}, []() {
			replace_step_hook = [](const char* step) {
				if (strcmp(step, cutAt) == 0)
					truncate(path.c_str(), 0);
			};
			AlyBFile(path.data());
			fputs(last_result.reason.c_str(), stderr);
		});
		std::string what = std::string(c.step) + ", "
				+ std::to_string(c.threads) + " threads";
		EXPECT_EQ(result.status, 0) << what;
		EXPECT_EQ(result.errors, c.reason) << what;
		EXPECT_EQ(read_file(path), "") << what;
		EXPECT_EQ(test::folder_entries(folder.path()),
				(std::vector<std::string> {"cut.txt"}))
				<< what;
	}
}

// The size of the file that pid writes in folder, its new file, or -1.
off_t
size_being_written(pid_t pid, const std::string& folder)
{
	std::string fds = "/proc/" + std::to_string(pid) + "/fd";
	for (const std::string& fd : test::folder_entries(fds)) {
		std::string link = fds + "/" + fd;
		char target[4096];
		ssize_t length = readlink(link.c_str(), target, sizeof(target) - 1);
		if (length <= 0)
			continue;
		target[length] = '\0';
		std::string name(target);
		bool known = name == folder + "/big.txt" || name == folder + "/stdout";
		struct stat st;
		if (name.rfind(folder + "/", 0) == 0 && !known
				&& stat(link.c_str(), &st) == 0 && S_ISREG(st.st_mode))
			return st.st_size;
	}
	return -1;
}

TEST(Safety, KilledWhileWritingLeavesTheSourceIntact)
{
	Folder folder;
	std::string path = folder / "big.txt";
	const std::string line = "Gr\x81\xE1"
							 "e aus K\x94ln\r\n";
	std::string piece;
	while (piece.size() < 1024 * 1024)
		piece += line;
	const int pieces = 256;
	{
		std::ofstream out(path, std::ios::binary);
		for (int i = 0; i < pieces; i++)
			out << piece;
	}
	struct stat before;
	ASSERT_EQ(stat(path.c_str(), &before), 0);

	test::Program program;
	ASSERT_TRUE(program.Start([path]() {
		std::string copy = path;
		AlyBFile(copy.data());
		return 0;
	}));
	pid_t pid = program.Id();
	// Once a few MiB of the new text are written, the process dies.
	off_t seen = -1;
	for (int i = 0; i < 60000 && seen < 4 * 1024 * 1024; i++) {
		seen = size_being_written(pid, folder.path());
		usleep(500);
	}
	kill(pid, SIGKILL);
	ASSERT_EQ(program.Finish().status, 128 + SIGKILL)
			<< "the conversion ended before the kill";

	struct stat after;
	ASSERT_EQ(stat(path.c_str(), &after), 0);
	EXPECT_TRUE(same_version(before, after));
	std::ifstream in(path, std::ios::binary);
	std::string back(piece.size(), '\0');
	int intact = 0;
	while (in.read(back.data(), back.size()) && back == piece)
		intact++;
	EXPECT_EQ(intact, pieces);
	EXPECT_EQ(test::folder_entries(folder.path()),
			(std::vector<std::string> {"big.txt"}));
}

// Attribute values and names are anyone's bytes: on a terminal, escape
// sequences among them could retitle or clear it. Anywhere else standard
// output is the record, byte for byte.
TEST(Safety, WhatReachesATerminalIsEscaped)
{
	const std::string value = "title\x1B]0;owned\x07 and \x0C\xC2\x9B";
	const std::string name = "a\x1B]0;owned\x07\\.txt";
	const std::string shownName = "a\\x1B]0;owned\\x07\\\\.txt";
	const struct {
		const char* what;
		bool terminal;
		bool convert; // a file of that name, else the value echoed
		bool batch;   // its words held back until the batch's end
		std::string shown;
	} cases[] = {
			{"a value, on a terminal", true, false, false,
					"title\\e]0;owned\\x07 and \\x0C\\xC2\\x9B"},
			{"a value, into a pipe", false, false, false, value},
			{"a name, on a terminal", true, true, false, shownName},
			{"a name, on a terminal, in a batch", true, true, true, shownName},
			{"a name, into a pipe", false, true, false, name},
			{"a name, into a pipe, in a batch", false, true, true, name},
	};
	for (const auto& c : cases) {
		Folder folder;
		std::string path = folder / name;
		write_file(path, "K\xE4se\n");
		int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
		ASSERT_TRUE(
				master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
		std::string terminal = ptsname(master);
		auto result = test::run_child([&] {
			int own = open(terminal.c_str(), O_RDWR | O_NOCTTY);
			if (c.terminal && (own < 0 || dup2(own, STDOUT_FILENO) < 0))
				return 1;
			if (c.batch)
				batch_begin();
			if (c.convert)
				AlyBFile(path.data());
			else
				echo_values(value);
			if (c.batch)
				batch_end();
			fflush(stdout);
			return 0;
		});
		EXPECT_EQ(result.result, 0) << c.what;
		std::string shown = result.output;
		struct pollfd ready = {master, POLLIN, 0};
		char buffer[256];
		while (c.terminal && poll(&ready, 1, 1000) > 0) {
			ssize_t got = read(master, buffer, sizeof(buffer));
			if (got <= 0)
				break;
			shown.append(buffer, got);
		}
		close(master);
		// A terminal ends its lines with CR LF.
		shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
		std::string expected = c.shown;
		if (c.convert)
			expected = "\t\n rename: '" + folder.path() + "/" + c.shown
					+ "' \n \t to: '" + folder.path() + "/" + c.shown
					+ "-BAK'\n\n\n";
		EXPECT_EQ(shown, expected) << c.what;
	}
}

TEST(Safety, PathsLongerThanAnyFixedBuffer)
{
	Folder folder;
	std::string path = folder.path();
	while (path.size() < 1500) {
		path += "/" + std::string(200, 'd');
		ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
	}
	path += "/" + std::string(250, 'f');
	write_file(path, "\x84\r\n");
	testing::internal::CaptureStdout();
	AlyBFile(path.data());
	fflush(stdout);
	std::string output = testing::internal::GetCapturedStdout();
	EXPECT_EQ(read_file(path), "ä\n");
	EXPECT_EQ(read_file(path + "-BAK"), "\x84\r\n");
	EXPECT_NE(output.find(path + "-BAK'"), std::string::npos);
}

} // namespace
