#include "convert/backup_owner.h"

#include "convert/stamp.h"

#include <fcntl.h>
#include <unistd.h>

#include <set>


std::string
backup_owner(int folder, const std::string& leaf)
{
	std::string owner = leaf_of_backup(leaf);
	if (owner.empty())
		return std::string();
	// Each stamp names the backup of one conversion of owner, the newest
	// first; a name seen twice ends the way, as does a file without one.
	std::set<std::string> seen;
	for (std::string name = owner; seen.insert(name).second;) {
		int fd = openat(folder, name.c_str(),
				O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
		if (fd < 0)
			return std::string();
		conversion_stamp stamp;
		int error = read_stamp(fd, stamp);
		close(fd);
		if (error != 0)
			return std::string();
		name = backup_name(owner, stamp.backup);
		if (name == leaf)
			return owner;
	}
	return std::string();
}
