#include "convert/new_file.h"

#include "convert/source_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>


namespace {

// Fresh temporary names are tried this often before giving up.
const int kMaxAttempts = 100;


// A hidden name that no earlier run can have left in use for long.
std::string
temporary_name()
{
	static unsigned counter = 0;
	struct timespec now;
	clock_gettime(CLOCK_REALTIME, &now);
	char name[64];
	snprintf(name, sizeof(name), ".textwend-%x-%x-%lx", (unsigned)getpid(),
			counter++, (unsigned long)now.tv_nsec);
	return name;
}


// True once the host's path of an open file has been seen to lead to that
// file: it does for every file of the process then.
bool sPathsChecked = false;

} // namespace


int
link_open_file(int fd, int folder, const char* name)
{
	if (linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0)
		return 0;
	if (errno != ENOENT && errno != EPERM)
		return -1;
	return linkat(AT_FDCWD, descriptor_path(fd).c_str(), folder, name,
			AT_SYMLINK_FOLLOW);
}


new_file::new_file(int folder)
	: fFolder(folder)
{
}


new_file::~new_file()
{
	if (!fTemporary.empty())
		unlinkat(fFolder, fTemporary.c_str(), 0);
	if (fFd >= 0)
		close(fFd);
}


int
new_file::Create()
{
	fFd = openat(fFolder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
	if (fFd >= 0) {
		// Where the host does not name a file by its descriptor, naming
		// it later goes through the host's path of the open file.
		struct stat own;
		struct stat seen;
		if (sPathsChecked
				|| (fstat(fFd, &own) == 0
						&& stat(descriptor_path(fFd).c_str(), &seen) == 0
						&& own.st_ino == seen.st_ino
						&& own.st_dev == seen.st_dev)) {
			sPathsChecked = true;
			return 0;
		}
		close(fFd);
	}
	fAnonymous = false;
	for (int attempt = 0; attempt < kMaxAttempts; attempt++) {
		std::string name = temporary_name();
		fFd = openat(fFolder, name.c_str(),
				O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
		if (fFd >= 0) {
			fTemporary = name;
			return 0;
		}
		if (errno != EEXIST)
			return errno;
	}
	return EEXIST;
}


int
new_file::TakeFreeName(const std::string& name)
{
	int result = fAnonymous ? link_open_file(fFd, fFolder, name.c_str())
							: renameat2(fFolder, fTemporary.c_str(), fFolder,
									name.c_str(), RENAME_NOREPLACE);
	if (result != 0)
		return errno;
	fTemporary.clear();
	fAnonymous = false;
	return 0;
}


int
new_file::TakeName(const std::string& name, bool& given)
{
	given = false;
	if (fAnonymous) {
		int error = EEXIST;
		for (int attempt = 0; attempt < kMaxAttempts && error == EEXIST;
				attempt++) {
			std::string temporary = temporary_name();
			error = TakeFreeName(temporary);
			if (error == 0)
				fTemporary = temporary;
		}
		if (error != 0)
			return error;
	}
	if (renameat2(fFolder, fTemporary.c_str(), fFolder, name.c_str(),
				RENAME_EXCHANGE)
			== 0) {
		given = true;
		return 0;
	}
	if (errno != EINVAL && errno != EOPNOTSUPP && errno != ENOSYS)
		return errno;
	if (renameat(fFolder, fTemporary.c_str(), fFolder, name.c_str()) != 0)
		return errno;
	fTemporary.clear();
	return 0;
}


int
new_file::SwapBack(const std::string& name)
{
	return renameat2(fFolder, fTemporary.c_str(), fFolder, name.c_str(),
				   RENAME_EXCHANGE)
					== 0
			? 0
			: errno;
}
