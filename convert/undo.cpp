/*
 * Undoing a conversion: the original, kept as the backup that the stamp of
 * the converted file names, takes its name back. Both carry the run's mark
 * (run_lock.h) from the moment they are opened, so that no other run works
 * on either meanwhile, and neither may be held by another program. A
 * converted file that took the name in UTF-8 of a name that was none first
 * takes the original's name back, in one rename that replaces nothing;
 * cut off after it, an undo has left what a conversion that kept the name
 * leaves.
 */
#include "convert/undo.h"

#include "app/text_domain.h"
#include "convert/backup_owner.h"
#include "convert/convert.h"
#include "convert/family.h"
#include "convert/names.h"
#include "convert/new_file.h"
#include "convert/result.h"
#include "convert/run_lock.h"
#include "convert/source_file.h"
#include "convert/stamp.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>


namespace {

const char kChangedMeanwhile[]
		= N_("it was changed by another program while being undone");


void
tell(const std::string& path, const std::string& what)
{
	fputs(notice(path, what).c_str(), stderr);
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


// The backup that is put back, open and marked as this run's.
struct kept_original {
	int fd = -1;
	struct stat status = {};

	~kept_original()
	{
		if (fd >= 0)
			close(fd);
	}
};


// Opens name in the folder of converted as the original to put back, and
// marks it; a file this run holds already (selected) shares its opening.
// Empty, or why it cannot be put back.
std::string
open_original(const source_file& converted, const source_file& selected,
		const std::string& name, kept_original& original)
{
	original.fd = openat(converted.folder, name.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (original.fd < 0 && errno == ENOENT)
		return filled(_("its original %s is missing"), {name});
	if ((original.fd < 0 && errno == ELOOP)
			|| (original.fd >= 0
					&& (fstat(original.fd, &original.status) != 0
							|| !S_ISREG(original.status.st_mode))))
		return filled(
				_("its original %s is not its original any more"), {name});
	if (original.fd < 0)
		return filled(_("its original %s cannot be looked at: %s"),
				{name, strerror(errno)});
	if (original.status.st_dev == selected.status.st_dev
			&& original.status.st_ino == selected.status.st_ino
			&& selected.fd >= 0) {
		close(original.fd);
		original.fd = fcntl(selected.fd, F_DUPFD_CLOEXEC, 0);
		return std::string();
	}
	run_lock lock = take_run_lock(original.fd);
	if (lock == run_lock::kOtherRun)
		return _(kOtherRun);
	if (lock == run_lock::kOtherLock)
		return _(kLockedElsewhere);
	return std::string();
}


// Why the converted file may not be replaced by its original, kept as
// backup; empty when it may. original receives the backup, opened.
std::string
refusal(const source_file& converted, const source_file& selected,
		const conversion_stamp& stamp, uint64_t size, uint64_t checksum,
		const std::string& backup, kept_original& original)
{
	if (size != stamp.size || checksum != stamp.checksum)
		return _("it was changed since its conversion");
	std::string reason = open_original(converted, selected, backup, original);
	if (!reason.empty())
		return reason;
	// Only the very text that was converted is put back: not a second name
	// of the converted text, not another file moved there since.
	uint64_t hasSize = 0;
	uint64_t hasChecksum = 0;
	if (checksum_file(original.fd, hasSize, hasChecksum) != 0
			|| hasSize != stamp.originalSize
			|| hasChecksum != stamp.originalChecksum
			|| (original.status.st_dev == converted.status.st_dev
					&& original.status.st_ino == converted.status.st_ino))
		return filled(
				_("its original %s is not its original any more"), {backup});
	reason = fixed_by_flag(converted.fd);
	if (reason.empty())
		reason = fixed_by_flag(original.fd);
	if (!reason.empty())
		return reason;
	if (!source_unchanged(converted))
		return _(kChangedMeanwhile);
	reason = held_by_program(converted.fd);
	return reason.empty() ? held_by_program(original.fd) : reason;
}


// The converted text, now under name, goes: it can be made again from the
// original, which has its name back. It is closed first, as NFS would keep
// the name of an open file as a hidden one of its own. warning receives
// why it stays.
void
remove_converted(
		source_file& converted, const std::string& name, std::string& warning)
{
	int folder = converted.folder;
	bool unchanged = names_file(folder, name, converted.status,
							 name_match::kSameVersion)
			&& held_by_program(converted.fd).empty();
	close(converted.fd);
	converted.fd = -1;
	if (!unchanged)
		warning = filled(_("the converted text stays as %s: it was changed "
						   "meanwhile"),
				{name});
	else if (unlinkat(folder, name.c_str(), 0) != 0)
		warning = filled(_("the converted text stays as %s: %s"),
				{name, strerror(errno)});
}


// Where the host trades no names (NFS, CIFS, FAT): the converted file is set
// aside under a name of its family, checked, and the original then takes
// the name with a call that cannot replace anything, so that a save by
// another program in the moment without the name keeps it.
std::string
put_back_by_rename(source_file& converted, const std::string& backup,
		kept_original& original, std::string& warning)
{
	int folder = converted.folder;
	const std::string& leaf = converted.leaf;
	std::string aside = family_name(leaf, family_member::kAside);
	int error = move_into_family(folder, leaf, aside);
	if (error != 0)
		return folder_reason(
				_("the original cannot take its name back: %s"), error);
	if (!names_file(
				folder, aside, converted.status, name_match::kSameVersion)) {
		std::string reason = _(kChangedMeanwhile);
		if (move_name(folder, aside, leaf) != 0)
			reason += filled(_("; that version is kept as %s"), {aside});
		return reason;
	}
	replace_step("aside");
	std::string stale;
	error = move_name(folder, backup, leaf, &stale);
	if (error == EEXIST) {
		// Saved by another program in that moment: its version keeps the
		// name, and the original its backup's.
		remove_converted(converted, aside, warning);
		return std::string(_(kChangedMeanwhile))
				+ _("; another program's version now has the name");
	}
	if (error != 0) {
		std::string reason = folder_reason(
				_("the original cannot take its name back: %s"), error);
		if (move_name(folder, aside, leaf) != 0)
			reason += filled(_("; the converted text is kept as %s"), {aside});
		return reason;
	}
	replace_step("placed");
	close(original.fd);
	original.fd = -1;
	drop_stale(folder, stale, original.status);
	remove_converted(converted, aside, warning);
	return std::string();
}


// The original takes the converted file's name in one step where the host
// trades names, and the converted text comes out under the backup's name,
// to be checked: what another program put on either name in the instant
// since the check goes back. The converted text, which the original gives
// again, then goes. The converted file's name is the first of the trade, as
// a folder view that follows the host's report keeps that one. warning
// receives what is left over.
std::string
put_back(source_file& converted, const std::string& backup,
		kept_original& original, std::string& warning)
{
	int folder = converted.folder;
	const std::string& leaf = converted.leaf;
	replace_step("checked");
	if (renameat2(folder, leaf.c_str(), folder, backup.c_str(), RENAME_EXCHANGE)
			!= 0) {
		if (cannot_trade(errno))
			return put_back_by_rename(converted, backup, original, warning);
		return folder_reason(
				_("the original cannot take its name back: %s"), errno);
	}
	replace_step("exchanged");
	if (!names_file(folder, backup, converted.status, name_match::kSameVersion)
			|| !names_file(
					folder, leaf, original.status, name_match::kSameVersion)
			|| !held_by_program(converted.fd).empty()) {
		if (renameat2(folder, leaf.c_str(), folder, backup.c_str(),
					RENAME_EXCHANGE)
				!= 0)
			return _(kChangedMeanwhile)
					+ filled(_("; its names are traded: %s now holds what was "
							   "%s"),
							{leaf, backup});
		return _(kChangedMeanwhile);
	}
	remove_converted(converted, backup, warning);
	return std::string();
}


// The converted file takes the name name in one rename that replaces
// nothing, while its own name is still the file as it was checked: the name
// its conversion gave it back to the original's, so that a folder view that
// follows the host's report keeps it, and the other way where the undo
// cannot go on. Empty, or why not.
std::string
take_name(source_file& converted, const std::string& name,
		const std::string& folder)
{
	int error = names_file(converted.folder, converted.leaf, converted.status,
						name_match::kSameVersion)
			? move_name(converted.folder, converted.leaf, name)
			: ENOENT;
	if (error == EEXIST)
		return filled(_("its original name %s is taken"), {name});
	if (error == ENOENT)
		return _(kChangedMeanwhile);
	if (error != 0)
		return folder_reason(
				_("it cannot take its original name back: %s"), error);
	converted.leaf = name;
	converted.path = folder + name;
	replace_step("renamed");
	return std::string();
}


// A name beside a file that holds what a run cut off left, and what to say
// of it.
struct cut_off {
	std::string name;
	std::string what;
};


// Removes the names beside kept that hold what runs cut off left: spare
// names of kept's file, or converted texts that an undo cut off left, which
// what now has the name can make again; what the rest of the family holds
// of runs cut off goes too. Notes the undo of the conversion whose backup
// was backup as done: empty, or why it is left.
std::string
remove_leftovers(const source_file& kept, const std::vector<cut_off>& names,
		const std::string& folder, const std::string& backup)
{
	struct stat seen;
	uint64_t size = 0;
	uint64_t checksum = 0;
	if (fstat(kept.fd, &seen) != 0
			|| !names_file(kept.folder, kept.leaf, seen, name_match::kSameFile))
		return _(kChangedMeanwhile);
	if (checksum_file(kept.fd, size, checksum) != 0)
		return filled(_("it cannot be read: %s"), {strerror(errno)});
	for (const cut_off& leftover : names) {
		if (unlinkat(kept.folder, leftover.name.c_str(), 0) != 0)
			return folder_reason(_("it cannot be removed: %s"), errno);
		tell(folder + leftover.name, leftover.what);
	}
	std::string notices;
	clear_leftovers(kept, size, checksum, notices);
	fputs(notices.c_str(), stderr);
	last_result.converted = true;
	last_result.output = folder + kept.leaf;
	last_result.backup = folder + backup;
	return std::string();
}


// For the file named, which carries no stamp and whose text has size bytes
// and the checksum checksum: the names beside it that hold what runs cut
// off left, second names of it or converted texts of what it holds (an
// undo's), under a backup's name or set aside. backup receives the backup
// they stand for.
std::vector<cut_off>
cut_off_names(const source_file& named, uint64_t size, uint64_t checksum,
		std::string& backup)
{
	std::vector<cut_off> found;
	struct stat status;
	for (int n = 0; n <= kMaxBackups; n++) {
		// The name set aside first, then the backups while they follow.
		std::string name = n == 0
				? family_name(named.leaf, family_member::kAside)
				: backup_name(named.leaf, n);
		if (fstatat(named.folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW)
				!= 0) {
			if (n == 0)
				continue;
			break;
		}
		if (n > 0
				&& names_file(named.folder, name, named.status,
						name_match::kSameFile)) {
			if (backup.empty())
				backup = name;
			found.push_back({name,
					filled(_("a second name of %s, left by an interrupted "
							 "run; removed"),
							{named.leaf})});
			continue;
		}
		int fd = openat(named.folder, name.c_str(),
				O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
		conversion_stamp stamp;
		bool converted = fd >= 0 && !held_by_run(fd)
				&& converted_from(fd, size, checksum)
				&& read_stamp(fd, stamp) == 0;
		if (fd >= 0)
			close(fd);
		if (converted) {
			backup = backup_name(named.leaf, stamp.backup);
			found.push_back({name, _("left by an interrupted undo; removed")});
		}
	}
	return found;
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


namespace {

// Undoes the conversion of the file that selected holds open, or of the one
// whose backup it is; opened says why it could not be opened, if it could
// not.
void undo_opened(source_file& selected, const std::string& opened);

} // namespace


void
undo_conversion(char* path)
{
	result_start();
	source_file selected;
	std::string reason = open_source(path, selected);
	undo_opened(selected, reason);
}


void
undo_conversion_at(int folder, const char* leaf, const char* path)
{
	result_start();
	source_file selected;
	std::string reason = open_source_at(folder, leaf, path, selected);
	undo_opened(selected, reason);
}


namespace {

void
undo_opened(source_file& selected, const std::string& opened)
{
	std::string reason = opened;
	if (!reason.empty()) {
		result_left_alone(reason);
		return;
	}
	std::string folder = folder_path(selected);
	int error = 0;

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
	// A backup selected stands for the file whose backup it is, which is
	// opened and marked too; where it is the same file, the opening is
	// shared, and so the mark.
	source_file named;
	bool hasNamed = false;
	struct stat seen;
	if (!leaf.empty()
			&& names_file(selected.folder, leaf, selected.status,
					name_match::kSameFile)) {
		named.folder = fcntl(selected.folder, F_DUPFD_CLOEXEC, 0);
		named.fd = fcntl(selected.fd, F_DUPFD_CLOEXEC, 0);
		named.path = folder + leaf;
		named.leaf = leaf;
		named.status = selected.status;
		hasNamed = named.folder >= 0 && named.fd >= 0;
	} else if (!leaf.empty()) {
		// The file whose backup it is; where the conversion gave it the
		// name in UTF-8, the one whose stamp names this backup.
		std::string owner = leaf;
		if (fstatat(selected.folder, leaf.c_str(), &seen, AT_SYMLINK_NOFOLLOW)
				!= 0)
			owner = backup_owner(selected.folder, selected.leaf);
		if (!owner.empty()) {
			reason = open_source_at(
					selected.folder, owner, folder + owner, named);
			if (reason == _(kOtherRun) || reason == _(kLockedElsewhere)) {
				result_left_alone(reason);
				return;
			}
			hasNamed = reason.empty();
		}
	}
	// What runs cut off left beside the file whose name is at stake goes
	// first, whatever comes of the undo.
	source_file* file = hasNamed ? &named : leaf.empty() ? &selected : NULL;
	uint64_t size = 0;
	uint64_t checksum = 0;
	if (file != NULL) {
		error = checksum_file(file->fd, size, checksum);
		std::string notices;
		reason = error != 0
				? filled(_("it cannot be read: %s"), {strerror(error)})
				: clear_leftovers(*file, size, checksum, notices);
		fputs(notices.c_str(), stderr);
		if (!reason.empty()) {
			result_left_alone(reason);
			return;
		}
	}
	// A backup that holds what a run cut off left beside the file: a second
	// name of it (a conversion cut off before its exchange of names), or
	// the converted text of what it holds now (an undo cut off after its
	// own). The file holds the original: undone, the leftover goes.
	if (hasNamed) {
		std::string what;
		if (named.status.st_ino == selected.status.st_ino
				&& named.status.st_dev == selected.status.st_dev)
			what = filled(_("a second name of %s, left by an interrupted "
							"run; removed"),
					{leaf});
		else if (converted_from(selected.fd, size, checksum))
			what = _("left by an interrupted undo; removed");
		if (!what.empty()) {
			reason = remove_leftovers(
					named, {{selected.leaf, what}}, folder, selected.leaf);
			if (!reason.empty())
				result_left_alone(reason);
			return;
		}
	}
	conversion_stamp stamp;
	error = read_stamp(selected.fd, stamp);
	std::string shown;
	std::vector<cut_off> found = leaf.empty() && error == ENODATA
			? cut_off_names(selected, size, checksum, shown)
			: std::vector<cut_off>();
	if (!found.empty()) {
		reason = remove_leftovers(selected, found, folder, shown);
		if (!reason.empty())
			result_left_alone(reason);
		return;
	}
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
	source_file* converted = &selected;
	conversion_stamp other;
	if (hasNamed && read_stamp(named.fd, other) == 0) {
		if (stamped_backup(named.leaf, other) == selected.leaf) {
			converted = &named;
			stamp = other;
			error = 0;
		} else if (error != 0) {
			result_left_alone(
					filled(_("%s was converted again since; undo that first"),
							{named.leaf}));
			return;
		}
	}
	std::string backup = stamped_backup(converted->leaf, stamp);
	reason = stamp_problem(error);
	last_result.unstamped = error == ENODATA || error == ENOTSUP;
	// The name the original had: only the name its conversion gave the
	// file is taken back, not one a person gave it since.
	std::string originalName = error == 0 && !stamp.originalName.empty()
			? stamp.originalName
			: converted->leaf;
	if (reason.empty() && !reads_as(originalName, converted->leaf))
		reason = filled(_("it was renamed since it was converted from %s"),
				{originalName});
	// The file whose leftovers were cleared was summed then already.
	if (reason.empty() && converted != file
			&& (error = checksum_file(converted->fd, size, checksum)) != 0)
		reason = filled(_("it cannot be read: %s"), {strerror(error)});
	std::string notices;
	if (reason.empty() && converted != file)
		reason = clear_leftovers(*converted, size, checksum, notices);
	fputs(notices.c_str(), stderr);
	kept_original original;
	if (reason.empty())
		reason = refusal(
				*converted, selected, stamp, size, checksum, backup, original);
	std::string warning;
	std::string renamedFrom; // the name in UTF-8 its conversion gave it
	if (reason.empty() && originalName != converted->leaf) {
		renamedFrom = converted->leaf;
		reason = take_name(*converted, originalName, folder);
		if (!reason.empty())
			renamedFrom.clear();
	}
	if (reason.empty())
		reason = put_back(*converted, backup, original, warning);
	// Where the converted text is still under the original's name, it goes
	// back to the name its conversion gave it.
	if (!reason.empty() && !renamedFrom.empty()
			&& names_file(converted->folder, converted->leaf, converted->status,
					name_match::kSameFile)
			&& !take_name(*converted, renamedFrom, folder).empty())
		reason += filled(
				_("; the converted text is named %s now"), {converted->leaf});
	if (!reason.empty()) {
		result_left_alone(reason);
		return;
	}

	last_result.converted = true;
	last_result.output = folder + converted->leaf;
	last_result.backup = folder + backup;
	last_result.renamed = !renamedFrom.empty();
	if (last_result.renamed)
		printf("\n rename: '%s' \n \t to: '%s'",
				recorded_name(folder + renamedFrom).c_str(),
				recorded_name(last_result.output).c_str());
	printf("\n rename: '%s' \n \t to: '%s'\n",
			recorded_name(last_result.backup).c_str(),
			recorded_name(last_result.output).c_str());
	if (!warning.empty())
		tell(last_result.output, warning);
}

} // namespace
