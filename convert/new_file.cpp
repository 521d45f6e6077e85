#include "convert/new_file.h"

#include "convert/family.h"
#include "convert/run_lock.h"
#include "convert/source_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>


namespace {

// True once the host's path of an open file has been seen to lead to that
// file: it does for every file of the process then.
bool sPathsChecked = false;

} // namespace


int
link_open_file(int fd, int folder, const char* name)
{
	// Refused once for want of the right to link by descriptor, it is
	// refused every time: the host's path is taken from then on.
	static bool sByPathOnly = false;
	if (!sByPathOnly) {
		if (linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0)
			return 0;
		if (errno != ENOENT && errno != EPERM)
			return -1;
		sByPathOnly = errno == ENOENT;
	}
	return linkat(AT_FDCWD, descriptor_path(fd).c_str(), folder, name,
			AT_SYMLINK_FOLLOW);
}


bool
cannot_here(int error)
{
	return error == EINVAL || error == EOPNOTSUPP || error == ENOSYS
			|| error == EPERM || error == EMLINK || error == EXDEV;
}


bool
cannot_trade(int error)
{
	return error == EINVAL || error == EOPNOTSUPP || error == ENOSYS;
}


new_file::new_file(int folder)
	: fFolder(folder)
{
}


new_file::~new_file()
{
	if (fFd >= 0)
		close(fFd);
	// A name is only ever taken back from this very file.
	if (!fName.empty() && Names(fName))
		unlinkat(fFolder, fName.c_str(), 0);
	drop_stale(fFolder, fStale, fStatus);
}


int
new_file::Create(mode_t mode, const std::string& leaf)
{
	// Open for reading as well: the run's mark is a read lock.
	fFd = openat(fFolder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
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
			mark_new(fFd);
			return 0;
		}
		close(fFd);
	}
	fAnonymous = false;
	std::string name = family_name(leaf, family_member::kNew);
	fFd = openat(fFolder, name.c_str(),
			O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
	if (fFd < 0)
		return errno;
	fName = name;
	mark_new(fFd);
	return fstat(fFd, &fStatus) == 0 ? 0 : errno;
}


int
new_file::TakeFreeName(const std::string& name)
{
	if (fAnonymous) {
		if (link_open_file(fFd, fFolder, name.c_str()) != 0)
			return errno;
		fAnonymous = false;
		fName = name;
		return 0;
	}
	int error = move_name(fFolder, fName, name, &fStale);
	if (error == 0)
		fName = name;
	return error;
}


int
new_file::TakeFamilyName(const std::string& name)
{
	if (fAnonymous)
		return TakeFreeName(name);
	int error = move_into_family(fFolder, fName, name);
	if (error == 0)
		fName = name;
	return error;
}


int
new_file::TradeWith(const std::string& other)
{
	if (renameat2(
				fFolder, other.c_str(), fFolder, fName.c_str(), RENAME_EXCHANGE)
			!= 0)
		return errno;
	fName = other;
	return 0;
}


int
new_file::Close()
{
	if (fFd < 0)
		return 0;
	int fd = fFd;
	fFd = -1;
	int error = close(fd) == 0 ? 0 : errno;
	drop_stale(fFolder, fStale, fStatus);
	return error;
}


bool
new_file::Names(const std::string& name) const
{
	return names_file(fFolder, name, fStatus, name_match::kSameFile);
}
