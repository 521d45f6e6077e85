#include "support/child.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace test {

namespace {

struct Started {
	pid_t process = -1;
	int out = -1;
	int err = -1;
	int result = -1;
	int terminal = -1;
	std::chrono::steady_clock::time_point deadline;
};


int
milliseconds_until(std::chrono::steady_clock::time_point deadline)
{
	auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
			deadline - std::chrono::steady_clock::now());
	return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}


void
close_all(Started& started)
{
	for (int* fd :
			{&started.out, &started.err, &started.result, &started.terminal}) {
		if (*fd >= 0)
			close(*fd);
		*fd = -1;
	}
}


#if defined(__x86_64__)
const uint32_t kArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
const uint32_t kArchitecture = AUDIT_ARCH_AARCH64;
#else
const uint32_t kArchitecture = 0;
#endif


// The host's answer to calls that some file systems refuse, as they give
// it: a filter on the system calls of the child.
bool
refuse(unsigned refused)
{
	if (kArchitecture == 0) {
		errno = ENOSYS;
		return false;
	}
	// Each refusal: the call, the argument holding its flags, the flags
	// that are refused (0: the call as a whole), and the error; exactly
	// those flags and no others, where exact.
	struct refusal {
		unsigned what;
		int call;
		int argument;
		uint32_t flags;
		int error;
		bool exact = false;
	};
	const refusal all[] = {
			{kNoNameSwap, SYS_renameat2, 4, RENAME_EXCHANGE, EINVAL},
			{kNoNamelessFiles, SYS_openat, 2, O_TMPFILE & ~O_DIRECTORY,
					EOPNOTSUPP},
			{kNoSecondNames, SYS_linkat, 0, 0, EPERM},
			{kNoRenameFlags, SYS_renameat2, 4, ~0u, EINVAL},
			{kNoAttributeRoom, SYS_fsetxattr, 0, 0, ENOSPC},
			{kNoAttributeRoom, SYS_fremovexattr, 0, 0, ENOSPC},
			{kNoAttributes, SYS_fsetxattr, 0, 0, ENOTSUP},
			{kNoAttributes, SYS_fgetxattr, 0, 0, ENOTSUP},
			{kNoAttributes, SYS_flistxattr, 0, 0, ENOTSUP},
			{kNoAttributes, SYS_fremovexattr, 0, 0, ENOTSUP},
			{kNoAttributes, SYS_listxattr, 0, 0, ENOTSUP},
			{kNoAttributes, SYS_llistxattr, 0, 0, ENOTSUP},
			{kNoAttributes, SYS_getxattr, 0, 0, ENOTSUP},
			{kNoAttributes, SYS_lgetxattr, 0, 0, ENOTSUP},
			{kForbiddenNames, SYS_renameat2, 4, RENAME_NOREPLACE, EINVAL},
			{kForbiddenNames, SYS_renameat2, 4, 0, EINVAL, true},
			{kForbiddenNames, SYS_renameat, 0, 0, EINVAL},
			{kForbiddenNames, SYS_linkat, 4, 0, EINVAL, true},
#ifdef SYS_rename
			{kForbiddenNames, SYS_rename, 0, 0, EINVAL},
			{kForbiddenNames, SYS_link, 0, 0, EINVAL},
#endif
	};
	std::vector<sock_filter> program = {
			BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
			BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArchitecture, 1, 0),
			BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
	};
	for (const refusal& r : all) {
		if ((refused & r.what) == 0)
			continue;
		uint32_t answer = SECCOMP_RET_ERRNO | (uint32_t)r.error;
		program.push_back(
				BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
		if (r.flags == 0 && !r.exact) {
			program.push_back(BPF_JUMP(
					BPF_JMP | BPF_JEQ | BPF_K, (uint32_t)r.call, 0, 1));
			program.push_back(BPF_STMT(BPF_RET | BPF_K, answer));
			continue;
		}
		program.push_back(
				BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (uint32_t)r.call, 0, 3));
		// The low half of the argument, which holds the flags.
		uint32_t at = (uint32_t)(offsetof(seccomp_data, args)
				+ r.argument * sizeof(uint64_t));
		program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, at));
		program.push_back(
				BPF_JUMP(BPF_JMP | (r.exact ? BPF_JEQ : BPF_JSET) | BPF_K,
						r.flags, 0, 1));
		program.push_back(BPF_STMT(BPF_RET | BPF_K, answer));
	}
	program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
	sock_fprog filter = {(unsigned short)program.size(), program.data()};
	return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
			&& prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}


// In the child: everything the options ask for before the body runs. Says
// on standard error what could not be arranged.
void
set_up(const ChildOptions& options)
{
	if (!options.keepDisplay)
		unsetenv("DISPLAY");
	for (const auto& [name, value] : options.environment) {
		if (value.empty())
			unsetenv(name.c_str());
		else
			setenv(name.c_str(), value.c_str(), 1);
	}
	if (options.asNobody && getuid() == 0) {
		gid_t also = options.alsoGroup;
		if (setgroups(also != 0 ? 1 : 0, &also) != 0 || setgid(kNobody) != 0
				|| setuid(kNobody) != 0) {
			fprintf(stderr, "cannot become user %d: %s\n", (int)kNobody,
					strerror(errno));
			_exit(kChildSetupFailed);
		}
	}
	// Entered after the user changed, which checks that the user can reach
	// the test's files: a folder on the way it may not pass would make the
	// test fail for another reason than the one it means.
	if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) {
		fprintf(stderr, "user %d cannot reach %s: %s\n", (int)getuid(),
				options.folder.c_str(), strerror(errno));
		_exit(kChildSetupFailed);
	}
	signal(SIGXFSZ, SIG_IGN);
	struct rlimit limit;
	if (options.fileSizeLimit != RLIM_INFINITY) {
		limit.rlim_cur = limit.rlim_max = options.fileSizeLimit;
		setrlimit(RLIMIT_FSIZE, &limit);
	}
	if (options.addressSpaceLimit != RLIM_INFINITY) {
		limit.rlim_cur = limit.rlim_max = options.addressSpaceLimit;
		setrlimit(RLIMIT_AS, &limit);
	}
	if (options.descriptorLimit != RLIM_INFINITY) {
		limit.rlim_cur = limit.rlim_max = options.descriptorLimit;
		setrlimit(RLIMIT_NOFILE, &limit);
	}
	if (options.lastDescriptor) {
		int free = dup(STDIN_FILENO);
		close(free);
		limit.rlim_cur = limit.rlim_max = (rlim_t)free + 1;
		setrlimit(RLIMIT_NOFILE, &limit);
	}
	if (options.refused != 0 && !refuse(options.refused)) {
		fprintf(stderr, "cannot refuse calls: %s\n", strerror(errno));
		_exit(kChildSetupFailed);
	}
}


Started
start(const std::function<int()>& body, const ChildOptions& options)
{
	Started started;
	started.deadline = std::chrono::steady_clock::now()
			+ std::chrono::seconds(options.seconds);
	int out[2] = {-1, -1};
	int err[2] = {-1, -1};
	int result[2] = {-1, -1};
	const char* terminalName = NULL;
	bool ready = pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0
			&& pipe2(result, O_CLOEXEC) == 0;
	if (ready && options.typed != NULL) {
		started.terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
		ready = started.terminal >= 0 && grantpt(started.terminal) == 0
				&& unlockpt(started.terminal) == 0;
		terminalName = ready ? ptsname(started.terminal) : NULL;
	}

	fflush(NULL);
	started.process = ready ? fork() : -1;
	if (started.process == 0) {
		setsid();
		if (terminalName != NULL) {
			int own = open(terminalName, O_RDWR);
			if (own < 0 || ioctl(own, TIOCSCTTY, 0) != 0)
				_exit(kChildSetupFailed);
			close(own);
		}
		int nothing = open("/dev/null", O_RDONLY);
		dup2(nothing, STDIN_FILENO);
		dup2(out[1], STDOUT_FILENO);
		dup2(err[1], STDERR_FILENO);
		for (int fd : {nothing, out[0], out[1], err[0], err[1], result[0]})
			close(fd);
		set_up(options);
		int value = body();
		fflush(NULL);
		ssize_t written = write(result[1], &value, sizeof(value));
		_exit(written == sizeof(value) ? 0 : 125);
	}

	for (int fd : {out[1], err[1], result[1]}) {
		if (fd >= 0)
			close(fd);
	}
	started.out = out[0];
	started.err = err[0];
	started.result = result[0];
	if (started.process < 0) {
		close_all(started);
		return started;
	}
	if (started.terminal >= 0) {
		ssize_t written
				= write(started.terminal, options.typed, strlen(options.typed));
		(void)written;
	}
	return started;
}


// Reads the child's streams until they end and waits for the child; kills
// it once the deadline passes.
ChildResult
finish(Started& started)
{
	ChildResult run;
	if (started.process < 0)
		return run;
	std::string resultBytes;
	struct pollfd streams[3] = {{started.out, POLLIN, 0},
			{started.err, POLLIN, 0}, {started.result, POLLIN, 0}};
	std::string* texts[3] = {&run.output, &run.errors, &resultBytes};
	int open = 3;
	while (open > 0 && !run.timedOut) {
		int ready = poll(streams, 3, milliseconds_until(started.deadline));
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
		pid_t waited = waitpid(started.process, &status, WNOHANG);
		if (waited == started.process)
			ended = true;
		else if (waited < 0 && errno != EINTR)
			break;
		else if (run.timedOut || milliseconds_until(started.deadline) == 0) {
			run.timedOut = true;
			kill(started.process, SIGKILL);
			waitpid(started.process, &status, 0);
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
	started.process = -1;
	close_all(started);
	return run;
}


std::function<int()>
exec_body(const std::vector<std::string>& arguments)
{
	return [&arguments] {
		std::vector<char*> argv;
		for (const std::string& argument : arguments)
			argv.push_back(const_cast<char*>(argument.c_str()));
		argv.push_back(NULL);
		if (!arguments.empty())
			execv(argv[0], argv.data());
		_exit(127);
		return 127;
	};
}

} // namespace


std::vector<std::vector<std::string>>
split_lines(const std::string& text)
{
	std::vector<std::vector<std::string>> lines;
	size_t start = 0;
	while (start < text.size()) {
		size_t end = text.find('\n', start);
		if (end == std::string::npos)
			end = text.size();
		std::vector<std::string> fields;
		size_t fieldStart = start;
		while (true) {
			size_t tab = text.find('\t', fieldStart);
			if (tab == std::string::npos || tab > end) {
				fields.push_back(text.substr(fieldStart, end - fieldStart));
				break;
			}
			fields.push_back(text.substr(fieldStart, tab - fieldStart));
			fieldStart = tab + 1;
		}
		lines.push_back(fields);
		start = end + 1;
	}
	return lines;
}


ChildResult
run_child(const std::function<int()>& body, const ChildOptions& options)
{
	Started started = start(body, options);
	return finish(started);
}


ChildResult
run_child(const std::string& place, const ChildOptions& options,
		const std::function<void()>& body)
{
	ChildOptions inFolder = options;
	size_t slash = place.rfind('/');
	if (slash != std::string::npos)
		inFolder.folder = slash == 0 ? "/" : place.substr(0, slash);
	return run_child(
			[&body] {
				body();
				return 0;
			},
			inFolder);
}


ChildResult
run_program(
		const std::vector<std::string>& arguments, const ChildOptions& options)
{
	return run_child(exec_body(arguments), options);
}


ChildResult
run_program(
		const std::vector<std::string>& arguments, const std::string& folder)
{
	ChildOptions options;
	options.folder = folder;
	return run_program(arguments, options);
}


Program::~Program()
{
	if (fProcess > 0) {
		kill(fProcess, SIGKILL);
		waitpid(fProcess, NULL, 0);
	}
	for (int fd : {fOut, fErr, fResult, fTerminal}) {
		if (fd >= 0)
			close(fd);
	}
}


bool
Program::Start(
		const std::vector<std::string>& arguments, const ChildOptions& options)
{
	return Start(exec_body(arguments), options);
}


bool
Program::Start(const std::function<int()>& body, const ChildOptions& options)
{
	Started started = start(body, options);
	fProcess = started.process;
	fOut = started.out;
	fErr = started.err;
	fResult = started.result;
	fTerminal = started.terminal;
	fDeadline = started.deadline;
	return fProcess > 0;
}


ChildResult
Program::Finish()
{
	Started started;
	started.process = fProcess;
	started.out = fOut;
	started.err = fErr;
	started.result = fResult;
	started.terminal = fTerminal;
	started.deadline = fDeadline;
	fProcess = fOut = fErr = fResult = fTerminal = -1;
	return finish(started);
}

} // namespace test
