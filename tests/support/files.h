// Files for tests: a scratch folder on a file system with extended
// attributes, and children that run a piece of the system under another
// user or with limits, their standard output captured.
#ifndef TESTS_SUPPORT_FILES_H
#define TESTS_SUPPORT_FILES_H

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace test {

const uid_t kNobody = 65534;

inline std::string
read_file(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::stringstream content;
	content << in.rdbuf();
	return content.str();
}

inline void
write_file(
		const std::string& path, const std::string& content, mode_t mode = 0644)
{
	{
		std::ofstream out(path, std::ios::binary | std::ios::trunc);
		out << content;
	}
	chmod(path.c_str(), mode);
}

inline bool
exists(const std::string& path)
{
	struct stat st;
	return lstat(path.c_str(), &st) == 0;
}

inline mode_t
mode_of(const std::string& path)
{
	struct stat st;
	return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A fresh folder below the working directory (the build folder), removed
// with everything in it at the end.
class Folder {
public:
	explicit Folder(const char* name = "t")
	{
		mkdir("test-files", 0755);
		chmod("test-files", 0755);
		char cwd[4096];
		std::string base = getcwd(cwd, sizeof(cwd)) != NULL ? cwd : ".";
		std::string pattern = base + "/test-files/" + name + "-XXXXXX";
		if (mkdtemp(pattern.data()) == NULL)
			abort();
		fPath = pattern;
		chmod(fPath.c_str(), 0755);
	}

	~Folder()
	{
		// Children may have left folders that nobody may write.
		nftw(fPath.c_str(), make_writable, 32, FTW_PHYS);
		nftw(fPath.c_str(), remove_one, 32, FTW_DEPTH | FTW_PHYS);
	}

	const std::string&
	path() const
	{
		return fPath;
	}
	std::string
	operator/(const std::string& leaf) const
	{
		return fPath + "/" + leaf;
	}

private:
	static int
	make_writable(
			const char* path, const struct stat* st, int type, struct FTW*)
	{
		if (type == FTW_D || type == FTW_DNR)
			chmod(path, (st->st_mode & 07777) | 0700);
		return 0;
	}

	static int
	remove_one(const char* path, const struct stat*, int, struct FTW*)
	{
		remove(path);
		return 0;
	}

	std::string fPath;
};

struct ChildOptions {
	bool asNobody = false;
	rlim_t fileSizeLimit = RLIM_INFINITY;
	rlim_t addressSpaceLimit = RLIM_INFINITY;
	bool lastDescriptor = false; // the next open after one more fails
};

struct ChildResult {
	int status = -1;    // exit status; 77 when the child could not be set up
	std::string output; // its standard output
	std::string errors; // its standard error
};

const int kChildSetupFailed = 77;

// Runs body in a child process, as the options say.
inline ChildResult
run_child(const std::string& outputFile, const ChildOptions& options,
		const std::function<void()>& body)
{
	fflush(stdout);
	pid_t pid = fork();
	if (pid == 0) {
		int fd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
		if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
			_exit(kChildSetupFailed);
		close(fd);
		std::string errorFile = outputFile + ".err";
		fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
		if (fd < 0 || dup2(fd, STDERR_FILENO) < 0)
			_exit(kChildSetupFailed);
		close(fd);
		if (options.asNobody && getuid() == 0) {
			if (setgroups(0, NULL) != 0 || setgid(kNobody) != 0
					|| setuid(kNobody) != 0)
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
		if (options.lastDescriptor) {
			int free = dup(STDIN_FILENO);
			close(free);
			limit.rlim_cur = limit.rlim_max = (rlim_t)free + 1;
			setrlimit(RLIMIT_NOFILE, &limit);
		}
		body();
		fflush(stdout);
		_exit(0);
	}
	ChildResult result;
	int status = 0;
	if (pid < 0 || waitpid(pid, &status, 0) != pid)
		return result;
	result.status
			= WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	result.output = read_file(outputFile);
	result.errors = read_file(outputFile + ".err");
	return result;
}

// Hands a file or folder to the user that children run as.
inline void
give_to_child(const std::string& path)
{
	if (getuid() == 0 && chown(path.c_str(), kNobody, kNobody) != 0)
		abort();
}

// The names in a folder, sorted, without "." and "..".
inline std::vector<std::string>
folder_entries(const std::string& path)
{
	std::vector<std::string> names;
	if (DIR* dir = opendir(path.c_str())) {
		while (struct dirent* entry = readdir(dir)) {
			std::string name = entry->d_name;
			if (name != "." && name != "..")
				names.push_back(name);
		}
		closedir(dir);
	}
	std::sort(names.begin(), names.end());
	return names;
}

// Starts body in a child with its standard output in outputFile and leaves
// it running: for tests that stop it midway. Its pid, or -1.
inline pid_t
start_child(const std::string& outputFile, const std::function<void()>& body)
{
	fflush(stdout);
	pid_t pid = fork();
	if (pid == 0) {
		int fd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
		if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
			_exit(kChildSetupFailed);
		close(fd);
		body();
		fflush(stdout);
		_exit(0);
	}
	return pid;
}

} // namespace test

#endif // TESTS_SUPPORT_FILES_H
