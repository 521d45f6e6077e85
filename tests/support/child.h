// Children for tests: a piece of the system or a program run apart from the
// test, in a session of its own with no controlling terminal unless it is
// given one, no DISPLAY unless the test's own, standard input from
// /dev/null, both output streams kept, optionally as another user or with
// limits. Every wait has a time limit; a child that passes it is killed.
#ifndef TESTS_SUPPORT_CHILD_H
#define TESTS_SUPPORT_CHILD_H

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace test {

const uid_t kNobody = 65534;

// The exit status of a child that could not be set up as asked; its
// standard error says why.
const int kChildSetupFailed = 77;

// What some file systems cannot do, for ChildOptions::refused: trade two
// names in one step, make a file with no name, give a file a second name,
// take any flag of renameat2 (NFS, CIFS), keep extended attributes (FAT);
// and a disk with no room left for attributes (set or removed). Last, a
// file system that refuses every new name a file or folder is moved to,
// as FAT refuses names with its forbidden characters (" * : < > ? | \):
// a rename, and a second name made by path; an exchange of names and a
// second name of an open file still work.
enum : unsigned {
	kNoNameSwap = 1,
	kNoNamelessFiles = 2,
	kNoSecondNames = 4,
	kNoRenameFlags = 8,
	kNoAttributeRoom = 16,
	kNoAttributes = 32,
	kForbiddenNames = 64,
};

struct ChildOptions {
	// Runs as the unprivileged user kNobody (when the test runs as root),
	// member of this group as well when it is not 0.
	bool asNobody = false;
	gid_t alsoGroup = 0;
	rlim_t fileSizeLimit = RLIM_INFINITY;
	rlim_t addressSpaceLimit = RLIM_INFINITY;
	bool lastDescriptor = false; // the next open after one more fails
	rlim_t descriptorLimit = RLIM_INFINITY; // as "ulimit -n" sets it
	unsigned refused = 0; // the host refuses these, as some do
	// The folder it works in; the test's own when empty.
	std::string folder;
	int seconds = 60;
	bool keepDisplay = false;
	// Variables set in the child's environment; an empty value unsets one.
	std::vector<std::pair<std::string, std::string>> environment;
	// When set, the child gets a terminal as its controlling one, and this
	// is typed on it.
	const char* typed = NULL;
};

struct ChildResult {
	// The exit status, 128 plus the signal that ended the child, or -1 when
	// it could not be started.
	int status = -1;
	bool timedOut = false;
	int result = 0;     // what the body returned
	std::string output; // its standard output
	std::string errors; // its standard error
};

// Runs body in a forked child and keeps what it returned.
ChildResult run_child(
		const std::function<int()>& body, const ChildOptions& options = {});

// Runs body in a child that works in the folder of place, a file there.
ChildResult run_child(const std::string& place, const ChildOptions& options,
		const std::function<void()>& body);

// Runs arguments[0] with the given arguments; a program that cannot be
// started exits with 127.
ChildResult run_program(const std::vector<std::string>& arguments,
		const ChildOptions& options = {});
ChildResult run_program(
		const std::vector<std::string>& arguments, const std::string& folder);

// The lines of text, each split at its tabs.
std::vector<std::vector<std::string>> split_lines(const std::string& text);

// A program that runs while the test goes on.
class Program {
public:
	~Program();

	bool Start(const std::vector<std::string>& arguments,
			const ChildOptions& options = {});
	// Runs body instead of a program.
	bool Start(
			const std::function<int()>& body, const ChildOptions& options = {});
	pid_t
	Id() const
	{
		return fProcess;
	}
	// Waits for the end (at most options.seconds from the start) and
	// collects what the program wrote.
	ChildResult Finish();

private:
	pid_t fProcess = -1;
	int fOut = -1;
	int fErr = -1;
	int fResult = -1;
	int fTerminal = -1;
	std::chrono::steady_clock::time_point fDeadline;
};

} // namespace test

#endif // TESTS_SUPPORT_CHILD_H
