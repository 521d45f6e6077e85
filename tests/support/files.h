// Files for tests: scratch folders, on the build folder's file system or
// where another user can reach them, and children that run a piece of the
// system under another user or with limits, their output captured.
#ifndef TESTS_SUPPORT_FILES_H
#define TESTS_SUPPORT_FILES_H

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

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

// Who must be able to reach a scratch folder.
enum class Reach {
	// Below the working directory (the build folder), on its file system,
	// which the attribute tests rely on.
	kOwner,
	// Below the system's temporary folder, for children that run as another
	// user: the build folder may sit in a folder only its owner may enter.
	kChild,
};

// A fresh folder, removed with everything in it at the end.
class Folder {
public:
	explicit Folder(const char* name = "t")
		: Folder(Reach::kOwner, name)
	{
	}

	explicit Folder(Reach reach, const char* name = "t")
	{
		std::string base;
		if (reach == Reach::kChild) {
			const char* temporary = getenv("TMPDIR");
			base = temporary != NULL && temporary[0] == '/' ? temporary
															: "/tmp";
		} else {
			char* cwd = getcwd(NULL, 0);
			base = cwd != NULL ? cwd : ".";
			free(cwd);
			base += "/test-files";
			mkdir(base.c_str(), 0755);
		}
		std::string pattern = base + "/textwend-" + name + "-XXXXXX";
		if (mkdtemp(pattern.data()) == NULL)
			abort();
		fPath = pattern;
		// Others may pass through, and a child given the folder may write.
		chmod(fPath.c_str(), reach == Reach::kChild ? 0711 : 0755);
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

// What a child wrote to a stream kept in memory, from its start.
inline std::string
read_memory_file(int fd)
{
	std::string text;
	char buffer[4096];
	ssize_t count;
	lseek(fd, 0, SEEK_SET);
	while ((count = read(fd, buffer, sizeof(buffer))) > 0)
		text.append(buffer, count);
	close(fd);
	return text;
}

// Runs body in a child process, as the options say. place names a file in
// the folder that the child works in; a child running as another user
// first checks that it can reach that folder. Both output streams are kept
// in memory, so that a folder the child may not write still works.
inline ChildResult
run_child(const std::string& place, const ChildOptions& options,
		const std::function<void()>& body)
{
	ChildResult result;
	int outFd = memfd_create("stdout", MFD_CLOEXEC);
	int errFd = memfd_create("stderr", MFD_CLOEXEC);
	if (outFd < 0 || errFd < 0) {
		close(outFd);
		close(errFd);
		return result;
	}
	fflush(stdout);
	fflush(stderr);
	pid_t pid = fork();
	if (pid == 0) {
		if (dup2(outFd, STDOUT_FILENO) < 0 || dup2(errFd, STDERR_FILENO) < 0)
			_exit(kChildSetupFailed);
		close(outFd);
		close(errFd);
		if (options.asNobody && getuid() == 0) {
			if (setgroups(0, NULL) != 0 || setgid(kNobody) != 0
					|| setuid(kNobody) != 0)
				_exit(kChildSetupFailed);
			// A folder on the way that the user may not pass would make
			// the test fail for another reason than the one it means.
			std::string folder = place.substr(0, place.rfind('/'));
			if (access(folder.empty() ? "/" : folder.c_str(), X_OK) != 0) {
				fprintf(stderr, "user %d cannot reach %s: %s\n", (int)kNobody,
						folder.c_str(), strerror(errno));
				_exit(kChildSetupFailed);
			}
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
	int status = 0;
	if (pid > 0 && waitpid(pid, &status, 0) == pid) {
		result.status = WIFEXITED(status) ? WEXITSTATUS(status)
										  : 128 + WTERMSIG(status);
	}
	result.output = read_memory_file(outFd);
	result.errors = read_memory_file(errFd);
	return result;
}

// Hands a file or folder to the user that children run as.
inline void
give_to_child(const std::string& path)
{
	if (getuid() == 0 && chown(path.c_str(), kNobody, kNobody) != 0)
		abort();
}

} // namespace test

#endif // TESTS_SUPPORT_FILES_H
