#include "convert/source_file.h"

#include "app/text_domain.h"
#include "convert/family.h"
#include "convert/run_lock.h"
#include "convert/stamp.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

source_file* current_source = NULL;
void (*replace_step_hook)(const char* step) = NULL;


namespace {

// A name that went to another file in the instant the file was opened is
// opened again, this often.
const int kOpenAgain = 3;

} // namespace


source_file::~source_file()
{
	if (fd >= 0)
		close(fd);
	if (folder >= 0)
		close(folder);
}


source_file::source_file(source_file&& other)
	: folder(other.folder)
	, fd(other.fd)
	, path(std::move(other.path))
	, leaf(std::move(other.leaf))
	, status(other.status)
	, mapped(other.mapped)
	, checksum(other.checksum)
	, putBack(std::move(other.putBack))
{
	other.folder = -1;
	other.fd = -1;
}


namespace {

// Opens source.leaf in source.folder, which is open.
std::string
open_in_folder(source_file& source, open_purpose purpose)
{
	if (source.leaf.empty() || source.leaf == "." || source.leaf == ".."
			|| source.leaf.find('/') != std::string::npos)
		return _("it is not a regular file");
	bool look = purpose == open_purpose::kLook;
	std::string prefix = folder_path(source);

	// A backup whose name's file was set aside by a run cut off: that file
	// goes back under its name first, and the backup is what it was.
	std::string named = leaf_of_backup(source.leaf);
	struct stat seen;
	if (!look && !named.empty()
			&& fstatat(source.folder, named.c_str(), &seen, AT_SYMLINK_NOFOLLOW)
					!= 0
			&& errno == ENOENT
			&& put_back_set_aside(source.folder, prefix, named) == 0)
		source.putBack = named;

	// Only the owner may keep the access time as it was.
	int noAccessTime = look ? O_NOATIME : 0;
	for (int attempt = 0;; attempt++) {
		source.fd = openat(source.folder, source.leaf.c_str(),
				O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | noAccessTime);
		if (source.fd < 0 && errno == EPERM && noAccessTime != 0) {
			noAccessTime = 0;
			attempt--;
			continue;
		}
		if (source.fd < 0 && errno == ENOENT && attempt == 0 && !look) {
			int error = put_back_set_aside(source.folder, prefix, source.leaf);
			if (error == EBUSY)
				return _(kOtherRun);
			if (error == 0)
				continue;
			errno = ENOENT;
		}
		if (source.fd < 0) {
			if (errno == ELOOP)
				return _("it is a symbolic link, not a file");
			return filled(_("it cannot be read: %s"), {strerror(errno)});
		}
		if (fstat(source.fd, &source.status) != 0)
			return filled(_("it cannot be read: %s"), {strerror(errno)});
		if (!S_ISREG(source.status.st_mode))
			return _("it is not a regular file");
		// A look changes nothing, and needs no mark: what a run converts
		// meanwhile is read as it was.
		if (look)
			break;
		run_lock lock = take_run_lock(source.fd);
		if (lock == run_lock::kOtherRun)
			return _(kOtherRun);
		if (lock == run_lock::kOtherLock) {
			std::string held = held_by_program(source.fd);
			return held.empty() ? _(kLockedElsewhere) : held;
		}
		// Marked only now: the name must still be this file's, or the file
		// that has it now is the one to convert.
		if (attempt == kOpenAgain
				|| names_file(source.folder, source.leaf, source.status,
						name_match::kSameFile))
			break;
		close(source.fd);
		source.fd = -1;
	}
	return std::string();
}

} // namespace


std::string
open_source(const char* path, source_file& source)
{
	source.path = path;
	// Built fresh, never assigned a literal over: GCC 12 at -O3 takes the
	// latter for an overlapping copy.
	const char* slash = strrchr(path, '/');
	std::string folder = slash == NULL ? std::string(".")
			: slash == path            ? std::string("/")
									   : std::string(path, slash - path);
	source.leaf = slash == NULL ? path : slash + 1;
	if (source.leaf.empty() || source.leaf == "." || source.leaf == "..")
		return _("it is not a regular file");

	source.folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (source.folder < 0)
		return filled(_("its folder cannot be opened: %s"), {strerror(errno)});
	return open_in_folder(source, open_purpose::kChange);
}


std::string
open_source_at(int folder, const std::string& leaf, const std::string& path,
		source_file& source, open_purpose purpose)
{
	source.path = path;
	source.leaf = leaf;
	// A descriptor of its own: a conversion that waits for its batch keeps
	// it after the caller has moved on.
	source.folder = fcntl(folder, F_DUPFD_CLOEXEC, 0);
	if (source.folder < 0)
		return filled(_("its folder cannot be opened: %s"), {strerror(errno)});
	return open_in_folder(source, purpose);
}


std::string
folder_path(const source_file& source)
{
	const std::string& path = source.path;
	const std::string& leaf = source.leaf;
	bool named = path.size() >= leaf.size()
			&& path.compare(path.size() - leaf.size(), leaf.size(), leaf) == 0;
	return named ? path.substr(0, path.size() - leaf.size()) : std::string();
}


std::string
fixed_by_flag(int fd)
{
	int flags = 0;
	if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
		return std::string();
	if ((flags & FS_IMMUTABLE_FL) != 0)
		return _("it is marked immutable (chattr +i), so it cannot be "
				 "replaced");
	if ((flags & FS_APPEND_FL) != 0)
		return _("it is marked append-only (chattr +a), so it cannot be "
				 "replaced");
	return std::string();
}


bool
same_version(const struct stat& a, const struct stat& b)
{
	return a.st_dev == b.st_dev && a.st_ino == b.st_ino
			&& a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec
			&& a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}


bool
names_file(int folder, const std::string& name, const struct stat& seen,
		name_match match)
{
	struct stat named;
	if (fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
		return false;
	if (match == name_match::kSameVersion)
		return same_version(named, seen);
	return named.st_dev == seen.st_dev && named.st_ino == seen.st_ino;
}


bool
source_unchanged(const source_file& source)
{
	struct stat now;
	return fstat(source.fd, &now) == 0 && same_version(now, source.status)
			&& names_file(source.folder, source.leaf, source.status,
					name_match::kSameVersion);
}


std::string
source_fault(const source_file& source, const char* changed)
{
	struct stat now;
	if (fstat(source.fd, &now) == 0 && now.st_size < source.status.st_size)
		return changed;
	return filled(_("it could not be read: %s"), {strerror(EIO)});
}


void
replace_step(const char* step)
{
	if (replace_step_hook != NULL)
		replace_step_hook(step);
}


std::string
descriptor_path(int fd)
{
	return "/proc/self/fd/" + std::to_string(fd);
}
