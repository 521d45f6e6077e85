#include "convert/new_file.h"

#include "convert/source_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
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
	// A name is only ever taken back from this very file.
	if (!fName.empty() && Names(fName))
		unlinkat(fFolder, fName.c_str(), 0);
	if (fFd >= 0)
		close(fFd);
}


int
new_file::Create(mode_t mode)
{
	fFd = openat(fFolder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
	if (fFd >= 0) {
		// Where the host does not name a file by its descriptor, naming
		// it later goes through the host's path of the open file.
		struct stat seen;
		if (fstat(fFd, &fStatus) == 0
				&& (sPathsChecked
						|| (stat(descriptor_path(fFd).c_str(), &seen) == 0
								&& fStatus.st_ino == seen.st_ino
								&& fStatus.st_dev == seen.st_dev))) {
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
			fName = name;
			return fstat(fFd, &fStatus) == 0 ? 0 : errno;
		}
		if (errno != EEXIST)
			return errno;
	}
	return EEXIST;
}


int
new_file::TakeFreeName(const std::string& name)
{
	if (!fAnonymous)
		return Rename(name, RENAME_NOREPLACE);
	if (link_open_file(fFd, fFolder, name.c_str()) != 0)
		return errno;
	fAnonymous = false;
	fName = name;
	return 0;
}


int
new_file::SwapWith(const std::string& other)
{
	return Rename(other, RENAME_EXCHANGE);
}


int
new_file::ReplaceName(const std::string& name)
{
	int error = fAnonymous ? GiveUpName() : 0;
	return error != 0 ? error : Rename(name, 0);
}


int
new_file::GiveUpName()
{
	int error = EEXIST;
	for (int attempt = 0; attempt < kMaxAttempts && error == EEXIST; attempt++)
		error = TakeFreeName(temporary_name());
	return error;
}


int
new_file::Rename(const std::string& name, unsigned flags)
{
	if (renameat2(fFolder, fName.c_str(), fFolder, name.c_str(), flags) != 0)
		return errno;
	fName = name;
	return 0;
}


bool
new_file::Names(const std::string& name) const
{
	struct stat named;
	return fstatat(fFolder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
			&& named.st_dev == fStatus.st_dev && named.st_ino == fStatus.st_ino;
}
