// Files for tests: scratch folders, on the build folder's file system or
// where another user can reach them, and the children that work in them.
#ifndef TESTS_SUPPORT_FILES_H
#define TESTS_SUPPORT_FILES_H

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "support/child.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace test {

// A POSIX access list as the host stores it: the owner may read and write,
// nobody (65534) nothing, the group and others read.
const std::string kAccessList("\x02\0\0\0"
							  "\x01\0\x06\0\xFF\xFF\xFF\xFF"
							  "\x02\0\0\0\xFE\xFF\0\0"
							  "\x04\0\x04\0\xFF\xFF\xFF\xFF"
							  "\x10\0\x04\0\xFF\xFF\xFF\xFF"
							  "\x20\0\x04\0\xFF\xFF\xFF\xFF",
		44);

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
		// The kits hand back resolved paths; so does the folder.
		char* resolved = realpath(pattern.c_str(), NULL);
		fPath = resolved != NULL ? resolved : pattern;
		free(resolved);
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

	// Makes a file, a folder or a symbolic link in the folder and returns its
	// path.
	std::string
	add_file(const std::string& name, const std::string& content) const
	{
		std::string path = *this / name;
		std::ofstream(path, std::ios::binary) << content;
		return path;
	}
	std::string
	add_folder(const std::string& name) const
	{
		std::string path = *this / name;
		mkdir(path.c_str(), 0755);
		return path;
	}
	std::string
	add_link(const std::string& name, const std::string& target) const
	{
		std::string path = *this / name;
		if (symlink(target.c_str(), path.c_str()) != 0)
			return std::string();
		return path;
	}

	// Why the folder cannot hold user extended attributes; empty when it
	// can.
	std::string
	xattr_trouble() const
	{
		std::string probe = *this / ".xattr-probe";
		std::ofstream(probe) << "";
		int result = setxattr(probe.c_str(), "user.probe", "1", 1, 0);
		int error = errno;
		unlink(probe.c_str());
		if (result == 0)
			return std::string();
		return fPath + " takes no user extended attributes (" + strerror(error)
				+ ")";
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

// A test with a scratch folder of its own.
class FolderTest : public testing::Test {
protected:
	Folder fScratch;
};

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

} // namespace test

// Fails the running test unless the folder takes user extended attributes.
#define ASSERT_FOLDER_HAS_XATTRS(folder)                                       \
	ASSERT_EQ((folder).xattr_trouble(), "")                                    \
			<< "put the build folder on a file system with user extended "     \
			   "attributes (ext4, xfs, btrfs)"

#endif // TESTS_SUPPORT_FILES_H
