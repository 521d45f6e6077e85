#include "convert/undo.h"

#include "convert/new_file.h"
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


std::string
folder_reason(const char* what, int error)
{
	if (error == EACCES || error == EPERM || error == EROFS)
		return std::string("the folder cannot be written: ") + strerror(error);
	return std::string(what) + ": " + strerror(error);
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
	if (error == kEarlierStamp)
		return "its stamp is of an earlier Textwend, which did not record "
			   "the original: it is not trusted";
	return std::string("its stamp of a conversion cannot be read: ")
			+ strerror(error);
}


// True when the file under name in folder holds exactly the text of size
// bytes and checksum checksum; status receives what it is.
bool
holds_text(int folder, const std::string& name, uint64_t size,
		uint64_t checksum, struct stat& status)
{
	int fd = openat(folder, name.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return false;
	uint64_t hasSize = 0;
	uint64_t hasChecksum = 0;
	bool holds = fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
			&& checksum_file(fd, hasSize, hasChecksum) == 0 && hasSize == size
			&& hasChecksum == checksum;
	close(fd);
	return holds;
}


// Why the converted file may not be replaced by its original; empty when
// it may. original receives what the backup is.
std::string
refusal(const source_file& converted, const conversion_stamp& stamp,
		struct stat& original)
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
	if (fstatat(converted.folder, stamp.backup.c_str(), &original,
				AT_SYMLINK_NOFOLLOW)
			!= 0) {
		if (errno == ENOENT)
			return "its original " + stamp.backup + " is missing";
		return "its original " + stamp.backup
				+ " cannot be looked at: " + strerror(errno);
	}
	// Only the very text that was converted is put back: not a second name
	// of the converted text, not another file moved there since.
	if (!holds_text(converted.folder, stamp.backup, stamp.originalSize,
				stamp.originalChecksum, original)
			|| (original.st_dev == converted.status.st_dev
					&& original.st_ino == converted.status.st_ino))
		return "its original " + stamp.backup + " is not its original any more";
	if (!source_unchanged(converted))
		return kChangedMeanwhile;
	return std::string();
}


// Where the host trades names: the original takes the converted file's name
// in one step, and the converted text comes out under the backup's name, to
// be checked: what another program put on either name in the instant since
// the check goes back. The converted text, which the original gives again,
// then goes. warning receives what is left over.
std::string
put_back_by_exchange(const source_file& converted, const std::string& backup,
		const struct stat& original, std::string& warning)
{
	int folder = converted.folder;
	const std::string& leaf = converted.leaf;
	if (renameat2(folder, backup.c_str(), folder, leaf.c_str(), RENAME_EXCHANGE)
			!= 0)
		return folder_reason("the original cannot take its name back", errno);
	if (!names_file(folder, backup, converted.status, name_match::kSameVersion)
			|| !names_file(folder, leaf, original, name_match::kSameVersion)) {
		if (renameat2(folder, backup.c_str(), folder, leaf.c_str(),
					RENAME_EXCHANGE)
				!= 0)
			return std::string(kChangedMeanwhile) + "; its names are traded: "
					+ leaf + " now holds what was " + backup;
		return kChangedMeanwhile;
	}
	if (unlinkat(folder, backup.c_str(), 0) != 0)
		warning = "the converted text stays as " + backup + ": "
				+ strerror(errno);
	return std::string();
}


// Where the host cannot trade names (NFS, CIFS, FAT): one rename puts the
// original over the converted file's name, checked before and after.
std::string
put_back_by_rename(const source_file& converted, const std::string& backup,
		const struct stat& original)
{
	int folder = converted.folder;
	const std::string& leaf = converted.leaf;
	struct stat before;
	if (fstat(converted.fd, &before) != 0
			|| !names_file(folder, backup, original, name_match::kSameVersion))
		return kChangedMeanwhile;
	if (renameat(folder, backup.c_str(), folder, leaf.c_str()) != 0)
		return folder_reason("the original cannot take its name back", errno);
	struct stat after;
	if (!names_file(folder, leaf, original, name_match::kSameFile))
		return std::string(kChangedMeanwhile)
				+ "; another program's version now has the name";
	if (fstat(converted.fd, &after) != 0
			|| after.st_nlink + 1 != before.st_nlink)
		return std::string(kChangedMeanwhile)
				+ "; the original replaced that version";
	return std::string();
}


// What an interrupted conversion or undo left: the converted text under its
// backup's name, while the name holds the original again. Undone, it goes.
std::string
clear_leftover(const source_file& leftover, const conversion_stamp& stamp,
		const std::string& folder)
{
	std::string leaf = leaf_of_backup(leftover.leaf);
	struct stat original;
	if (!holds_text(leftover.folder, leaf, stamp.originalSize,
				stamp.originalChecksum, original))
		return "it was left by an interrupted conversion, and " + leaf
				+ " has changed since; it is kept";
	if (!names_file(leftover.folder, leftover.leaf, leftover.status,
				name_match::kSameVersion))
		return kChangedMeanwhile;
	if (unlinkat(leftover.folder, leftover.leaf.c_str(), 0) != 0)
		return folder_reason("it cannot be removed", errno);
	fprintf(stderr,
			"Textwend: '%s': left by an interrupted conversion; "
			"removed, as %s still holds its original\n",
			(folder + leftover.leaf).c_str(), leaf.c_str());
	last_result.converted = true;
	last_result.output = folder + leaf;
	last_result.backup = folder + leftover.leaf;
	return std::string();
}


// The leftover of an interrupted conversion of leaf in folder, if any: the
// backup names are looked at in turn while they are taken.
bool
find_leftover(int folder, const std::string& leaf, std::string& name)
{
	conversion_stamp stamp;
	struct stat status;
	for (int n = 1;; n++) {
		name = backup_name(leaf, n);
		if (is_leftover(folder, name, stamp, status))
			return true;
		if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
			return false;
	}
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

	conversion_stamp stamp;
	int error = read_stamp(selected.fd, stamp);
	if (error == 0 && stamp.backup == selected.leaf) {
		reason = clear_leftover(selected, stamp, folder);
		if (!reason.empty())
			result_left_alone(reason);
		return;
	}
	std::string leftover;
	if (error == ENODATA
			&& find_leftover(selected.folder, selected.leaf, leftover)) {
		result_left_alone("it was not converted: " + leftover
				+ " is what an interrupted conversion left; undo that");
		return;
	}

	// A backup selected stands for the conversion whose stamp names it.
	source_file named;
	const source_file* converted = &selected;
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
	struct stat original;
	reason = stamp_problem(error);
	if (reason.empty())
		reason = refusal(*converted, stamp, original);
	std::string warning;
	if (reason.empty())
		reason = can_swap_names(converted->folder, converted->status.st_dev)
				? put_back_by_exchange(
						*converted, stamp.backup, original, warning)
				: put_back_by_rename(*converted, stamp.backup, original);
	if (!reason.empty()) {
		result_left_alone(reason);
		return;
	}

	last_result.converted = true;
	last_result.output = folder + converted->leaf;
	last_result.backup = folder + stamp.backup;
	printf("\n rename: '%s' \n \t to: '%s'\n", last_result.backup.c_str(),
			last_result.output.c_str());
	if (!warning.empty())
		fprintf(stderr, "Textwend: '%s': %s\n", last_result.output.c_str(),
				warning.c_str());
}
