#include "convert/source_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

source_file* current_source = NULL;
void (*replace_step_hook)(const char* step) = NULL;


source_file::~source_file()
{
	if (fd >= 0)
		close(fd);
	if (folder >= 0)
		close(folder);
}


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
		return "it is not a regular file";

	source.folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (source.folder < 0)
		return std::string("its folder cannot be opened: ") + strerror(errno);

	source.fd = openat(source.folder, source.leaf.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (source.fd < 0) {
		if (errno == ELOOP)
			return "it is a symbolic link, not a file";
		return std::string("it cannot be read: ") + strerror(errno);
	}
	if (fstat(source.fd, &source.status) != 0)
		return std::string("it cannot be read: ") + strerror(errno);
	if (!S_ISREG(source.status.st_mode))
		return "it is not a regular file";
	return "";
}


bool
same_version(const struct stat& a, const struct stat& b)
{
	return a.st_dev == b.st_dev && a.st_ino == b.st_ino
			&& a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec
			&& a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}


bool
source_unchanged(const source_file& source)
{
	struct stat now;
	struct stat named;
	return fstat(source.fd, &now) == 0
			&& fstatat(source.folder, source.leaf.c_str(), &named,
					   AT_SYMLINK_NOFOLLOW)
			== 0
			&& same_version(now, source.status)
			&& same_version(named, source.status);
}


std::string
descriptor_path(int fd)
{
	return "/proc/self/fd/" + std::to_string(fd);
}
