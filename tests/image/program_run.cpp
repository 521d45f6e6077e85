#include "program_run.h"

#include <errno.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;


namespace {

// Reads both pipes as the program writes them, so that neither fills up
// while the other is awaited.
void
drain(int outPipe, int errPipe, ProgramRun& run)
{
	struct pollfd pipes[2] = {{outPipe, POLLIN, 0}, {errPipe, POLLIN, 0}};
	std::string* texts[2] = {&run.out, &run.err};
	int open = 2;
	while (open > 0) {
		if (poll(pipes, 2, -1) < 0) {
			if (errno == EINTR)
				continue;
			return;
		}
		for (int i = 0; i < 2; i++) {
			if (pipes[i].fd < 0 || pipes[i].revents == 0)
				continue;
			char buffer[4096];
			ssize_t count = read(pipes[i].fd, buffer, sizeof(buffer));
			if (count > 0)
				texts[i]->append(buffer, count);
			else if (count == 0 || errno != EINTR) {
				pipes[i].fd = -1;
				open--;
			}
		}
	}
}

} // namespace


ProgramRun
run_program(
		const std::vector<std::string>& arguments, const std::string& folder)
{
	ProgramRun run;
	int outPipe[2];
	int errPipe[2];
	if (pipe(outPipe) != 0)
		return run;
	if (pipe(errPipe) != 0) {
		close(outPipe[0]);
		close(outPipe[1]);
		return run;
	}

	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
	posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
	posix_spawn_file_actions_addclose(&actions, outPipe[0]);
	posix_spawn_file_actions_addclose(&actions, errPipe[0]);
	if (!folder.empty())
		posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

	std::vector<char*> argv;
	for (const std::string& argument : arguments)
		argv.push_back(const_cast<char*>(argument.c_str()));
	argv.push_back(NULL);

	pid_t child;
	int error = posix_spawn(
			&child, argv[0], &actions, NULL, argv.data(), environ);
	posix_spawn_file_actions_destroy(&actions);
	close(outPipe[1]);
	close(errPipe[1]);
	if (error == 0)
		drain(outPipe[0], errPipe[0], run);
	close(outPipe[0]);
	close(errPipe[0]);
	if (error != 0)
		return run;

	int status;
	while (waitpid(child, &status, 0) < 0) {
		if (errno != EINTR)
			return run;
	}
	if (WIFEXITED(status))
		run.status = WEXITSTATUS(status);
	else if (WIFSIGNALED(status))
		run.status = 128 + WTERMSIG(status);
	return run;
}


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
