// One run per file at a time, and none on a file that another program
// holds: a second run, of any image, leaves a file alone that a first is at
// work on, and the first ends as if it had run alone; a file open for
// writing, or locked, in another program is left as it was.
#include "charmap/options.h"
#include "convert/batch.h"
#include "convert/convert.h"
#include "convert/result.h"
#include "convert/source_file.h"
#include "convert/undo.h"
#include "support/files.h"
#include "support/options.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>

#include <functional>

namespace {

using test::ChildOptions;
using test::Folder;
using test::read_file;
using test::write_file;

const std::string kOriginal = "K\xE4se\r\n";
const std::string kConverted = "Käse\n";
const char kOtherRun[] = "it is being converted by another Textwend run";

// Where the first run waits for the second: the step it has just done, and
// the how manieth time (1 for a.txt, 2 for b.txt).
int sPaused = -1; // written to when it waits
int sGo = -1;     // read from to go on
const char* sPauseAt = NULL;
int sPauseTime = 0;

void
pause_at(const char* step)
{
	if (strcmp(step, sPauseAt) != 0 || --sPauseTime != 0)
		return;
	char byte = 1;
	if (write(sPaused, &byte, 1) != 1 || read(sGo, &byte, 1) != 1)
		_exit(3);
}

// Runs call on path in a child with options, its standard error kept;
// fixed chooses the set as the images of a chosen set do.
test::ChildResult
second_run(void (*call)(char*), const std::string& path, int32_t fixed,
		const ChildOptions& options)
{
	return test::run_child(
			[call, path, fixed] {
				fix_set = fixed;
				std::string copy = path;
				call(copy.data());
				fprintf(stderr, "%s", last_result.reason.c_str());
				return 0;
			},
			options);
}

TEST(TwoRuns, ASecondRunLeavesAFileInWorkAlone)
{
	const struct {
		const char* what;
		const char* step; // where the first run waits
		int time;         // 1 in the conversion of a.txt, 2 in b.txt's
		unsigned refused;
		void (*second)(char*);
		const char* selected;
		int32_t fixed;
	} rows[] = {
			{"being read", "opened", 1, 0, AlyBFile, "a.txt", 0},
			{"being read, by another image", "opened", 1, 0, AlyBFile, "a.txt",
					5},
			{"its backup made, the backup converted", "backup", 1, 0, AlyBFile,
					"a.txt-BAK", 0},
			{"its backup made, undone", "backup", 1, 0, undo_conversion,
					"a.txt-BAK", 0},
			{"its backup made, undone by name", "backup", 1, 0, undo_conversion,
					"a.txt", 0},
			{"waiting in its batch", "opened", 2, 0, AlyBFile, "a.txt", 3},
			{"about to take the name", "checked", 1, test::kNoNameSwap,
					AlyBFile, "a.txt", 0},
			{"in the moment without a name", "aside", 1, test::kNoNameSwap,
					AlyBFile, "a.txt", 0},
			{"in the moment without a name, its backup undone", "aside", 1,
					test::kNoNameSwap, undo_conversion, "a.txt-BAK", 0},
	};
	for (const auto& row : rows) {
		Folder folder;
		write_file(folder / "a.txt", kOriginal);
		write_file(folder / "b.txt", kOriginal);
		int paused[2];
		int go[2];
		ASSERT_EQ(pipe(paused), 0);
		ASSERT_EQ(pipe(go), 0);
		ChildOptions options;
		options.refused = row.refused;
		test::Program first;
		std::string a = folder / "a.txt";
		std::string b = folder / "b.txt";
		ASSERT_TRUE(first.Start(
				[&] {
					sPaused = paused[1];
					sGo = go[0];
					sPauseAt = row.step;
					sPauseTime = row.time;
					replace_step_hook = pause_at;
					batch_begin();
					for (std::string path : {a, b})
						AlyBFile(path.data());
					batch_end();
					return 0;
				},
				options));
		struct pollfd waiting = {paused[0], POLLIN, 0};
		char byte = 0;
		ASSERT_TRUE(
				poll(&waiting, 1, 10000) == 1 && read(paused[0], &byte, 1) == 1)
				<< row.what << ": the first run did not reach " << row.step;

		auto second = second_run(
				row.second, folder / row.selected, row.fixed, options);
		EXPECT_EQ(write(go[1], &byte, 1), 1);
		auto ended = first.Finish();
		for (int fd : {paused[0], paused[1], go[0], go[1]})
			close(fd);

		EXPECT_EQ(second.errors, kOtherRun) << row.what;
		EXPECT_EQ(ended.status, 0) << row.what << ": " << ended.errors;
		for (const char* name : {"a.txt", "b.txt"}) {
			std::string path = folder / name;
			EXPECT_EQ(read_file(path), kConverted) << row.what << ", " << name;
			EXPECT_EQ(read_file(path + "-BAK"), kOriginal)
					<< row.what << ", " << name;
		}
		EXPECT_EQ(test::folder_entries(folder.path()),
				(std::vector<std::string> {
						"a.txt", "a.txt-BAK", "b.txt", "b.txt-BAK"}))
				<< row.what;
	}
}


// Another program's hold on the file, as a descriptor of this process: the
// host counts every opening alike.
struct Hold {
	const char* what;
	int flags;        // how it is opened
	short lockType;   // F_UNLCK for none
	bool undo;        // held while its conversion is undone
	const char* from; // the step at which it is taken; NULL: before
	std::string reason;
};

int sHeld = -1;
const Hold* sHold = NULL;
std::string sHeldPath;

void
take_hold(const Hold& hold, const std::string& path)
{
	sHeld = open(path.c_str(), hold.flags | O_CLOEXEC);
	ASSERT_GE(sHeld, 0) << strerror(errno);
	if (hold.lockType == F_UNLCK)
		return;
	struct flock lock = {};
	lock.l_type = hold.lockType;
	lock.l_whence = SEEK_SET;
	ASSERT_EQ(fcntl(sHeld, F_SETLK, &lock), 0) << strerror(errno);
}

TEST(OtherPrograms, AFileHeldByAnotherProgramIsLeftAlone)
{
	const std::string writing = "it is open for writing in another program";
	const std::string locked = "it is locked by another program";
	const Hold holds[] = {
			{"open for writing", O_WRONLY | O_APPEND, F_UNLCK, false, NULL,
					writing},
			{"opened for writing once read", O_WRONLY | O_APPEND, F_UNLCK,
					false, "backup", writing},
			{"locked for reading", O_RDONLY, F_RDLCK, false, NULL, locked},
			{"locked for reading once read", O_RDONLY, F_RDLCK, false,
					"written", locked},
			{"open for writing and locked", O_RDWR, F_WRLCK, false, NULL,
					writing + "; it is locked as well"},
			{"open for writing, undone", O_WRONLY | O_APPEND, F_UNLCK, true,
					NULL, writing},
			{"locked, undone", O_RDONLY, F_RDLCK, true, NULL, locked},
	};
	for (const Hold& hold : holds) {
		Folder folder;
		std::string path = folder / "a.txt";
		write_file(path, kOriginal);
		testing::internal::CaptureStdout();
		if (hold.undo)
			AlyBFile(path.data());
		auto before = test::folder_entries(folder.path());
		sHold = &hold;
		sHeldPath = path;
		if (hold.from == NULL)
			take_hold(hold, path);
		else
			replace_step_hook = [](const char* step) {
				if (strcmp(step, sHold->from) == 0)
					take_hold(*sHold, sHeldPath);
			};
		if (hold.undo)
			undo_conversion(path.data());
		else
			AlyBFile(path.data());
		testing::internal::GetCapturedStdout();
		replace_step_hook = NULL;
		close(sHeld);

		EXPECT_EQ(last_result.reason, hold.reason) << hold.what;
		EXPECT_EQ(read_file(path), hold.undo ? kConverted : kOriginal)
				<< hold.what;
		EXPECT_EQ(test::folder_entries(folder.path()), before) << hold.what;
	}
}

} // namespace
