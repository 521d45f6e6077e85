#include "convert/undo.h"

#include "convert/result.h"
#include "convert/source_file.h"
#include "convert/stamp.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>


namespace {

const char kChangedMeanwhile[]
		= "it was changed by another program while being undone";


std::string
folder_of(const char* path, const std::string& leaf)
{
	return std::string(path, strlen(path) - leaf.length());
}


// Why a file's stamp does not serve; empty when it does.
std::string
stamp_problem(int error)
{
	if (error == 0)
		return std::string();
	if (error == ENODATA)
		return "it carries no stamp of a conversion";
	if (error == ENOTSUP)
		return "its file system keeps no stamp of a conversion";
	if (error == EINVAL)
		return "its stamp of a conversion is damaged";
	return std::string("its stamp of a conversion cannot be read: ")
			+ strerror(error);
}


// Why the converted file may not be replaced by its original; empty when
// it may.
std::string
refusal(const source_file& converted, const conversion_stamp& stamp)
{
	if (!names_backup_of(stamp.backup, converted.leaf))
		return "it was renamed since its conversion";
	uint64_t size = 0;
	uint64_t checksum = 0;
	int error = checksum_file(converted.fd, size, checksum);
	if (error != 0)
		return std::string("it cannot be read: ") + strerror(error);
	if (size != stamp.size || checksum != stamp.checksum)
		return "it was changed since its conversion";
	struct stat original;
	if (fstatat(converted.folder, stamp.backup.c_str(), &original,
				AT_SYMLINK_NOFOLLOW)
			!= 0) {
		if (errno == ENOENT)
			return "its original " + stamp.backup + " is missing";
		return "its original " + stamp.backup
				+ " cannot be looked at: " + strerror(errno);
	}
	// A second name of the converted text is no original.
	if (!S_ISREG(original.st_mode)
			|| (original.st_dev == converted.status.st_dev
					&& original.st_ino == converted.status.st_ino))
		return "its original " + stamp.backup + " is not its original any more";
	if (!source_unchanged(converted))
		return kChangedMeanwhile;
	return std::string();
}


// The original takes the converted file's name in one step. Where the host
// swaps names, the converted text comes out under the backup's name, to be
// checked: what another program put there in the instant since the check
// goes back, and the converted text, which the original gives again, goes.
std::string
put_back(const source_file& converted, const conversion_stamp& stamp)
{
	const char* backup = stamp.backup.c_str();
	const char* leaf = converted.leaf.c_str();
	if (renameat2(converted.folder, backup, converted.folder, leaf,
				RENAME_EXCHANGE)
			== 0) {
		struct stat swapped;
		if (fstatat(converted.folder, backup, &swapped, AT_SYMLINK_NOFOLLOW)
						!= 0
				|| !same_version(swapped, converted.status)) {
			renameat2(converted.folder, backup, converted.folder, leaf,
					RENAME_EXCHANGE);
			return kChangedMeanwhile;
		}
		unlinkat(converted.folder, backup, 0);
		return std::string();
	}
	if (errno == EINVAL || errno == EOPNOTSUPP || errno == ENOSYS) {
		if (renameat(converted.folder, backup, converted.folder, leaf) == 0)
			return std::string();
	}
	if (errno == EACCES || errno == EPERM || errno == EROFS)
		return std::string("the folder cannot be written: ") + strerror(errno);
	return std::string("the original cannot take its name back: ")
			+ strerror(errno);
}

} // namespace


void
undo_conversion(char* path)
{
	result_start();
	source_file selected;
	std::string reason = open_source(path, selected);
	if (!reason.empty()) {
		result_left_alone(reason);
		return;
	}
	std::string folder = folder_of(path, selected.leaf);

	// A backup selected stands for the conversion whose stamp names it.
	source_file named;
	const source_file* converted = &selected;
	conversion_stamp stamp;
	int error = read_stamp(selected.fd, stamp);
	std::string leaf = leaf_of_backup(selected.leaf);
	conversion_stamp other;
	if (!leaf.empty() && open_source((folder + leaf).c_str(), named).empty()
			&& read_stamp(named.fd, other) == 0) {
		if (other.backup == selected.leaf) {
			converted = &named;
			stamp = other;
			error = 0;
		} else if (error != 0) {
			result_left_alone(leaf
					+ " was converted again since; undo that"
					  " first");
			return;
		}
	}
	reason = stamp_problem(error);
	if (reason.empty())
		reason = refusal(*converted, stamp);
	if (reason.empty())
		reason = put_back(*converted, stamp);
	if (!reason.empty()) {
		result_left_alone(reason);
		return;
	}

	last_result.converted = true;
	last_result.output = folder + converted->leaf;
	last_result.backup = folder + stamp.backup;
	printf("\n rename: '%s' \n \t to: '%s'\n", last_result.backup.c_str(),
			last_result.output.c_str());
}
