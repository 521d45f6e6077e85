#include "convert/undo.h"

#include "app/text_domain.h"
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
		= N_("it was changed by another program while being undone");


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
		return _("it carries no stamp of a conversion");
	if (error == ENOTSUP)
		return _("its file system keeps no stamp of a conversion");
	if (error == EINVAL)
		return _("its stamp of a conversion is damaged");
	if (error == kEarlierStamp)
		return _("its stamp is of an earlier Textwend, which did not record "
				 "the original: it is not trusted");
	return filled(_("its stamp of a conversion cannot be read: %s"),
			{strerror(error)});
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


// Why the converted file may not be replaced by its original, kept as
// backup; empty when it may. original receives what the backup is.
std::string
refusal(const source_file& converted, const conversion_stamp& stamp,
		const std::string& backup, struct stat& original)
{
	uint64_t size = 0;
	uint64_t checksum = 0;
	int error = checksum_file(converted.fd, size, checksum);
	if (error != 0)
		return filled(_("it cannot be read: %s"), {strerror(error)});
	if (size != stamp.size || checksum != stamp.checksum)
		return _("it was changed since its conversion");
	if (fstatat(converted.folder, backup.c_str(), &original,
				AT_SYMLINK_NOFOLLOW)
			!= 0) {
		if (errno == ENOENT)
			return filled(_("its original %s is missing"), {backup});
		return filled(_("its original %s cannot be looked at: %s"),
				{backup, strerror(errno)});
	}
	// Only the very text that was converted is put back: not a second name
	// of the converted text, not another file moved there since.
	if (!holds_text(converted.folder, backup, stamp.originalSize,
				stamp.originalChecksum, original)
			|| (original.st_dev == converted.status.st_dev
					&& original.st_ino == converted.status.st_ino))
		return filled(
				_("its original %s is not its original any more"), {backup});
	if (!source_unchanged(converted))
		return _(kChangedMeanwhile);
	return std::string();
}


// Where the host trades names: the original takes the converted file's name
// in one step, and the converted text comes out under the backup's name, to
// be checked: what another program put on either name in the instant since
// the check goes back. The converted text, which the original gives again,
// then goes. The converted file's name is the first of the trade, as a
// folder view that follows the host's report keeps that one. warning
// receives what is left over.
std::string
put_back_by_exchange(const source_file& converted, const std::string& backup,
		const struct stat& original, std::string& warning)
{
	int folder = converted.folder;
	const std::string& leaf = converted.leaf;
	if (renameat2(folder, leaf.c_str(), folder, backup.c_str(), RENAME_EXCHANGE)
			!= 0)
		return folder_reason(
				_("the original cannot take its name back: %s"), errno);
	if (!names_file(folder, backup, converted.status, name_match::kSameVersion)
			|| !names_file(folder, leaf, original, name_match::kSameVersion)) {
		if (renameat2(folder, leaf.c_str(), folder, backup.c_str(),
					RENAME_EXCHANGE)
				!= 0)
			return _(kChangedMeanwhile)
					+ filled(_("; its names are traded: %s now holds what was "
							   "%s"),
							{leaf, backup});
		return _(kChangedMeanwhile);
	}
	if (unlinkat(folder, backup.c_str(), 0) != 0)
		warning = filled(_("the converted text stays as %s: %s"),
				{backup, strerror(errno)});
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
		return _(kChangedMeanwhile);
	if (renameat(folder, backup.c_str(), folder, leaf.c_str()) != 0)
		return folder_reason(
				_("the original cannot take its name back: %s"), errno);
	struct stat after;
	if (!names_file(folder, leaf, original, name_match::kSameFile))
		return std::string(_(kChangedMeanwhile))
				+ _("; another program's version now has the name");
	if (fstat(converted.fd, &after) != 0
			|| after.st_nlink + 1 != before.st_nlink)
		return std::string(_(kChangedMeanwhile))
				+ _("; the original replaced that version");
	return std::string();
}


// What a conversion of leaf cut off left under its hidden name goes, now
// that leaf holds its original (status; size and checksum) again.
void
clear_cut_off(int at, const std::string& folder, const std::string& leaf,
		const struct stat& original, uint64_t size, uint64_t checksum)
{
	std::string name = hidden_name(leaf);
	struct stat status;
	if (name.empty()
			|| fstatat(at, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
		return;
	if (remove_cut_off(at, name, original, size, checksum))
		fprintf(stderr, "Textwend: '%s': %s\n", (folder + name).c_str(),
				_("left by an interrupted conversion; removed"));
}


// Removes the backup name of selected, a second name of leaf: empty, or why
// it stays.
std::string
remove_second_name(const source_file& selected, const std::string& leaf,
		const std::string& folder)
{
	struct stat seen;
	if (fstat(selected.fd, &seen) != 0
			|| !names_file(
					selected.folder, selected.leaf, seen, name_match::kSameFile)
			|| !names_file(selected.folder, leaf, seen, name_match::kSameFile))
		return _(kChangedMeanwhile);
	uint64_t size = 0;
	uint64_t checksum = 0;
	if (checksum_file(selected.fd, size, checksum) != 0)
		return filled(_("it cannot be read: %s"), {strerror(errno)});
	if (unlinkat(selected.folder, selected.leaf.c_str(), 0) != 0)
		return folder_reason(_("it cannot be removed: %s"), errno);
	fprintf(stderr, "Textwend: '%s': %s\n", (folder + selected.leaf).c_str(),
			filled(_("a second name of %s, left by an interrupted conversion; "
					 "removed"),
					{leaf})
					.c_str());
	clear_cut_off(selected.folder, folder, leaf, seen, size, checksum);
	last_result.converted = true;
	last_result.output = folder + leaf;
	last_result.backup = folder + selected.leaf;
	return std::string();
}


// The leftover of an interrupted conversion of leaf in folder by an earlier
// Textwend, if any: the backup names are looked at in turn while they are
// taken.
bool
find_leftover(int folder, const std::string& leaf, std::string& name)
{
	struct stat status;
	for (int n = 1;; n++) {
		name = backup_name(leaf, n);
		if (is_leftover(folder, name))
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

	// What an earlier Textwend left when it was interrupted: the converted
	// text under the backup's name, while the name still holds the
	// original. It is the person's to keep or remove.
	std::string leaf = leaf_of_backup(selected.leaf);
	if (!leaf.empty() && is_leftover(selected.folder, selected.leaf)) {
		result_left_alone(
				filled(_("it is what an interrupted conversion by an earlier "
						 "Textwend left; %s still holds the original"),
						{leaf}));
		return;
	}
	// A backup that is a second name of the file itself: what a conversion
	// cut off before its exchange of names left. The file was never
	// converted, and undone, the second name goes.
	struct stat unconverted;
	if (!leaf.empty()
			&& fstatat(selected.folder, leaf.c_str(), &unconverted,
					   AT_SYMLINK_NOFOLLOW)
					== 0
			&& names_file(selected.folder, selected.leaf, unconverted,
					name_match::kSameFile)) {
		reason = remove_second_name(selected, leaf, folder);
		if (!reason.empty())
			result_left_alone(reason);
		return;
	}
	conversion_stamp stamp;
	int error = read_stamp(selected.fd, stamp);
	std::string leftover;
	if (error == ENODATA
			&& find_leftover(selected.folder, selected.leaf, leftover)) {
		result_left_alone(filled(_("it was not converted: %s is what an "
								   "interrupted conversion by an earlier "
								   "Textwend left"),
				{leftover}));
		return;
	}

	// A backup selected stands for the conversion whose stamp names it.
	source_file named;
	const source_file* converted = &selected;
	conversion_stamp other;
	if (!leaf.empty() && open_source((folder + leaf).c_str(), named).empty()
			&& read_stamp(named.fd, other) == 0) {
		if (backup_name(leaf, other.backup) == selected.leaf) {
			converted = &named;
			stamp = other;
			error = 0;
		} else if (error != 0) {
			result_left_alone(
					filled(_("%s was converted again since; undo that first"),
							{leaf}));
			return;
		}
	}
	std::string backup = backup_name(converted->leaf, stamp.backup);
	struct stat original;
	reason = stamp_problem(error);
	if (reason.empty())
		reason = refusal(*converted, stamp, backup, original);
	std::string warning;
	if (reason.empty())
		reason = can_swap_names(converted->folder, converted->status.st_dev)
				? put_back_by_exchange(*converted, backup, original, warning)
				: put_back_by_rename(*converted, backup, original);
	if (!reason.empty()) {
		result_left_alone(reason);
		return;
	}

	clear_cut_off(converted->folder, folder, converted->leaf, original,
			stamp.originalSize, stamp.originalChecksum);
	last_result.converted = true;
	last_result.output = folder + converted->leaf;
	last_result.backup = folder + backup;
	printf("\n rename: '%s' \n \t to: '%s'\n", last_result.backup.c_str(),
			last_result.output.c_str());
	if (!warning.empty())
		fprintf(stderr, "Textwend: '%s': %s\n", last_result.output.c_str(),
				warning.c_str());
}
