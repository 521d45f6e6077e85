/*
 * Writing the converted file. The converted text is written whole into a new
 * file beside the source that nobody else can have made, with the source's
 * attributes, owner and permissions; it takes the backup's name, and one
 * exchange of names then puts it in place and the source aside. At every
 * instant the name holds either the original or the whole converted text,
 * no entry that exists is ever replaced, and a file changed meanwhile by
 * another program keeps that program's version.
 */
#include "convert/convert.h"

#include "charmap/options.h"
#include "convert/new_file.h"
#include "convert/result.h"
#include "convert/source_file.h"
#include "convert/stamp.h"
#include "convert/write_text.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>


namespace {

const char kBackupSuffix[] = "-BAK";

// Numbered names are tried up to this one; a folder with all of them taken
// is not one a person keeps.
const int kMaxNumber = 100000;


// name-BAK, name-BAK2, name-BAK3...: the n-th candidate for a name that
// must be new.
std::string
numbered(const std::string& leaf, const char* suffix, int n)
{
	std::string name = leaf + suffix;
	if (n > 1)
		name += std::to_string(n);
	return name;
}


const char kChangedMeanwhile[]
		= "it was changed by another program while being converted";


// Reasons in a person's words; a refusal by the folder is named as such.
std::string
folder_reason(const char* what, int error)
{
	if (error == EACCES || error == EPERM || error == EROFS)
		return std::string("the folder cannot be written: ") + strerror(error);
	return std::string(what) + ": " + strerror(error);
}


void
step(const char* name)
{
	if (replace_step_hook != NULL)
		replace_step_hook(name);
}


// The host refuses a second name for this file here, but a rename may do.
// Without the host's paths of open files nothing can be linked through them;
// with them, a file that is not found was removed meanwhile.
bool
cannot_link(int error)
{
	if (error == ENOENT)
		return access("/proc/self/fd", F_OK) != 0;
	return error == EPERM || error == EOPNOTSUPP || error == EMLINK
			|| error == EXDEV;
}


// The host cannot trade two names in one step here.
bool
cannot_swap(int error)
{
	return error == EINVAL || error == EOPNOTSUPP || error == ENOSYS;
}


// The backup: a second name for the file that was read, the first free one
// of name-BAK, name-BAK2, ... Where the host gives no second name the source
// is renamed instead (moved). Nothing that exists is replaced. 0, or the
// host's error.
int
make_backup(const source_file& source, std::string& made, bool& moved)
{
	// Through the open file, so the link is to what was read.
	moved = false;
	for (int n = 1; n <= kMaxNumber; n++) {
		std::string name = numbered(source.leaf, kBackupSuffix, n);
		int result = moved
				? renameat2(source.folder, source.leaf.c_str(), source.folder,
						name.c_str(), RENAME_NOREPLACE)
				: link_open_file(source.fd, source.folder, name.c_str());
		if (result == 0) {
			made = name;
			return 0;
		}
		if (!moved && cannot_link(errno)) {
			moved = true;
			n--;
			continue;
		}
		if (errno != EEXIST)
			return errno;
	}
	return EEXIST;
}


// The new file under the first free name of leaf + suffix, leaf + suffix 2,
// ...: 0, or the host's error.
int
take_numbered(const source_file& source, new_file& target, const char* suffix,
		std::string& taken)
{
	for (int n = 1; n <= kMaxNumber; n++) {
		taken = numbered(source.leaf, suffix, n);
		int error = target.TakeFreeName(taken);
		if (error != EEXIST)
			return error;
	}
	return EEXIST;
}


void
backup_refused(int error)
{
	if (error == ENAMETOOLONG)
		result_left_alone("its name leaves no room for a backup name");
	else if (error == ENOENT)
		result_left_alone(kChangedMeanwhile);
	else
		result_left_alone(folder_reason("the backup cannot be made", error));
}


// True when name is a name of the file that was read, as it was read. The
// same file has but one status, so the one seen through name tells.
bool
names_source(const source_file& source, const std::string& name)
{
	struct stat named;
	return fstatat(source.folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW)
			== 0
			&& same_version(named, source.status);
}


// Takes back the backup just made when the conversion cannot go on; false
// when the original stays under the backup name.
bool
undo_backup(const source_file& source, const std::string& made, bool moved)
{
	if (moved) {
		return renameat2(source.folder, made.c_str(), source.folder,
					   source.leaf.c_str(), RENAME_NOREPLACE)
				== 0;
	}
	// Only a second name of the file that was read is ours to take away.
	struct stat named;
	if (fstatat(source.folder, made.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
			&& named.st_dev == source.status.st_dev
			&& named.st_ino == source.status.st_ino)
		unlinkat(source.folder, made.c_str(), 0);
	return true;
}


// Owner, attributes and permission bits of the source onto the new file,
// all by descriptor.
attribute_copy
carry_over(const source_file& source, const new_file& target)
{
	// First, as giving a file away drops some of its attributes; a refusal
	// only means that we may not give it away. A file that is already the
	// source owner's is left as it is, which costs far less.
	int fd = target.fd();
	const struct stat& own = target.Status();
	if (own.st_uid != source.status.st_uid
			|| own.st_gid != source.status.st_gid) {
		int given = fchown(fd, source.status.st_uid, source.status.st_gid);
		(void)given;
	}
	attribute_copy copy = copy_attributes(source.fd, fd, source.path.c_str());
	// Last, as an access list just copied moves the group bits along; the
	// new file's permissions are the source's, never wider.
	mode_t mode = source.status.st_mode & 0777;
	if (copy.accessList || (own.st_mode & 07777) != mode)
		fchmod(fd, mode);
	return copy;
}


// Where the host cannot trade two names (some network and FAT file
// systems): the new text leaves the backup's name to the source, and one
// rename then puts it in place of the source's.
bool
replace_by_rename(
		const source_file& source, new_file& target, conversion_stamp& stamp)
{
	std::string& made = stamp.backup;
	bool moved = false;
	int error = target.GiveUpName();
	if (error == 0)
		error = make_backup(source, made, moved);
	if (error != 0) {
		backup_refused(error);
		return false;
	}
	stamp_conversion(target.fd(), stamp, source.path.c_str());

	std::string reason;
	// Moved, the source's name is free; linked, it still names the source.
	if (!names_source(source, made)
			|| !(moved || names_source(source, source.leaf))) {
		reason = kChangedMeanwhile;
	} else {
		error = moved ? target.TakeFreeName(source.leaf)
					  : target.ReplaceName(source.leaf);
		if (error == EEXIST && moved)
			reason = kChangedMeanwhile;
		else if (error != 0)
			reason = folder_reason("the new text cannot take its name", error);
	}
	if (reason.empty()) {
		target.Keep();
		return true;
	}
	if (!undo_backup(source, made, moved))
		reason += "; the original is kept as " + made;
	result_left_alone(reason);
	return false;
}


// r_modus 0: the new text takes the first free backup name, gets its stamp,
// and then trades names with the source in one step: the source itself
// becomes the backup. Nothing that exists is replaced, and the source's
// name never holds anything but the original or the whole new text. stamp
// holds what was written and receives the backup's name. False with the
// reason noted when the source is left as it was.
bool
replace_source(
		const source_file& source, new_file& target, conversion_stamp& stamp)
{
	std::string& made = stamp.backup;
	int error = take_numbered(source, target, kBackupSuffix, made);
	if (error != 0) {
		backup_refused(error);
		return false;
	}
	step("backup");
	stamp_conversion(target.fd(), stamp, source.path.c_str());

	std::string reason;
	if (!names_source(source, source.leaf)) {
		reason = kChangedMeanwhile;
	} else {
		step("checked");
		error = target.SwapWith(source.leaf);
		if (cannot_swap(error))
			return replace_by_rename(source, target, stamp);
		if (error != 0) {
			reason = folder_reason("the new text cannot take its name", error);
		} else if (!names_source(source, made)) {
			// Replaced in the instant since the check: theirs goes back.
			reason = kChangedMeanwhile;
			if (target.SwapWith(made) != 0) {
				target.Keep();
				reason += "; that version is kept as " + made;
			}
		}
	}
	if (reason.empty()) {
		target.Keep();
		return true;
	}
	result_left_alone(reason);
	return false;
}


// r_modus 1: the new text under the first free name of name-N, name-N2, ...;
// the source stays as it is.
bool
place_beside(const source_file& source, new_file& target, const char* suffix,
		std::string& placed)
{
	if (!source_unchanged(source)) {
		result_left_alone(kChangedMeanwhile);
		return false;
	}
	int error = take_numbered(source, target, suffix, placed);
	if (error == 0) {
		target.Keep();
		return true;
	}
	result_left_alone(error == EEXIST
					? "no free name is left for the new file"
					: folder_reason("the new file cannot be named", error));
	return false;
}

} // namespace


void
toNFile(char* buffer, off_t length, char* path)
{
	mt map[kMapSize];
	map[0].Clear();
	map[0].SetNewline(fstyle);
	load_table(map, ostyle);

	source_file opened;
	const source_file* source = current_source;
	if (source == NULL || source->path != path) {
		std::string reason = open_source(path, opened);
		if (!reason.empty()) {
			result_left_alone(reason);
			return;
		}
		source = &opened;
	}

	step("read");
	new_file target(source->folder);
	// Writable by its owner until the attributes are on: the host asks for
	// that to set them.
	int error = target.Create((source->status.st_mode & 0777) | S_IWUSR);
	if (error != 0) {
		printf("\n No Target access !\n");
		result_left_alone(folder_reason("the new file cannot be made", error));
		return;
	}

	size_t size = length > 0 ? (size_t)length : 0;
	conversion_stamp stamp;
	error = write_converted(target.fd(), map, (const uint8_t*)buffer, size,
			source->mapped, stamp);
	if (error != 0) {
		printf("\n\n\n");
		if (error == kCutShort)
			result_left_alone(kChangedMeanwhile);
		else
			result_left_alone(std::string("the new text cannot be written: ")
					+ strerror(error));
		return;
	}
	// What it has to tell is told only for a file that is converted.
	attribute_copy attributes = carry_over(*source, target);
	step("written");

	// Only writing beside the source leaves it in place; any other value
	// sets it aside.
	bool replace = r_modus != kRModusBeside;
	std::string placed = source->leaf;
	bool done = replace ? replace_source(*source, target, stamp)
						: place_beside(*source, target, map[0].ext, placed);
	if (!done) {
		printf("\n\n\n");
		return;
	}

	std::string folder(path, strlen(path) - source->leaf.length());
	last_result.converted = true;
	last_result.output = folder + placed;
	if (replace) {
		last_result.backup = folder + stamp.backup;
		printf("\n rename: '%s' \n \t to: '%s'", path,
				last_result.backup.c_str());
	}
	printf("\n\n\n");
	fwrite(attributes.echoes.data(), 1, attributes.echoes.size(), stdout);
	fputs(attributes.warnings.c_str(), stderr);

	static char html[] = "text/html";
	if (pop_ind == kPopIndHtml && ostyle == kStyleBe) {
		std::string node = descriptor_path(target.fd());
		mim_setA(node.data(), html);
	}
}
