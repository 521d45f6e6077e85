#include "convert/backup_owner.h"

#include "convert/names.h"
#include "convert/stamp.h"

#include <fcntl.h>
#include <unistd.h>

#include <set>


namespace {

// True when leaf is one of the backups that the conversions of owner
// keep, following its stamp and those of its earlier converted texts.
bool
keeps(int folder, const std::string& owner, const std::string& leaf)
{
	// Each stamp names the backup of one conversion, the newest first; a
	// name seen twice ends the way, as does a file without one. A
	// conversion that gave the file its name in UTF-8 kept its original
	// under the original's name, and the earlier ones are backups of that.
	std::set<std::string> seen;
	std::string base = owner;
	for (std::string name = owner; seen.insert(name).second;) {
		int fd = openat(folder, name.c_str(),
				O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
		if (fd < 0)
			return false;
		conversion_stamp stamp;
		int error = read_stamp(fd, stamp);
		close(fd);
		if (error != 0)
			return false;
		name = stamped_backup(base, stamp);
		if (!stamp.originalName.empty())
			base = stamp.originalName;
		if (name == leaf)
			return true;
	}
	return false;
}

} // namespace


std::string
backup_owner(int folder, const std::string& leaf)
{
	std::string owner = leaf_of_backup(leaf);
	if (owner.empty())
		return std::string();
	if (keeps(folder, owner, leaf))
		return owner;
	// The file may have taken its name in UTF-8 from the backup's.
	for (const std::string& renamed : readings_of(owner)) {
		if (keeps(folder, renamed, leaf))
			return renamed;
	}
	return std::string();
}
