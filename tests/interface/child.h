/*
 * Runs a piece of the system apart from the test: in a child process of its
 * own session, so without a controlling terminal unless it is given one,
 * with no DISPLAY unless the test's own, standard input from /dev/null, and
 * both output streams kept. Every wait has a time limit; a child that
 * passes it is killed.
 */
#ifndef TESTS_INTERFACE_CHILD_H
#define TESTS_INTERFACE_CHILD_H

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct ChildRun {
	// The exit status, 128 plus the signal that ended the child, or -1
	// when it could not be started.
	int status = -1;
	bool timedOut = false;
	// What the body returned.
	int result = 0;
	std::string out;
	std::string err;
};

struct ChildOptions {
	int seconds = 20;
	bool keepDisplay = false;
	// When set, the child gets a terminal as its controlling one, and
	// this is typed on it.
	const char* typed = NULL;
};

// Runs body in a forked child and returns what it returned.
ChildRun run_detached(
		const std::function<int()>& body, const ChildOptions& options = {});

// A program running in a session of its own.
class Program {
public:
	~Program();

	bool Start(const std::vector<std::string>& arguments,
			const ChildOptions& options = {});
	// Waits for the end (at most options.seconds from the start) and
	// collects what the program wrote.
	ChildRun Finish();

private:
	pid_t fProcess = -1;
	int fOut = -1;
	int fErr = -1;
	std::chrono::steady_clock::time_point fDeadline;
};

#endif // TESTS_INTERFACE_CHILD_H
