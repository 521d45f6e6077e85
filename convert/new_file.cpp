#include "convert/new_file.h"

#include "app/text_domain.h"
#include "convert/source_file.h"
#include "convert/stamp.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <map>


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


// Removes a file of our own from folder; says so on standard error when it
// stays.
void
left_behind(int folder, const std::string& name)
{
	if (unlinkat(folder, name.c_str(), 0) != 0)
		fprintf(stderr,
				_("Textwend: '%s' of our own could not be removed: %s\n"),
				name.c_str(), strerror(errno));
}


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


bool
can_swap_names(int folder, dev_t device)
{
	// A child of the process may run under rules of its own (a filter on
	// its calls), and asks again.
	static std::map<dev_t, bool> known;
	static bool forgetting
			= pthread_atfork(NULL, NULL, [] { known.clear(); }) == 0;
	(void)forgetting;
	auto found = known.find(device);
	if (found != known.end())
		return found->second;
	// Two hidden files of our own, traded: the file system's answer alone
	// tells, as it checks the flag only once it has found both names.
	std::string name[2];
	int made = 0;
	for (; made < 2; made++) {
		name[made] = temporary_name();
		int fd = openat(folder, name[made].c_str(),
				O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
		if (fd < 0)
			break;
		close(fd);
	}
	bool swapped = made == 2
			&& renameat2(folder, name[0].c_str(), folder, name[1].c_str(),
					   RENAME_EXCHANGE)
					== 0;
	int error = errno;
	for (int i = 0; i < made; i++)
		left_behind(folder, name[i]);
	// Only a refusal by the file system is its answer; anything else
	// (a full folder) is asked again with the next file.
	if (swapped || (made == 2 && cannot_here(error)))
		known[device] = swapped;
	return swapped;
}


std::string
hidden_name(const std::string& leaf)
{
	std::string name = "." + leaf + ".textwend";
	return name.size() <= NAME_MAX ? name : std::string();
}


bool
remove_cut_off(int folder, const std::string& name, const struct stat& original,
		uint64_t size, uint64_t checksum)
{
	int fd = openat(folder, name.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return errno == ENOENT;
	struct stat status;
	conversion_stamp stamp;
	bool ours = fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
			&& ((status.st_dev == original.st_dev
						&& status.st_ino == original.st_ino)
					|| (status.st_nlink == 1 && read_stamp(fd, stamp) == 0
							&& stamp.originalSize == size
							&& stamp.originalChecksum == checksum));
	close(fd);
	return ours && names_file(folder, name, status, name_match::kSameFile)
			&& unlinkat(folder, name.c_str(), 0) == 0;
}


new_file::new_file(int folder)
	: fFolder(folder)
{
}


new_file::~new_file()
{
	// A name is only ever taken back from this very file.
	if (!fName.empty() && Names(fName))
		left_behind(fFolder, fName);
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
	if (fAnonymous) {
		if (link_open_file(fFd, fFolder, name.c_str()) != 0)
			return errno;
		fAnonymous = false;
		fName = name;
		return 0;
	}
	if (renameat2(
				fFolder, fName.c_str(), fFolder, name.c_str(), RENAME_NOREPLACE)
			== 0) {
		fName = name;
		return 0;
	}
	if (!cannot_here(errno))
		return errno;
	// Where renameat2 takes no flags (NFS), a second name is made only if
	// free, and the first then given up.
	if (linkat(fFolder, fName.c_str(), fFolder, name.c_str(), 0) != 0)
		return errno;
	std::string old = fName;
	fName = name;
	return unlinkat(fFolder, old.c_str(), 0) == 0 ? 0 : errno;
}


int
new_file::TakeHiddenName()
{
	if (!fAnonymous)
		return 0;
	int error = EEXIST;
	for (int attempt = 0; attempt < kMaxAttempts && error == EEXIST; attempt++)
		error = TakeFreeName(temporary_name());
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
new_file::ReplaceName(const std::string& name)
{
	if (renameat(fFolder, fName.c_str(), fFolder, name.c_str()) != 0)
		return errno;
	fName = name;
	return 0;
}


int
new_file::Close()
{
	int fd = fFd;
	fFd = -1;
	return close(fd) == 0 ? 0 : errno;
}


bool
new_file::Names(const std::string& name) const
{
	return names_file(fFolder, name, fStatus, name_match::kSameFile);
}
