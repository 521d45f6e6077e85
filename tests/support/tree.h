// Trees for tests: what a tree holds, entry by entry, to hold it against
// what it held before; reached by descriptors, so that trees deeper than a
// path can name are looked at whole. Files are read without touching their
// access time.
#ifndef TESTS_SUPPORT_TREE_H
#define TESTS_SUPPORT_TREE_H

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace test {

// Which times a picture of a tree holds beside names, kinds, bytes,
// permissions and extended attributes. A change in a folder changes its
// own modification time, so those are only for a tree nothing changed in.
enum : unsigned {
	kFileTimes = 1,   // modification times of all but folders
	kFolderTimes = 2, // of folders too
	kAccessTimes = 4, // and the access times of files and folders
};

// Each entry below the root by its path there, with what it is.
using TreeShot = std::map<std::string, std::string>;

namespace tree_detail {

inline std::string
time_of(const struct timespec& time)
{
	return std::to_string(time.tv_sec) + "." + std::to_string(time.tv_nsec);
}

inline std::string
attributes_of(int fd)
{
	std::string text;
	char names[4096];
	ssize_t length = flistxattr(fd, names, sizeof(names));
	for (ssize_t at = 0; at < length; at += strlen(names + at) + 1) {
		char value[4096];
		ssize_t size = fgetxattr(fd, names + at, value, sizeof(value));
		text += std::string(" ") + (names + at) + "="
				+ std::string(value, size > 0 ? size : 0);
	}
	return text;
}

inline void
shoot(int folder, const std::string& prefix, unsigned times, TreeShot& shot)
{
	DIR* listing = fdopendir(dup(folder));
	if (listing == NULL)
		return;
	std::vector<std::string> names;
	while (struct dirent* entry = readdir(listing)) {
		std::string name = entry->d_name;
		if (name != "." && name != "..")
			names.push_back(name);
	}
	closedir(listing);
	for (const std::string& name : names) {
		struct stat status;
		if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
			continue;
		std::string what = std::to_string(status.st_mode) + " "
				+ std::to_string(status.st_uid) + ":"
				+ std::to_string(status.st_gid);
		bool isFolder = S_ISDIR(status.st_mode);
		if (isFolder ? (times & kFolderTimes) != 0 : (times & kFileTimes) != 0)
			what += " m" + time_of(status.st_mtim);
		if ((times & kAccessTimes) != 0)
			what += " a" + time_of(status.st_atim);
		if (S_ISLNK(status.st_mode)) {
			char target[4096];
			ssize_t length
					= readlinkat(folder, name.c_str(), target, sizeof(target));
			what += " -> " + std::string(target, length > 0 ? length : 0);
		} else if (S_ISREG(status.st_mode) || isFolder) {
			int fd = openat(folder, name.c_str(),
					O_RDONLY | O_NOFOLLOW | O_NOATIME | O_CLOEXEC
							| (isFolder ? O_DIRECTORY : 0));
			if (fd < 0) {
				what += " unreadable";
			} else {
				what += attributes_of(fd);
				if (isFolder)
					shoot(fd, prefix + name + "/", times, shot);
				else {
					what += " [";
					char buffer[65536];
					for (ssize_t got;
							(got = read(fd, buffer, sizeof(buffer))) > 0;)
						what.append(buffer, got);
					what += "]";
				}
				close(fd);
			}
		}
		shot[prefix + name] = what;
	}
}

} // namespace tree_detail

// What the tree below root holds, with the times asked for.
inline TreeShot
tree_shot(const std::string& root, unsigned times = kFileTimes)
{
	TreeShot shot;
	int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOATIME | O_CLOEXEC);
	if (fd >= 0) {
		tree_detail::shoot(fd, "", times, shot);
		close(fd);
	}
	return shot;
}

// How many backups (NAME-BAK) the tree below path holds so far.
inline int
backups_below(const std::string& path)
{
	static int count;
	count = 0;
	nftw(
			path.c_str(),
			[](const char* name, const struct stat*, int, struct FTW*) {
				size_t length = strlen(name);
				count += length > 4 && strcmp(name + length - 4, "-BAK") == 0;
				return 0;
			},
			16, FTW_PHYS);
	return count;
}

} // namespace test

#endif // TESTS_SUPPORT_TREE_H
