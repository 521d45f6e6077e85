#include "child.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;


namespace {

int
milliseconds_until(std::chrono::steady_clock::time_point deadline)
{
	auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
			deadline - std::chrono::steady_clock::now());
	return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}


// Reads the child's streams until they end and waits for the child; kills
// it once the deadline passes.
ChildRun
collect(pid_t child, int out, int err, int result,
		std::chrono::steady_clock::time_point deadline)
{
	ChildRun run;
	std::string resultBytes;
	struct pollfd streams[3]
			= {{out, POLLIN, 0}, {err, POLLIN, 0}, {result, POLLIN, 0}};
	std::string* texts[3] = {&run.out, &run.err, &resultBytes};
	int open = result >= 0 ? 3 : 2;
	while (open > 0 && !run.timedOut) {
		int ready = poll(streams, 3, milliseconds_until(deadline));
		if (ready < 0 && errno == EINTR)
			continue;
		if (ready <= 0) {
			run.timedOut = true;
			break;
		}
		for (int i = 0; i < 3; i++) {
			if (streams[i].fd < 0 || streams[i].revents == 0)
				continue;
			char buffer[4096];
			ssize_t count = read(streams[i].fd, buffer, sizeof(buffer));
			if (count > 0)
				texts[i]->append(buffer, count);
			else if (count == 0 || errno != EINTR) {
				streams[i].fd = -1;
				open--;
			}
		}
	}

	int status = 0;
	bool ended = false;
	while (!ended) {
		pid_t waited = waitpid(child, &status, WNOHANG);
		if (waited == child)
			ended = true;
		else if (waited < 0 && errno != EINTR)
			break;
		else if (run.timedOut || milliseconds_until(deadline) == 0) {
			run.timedOut = true;
			kill(child, SIGKILL);
			waitpid(child, &status, 0);
			ended = true;
		} else
			std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	if (ended && WIFEXITED(status))
		run.status = WEXITSTATUS(status);
	else if (ended && WIFSIGNALED(status))
		run.status = 128 + WTERMSIG(status);
	if (resultBytes.size() == sizeof(run.result))
		memcpy(&run.result, resultBytes.data(), sizeof(run.result));
	return run;
}


std::vector<char*>
child_environment(bool keepDisplay)
{
	std::vector<char*> environment;
	for (char** variable = environ; *variable != NULL; variable++) {
		if (!keepDisplay && strncmp(*variable, "DISPLAY=", 8) == 0)
			continue;
		environment.push_back(*variable);
	}
	environment.push_back(NULL);
	return environment;
}

} // namespace


ChildRun
run_detached(const std::function<int()>& body, const ChildOptions& options)
{
	auto deadline = std::chrono::steady_clock::now()
			+ std::chrono::seconds(options.seconds);
	int out[2];
	int err[2];
	int result[2];
	if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0
			|| pipe2(result, O_CLOEXEC) != 0)
		return ChildRun();

	int terminal = -1;
	const char* terminalName = NULL;
	if (options.typed != NULL) {
		terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
		if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0)
			return ChildRun();
		terminalName = ptsname(terminal);
	}

	fflush(NULL);
	pid_t child = fork();
	if (child == 0) {
		setsid();
		if (terminalName != NULL) {
			int own = open(terminalName, O_RDWR);
			if (own < 0 || ioctl(own, TIOCSCTTY, 0) != 0)
				_exit(126);
		}
		int nothing = open("/dev/null", O_RDONLY);
		dup2(nothing, STDIN_FILENO);
		dup2(out[1], STDOUT_FILENO);
		dup2(err[1], STDERR_FILENO);
		if (!options.keepDisplay)
			unsetenv("DISPLAY");
		int value = body();
		fflush(NULL);
		ssize_t written = write(result[1], &value, sizeof(value));
		_exit(written == sizeof(value) ? 0 : 125);
	}
	close(out[1]);
	close(err[1]);
	close(result[1]);
	if (child < 0) {
		close(out[0]);
		close(err[0]);
		close(result[0]);
		if (terminal >= 0)
			close(terminal);
		return ChildRun();
	}

	if (terminal >= 0) {
		ssize_t written = write(terminal, options.typed, strlen(options.typed));
		(void)written;
	}
	ChildRun run = collect(child, out[0], err[0], result[0], deadline);
	close(out[0]);
	close(err[0]);
	close(result[0]);
	if (terminal >= 0)
		close(terminal);
	return run;
}


Program::~Program()
{
	if (fProcess > 0) {
		kill(fProcess, SIGKILL);
		waitpid(fProcess, NULL, 0);
	}
	if (fOut >= 0)
		close(fOut);
	if (fErr >= 0)
		close(fErr);
}


bool
Program::Start(
		const std::vector<std::string>& arguments, const ChildOptions& options)
{
	fDeadline = std::chrono::steady_clock::now()
			+ std::chrono::seconds(options.seconds);
	int out[2];
	int err[2];
	if (pipe2(out, O_CLOEXEC) != 0)
		return false;
	if (pipe2(err, O_CLOEXEC) != 0) {
		close(out[0]);
		close(out[1]);
		return false;
	}

	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(
			&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
	posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
	posix_spawnattr_t attributes;
	posix_spawnattr_init(&attributes);
	posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

	std::vector<char*> argv;
	for (const std::string& argument : arguments)
		argv.push_back(const_cast<char*>(argument.c_str()));
	argv.push_back(NULL);
	std::vector<char*> environment = child_environment(options.keepDisplay);

	int error = posix_spawn(&fProcess, argv[0], &actions, &attributes,
			argv.data(), environment.data());
	posix_spawn_file_actions_destroy(&actions);
	posix_spawnattr_destroy(&attributes);
	close(out[1]);
	close(err[1]);
	fOut = out[0];
	fErr = err[0];
	if (error != 0)
		fProcess = -1;
	return error == 0;
}


ChildRun
Program::Finish()
{
	if (fProcess <= 0)
		return ChildRun();
	ChildRun run = collect(fProcess, fOut, fErr, -1, fDeadline);
	fProcess = -1;
	return run;
}
