#include "convert/family.h"

#include "app/text_domain.h"
#include "convert/new_file.h"
#include "convert/result.h"
#include "convert/run_lock.h"
#include "convert/stamp.h"

#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <vector>


namespace {

const char kSuffixes[][8] = {"", "-new", "-copy", "-old"};

// The longest leaf that every member's name holds whole: "." LEAF
// ".textwend-copy" within NAME_MAX. A longer one keeps its start, cut where
// no character goes on, and a checksum of the whole.
const size_t kWholeLeaf = NAME_MAX - 15;
const size_t kChecksumDigits = 16;

const char kRemoved[] = N_("left by an interrupted conversion; removed");


// The texts that a leftover may repeat: the name's own file and its
// backups, each summed only once a leftover of its size asks.
class kept_texts {
public:
	kept_texts(const source_file& source, uint64_t size, uint64_t checksum)
		: fFolder(source.folder)
	{
		fTexts.push_back({source.status, std::string(), true, size, checksum});
		for (int n = 1; n <= kMaxBackups; n++) {
			text backup = {};
			backup.name = backup_name(source.leaf, n);
			if (fstatat(fFolder, backup.name.c_str(), &backup.status,
						AT_SYMLINK_NOFOLLOW)
					!= 0)
				break;
			if (S_ISREG(backup.status.st_mode))
				fTexts.push_back(backup);
		}
	}

	bool
	SameFile(const struct stat& status) const
	{
		for (const text& kept : fTexts) {
			if (kept.status.st_dev == status.st_dev
					&& kept.status.st_ino == status.st_ino)
				return true;
		}
		return false;
	}

	bool
	AnyOfSize(uint64_t size) const
	{
		for (const text& kept : fTexts) {
			if (Size(kept) == size)
				return true;
		}
		return false;
	}

	bool
	SameText(uint64_t size, uint64_t checksum)
	{
		for (text& kept : fTexts) {
			if (Size(kept) != size)
				continue;
			if (!kept.summed)
				Sum(kept);
			if (kept.summed && kept.checksum == checksum)
				return true;
		}
		return false;
	}

private:
	struct text {
		struct stat status;
		std::string name; // empty for the name's own file
		bool summed;
		uint64_t size;
		uint64_t checksum;
	};

	static uint64_t
	Size(const text& kept)
	{
		return kept.summed ? kept.size : (uint64_t)kept.status.st_size;
	}

	void
	Sum(text& kept)
	{
		int fd = openat(fFolder, kept.name.c_str(),
				O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
		struct stat now;
		if (fd < 0)
			return;
		// Only the file that was seen there counts.
		kept.summed = fstat(fd, &now) == 0 && now.st_ino == kept.status.st_ino
				&& now.st_dev == kept.status.st_dev
				&& checksum_file(fd, kept.size, kept.checksum) == 0;
		close(fd);
	}

	int fFolder;
	std::vector<text> fTexts;
};


// True when the open file fd (status) is a converted text exactly as its
// stamp says, whose original the stamp records as that of size bytes and
// checksum checksum; or, with kept, of any text that kept holds.
bool
converted_from(int fd, const struct stat& status, kept_texts* kept,
		uint64_t size, uint64_t checksum)
{
	conversion_stamp stamp;
	if (read_stamp(fd, stamp) != 0 || stamp.size != (uint64_t)status.st_size)
		return false;
	bool original = kept != NULL
			? kept->SameText(stamp.originalSize, stamp.originalChecksum)
			: stamp.originalSize == size && stamp.originalChecksum == checksum;
	uint64_t hasSize = 0;
	uint64_t hasChecksum = 0;
	return original && checksum_file(fd, hasSize, hasChecksum) == 0
			&& hasSize == stamp.size && hasChecksum == stamp.checksum;
}


// Whether the leftover open as fd (status) holds nothing that is not kept
// elsewhere or cannot be made again: a second name or a copy of the name's
// file or of a backup, or a converted text of one of them. Where the file
// system keeps no stamps, a hidden file that repeats nothing is a new text:
// the original is never there without a whole backup.
bool
repeats(int fd, const struct stat& status, family_member member,
		kept_texts& kept)
{
	if (kept.SameFile(status))
		return true;
	uint64_t size = 0;
	uint64_t checksum = 0;
	if (kept.AnyOfSize((uint64_t)status.st_size)
			&& checksum_file(fd, size, checksum) == 0
			&& kept.SameText(size, checksum))
		return true;
	if (converted_from(fd, status, &kept, 0, 0))
		return true;
	conversion_stamp stamp;
	return member == family_member::kHidden && read_stamp(fd, stamp) == ENOTSUP;
}


enum class leftover { kNone, kRemoved, kKept, kHeld, kUnreadable, kStuck };

leftover
clear_one(int folder, const std::string& name, family_member member,
		std::unique_ptr<kept_texts>& kept, const source_file& source,
		uint64_t size, uint64_t checksum)
{
	struct stat status;
	if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
		return errno == ENOENT ? leftover::kNone : leftover::kUnreadable;
	int fd = openat(folder, name.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return errno == ELOOP ? leftover::kKept : leftover::kUnreadable;
	leftover verdict = leftover::kKept;
	bool removable = false;
	bool family = member == family_member::kHidden
			|| member == family_member::kAside;
	if (family && kept == NULL)
		kept.reset(new kept_texts(source, size, checksum));
	if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
		verdict = leftover::kKept;
	} else if (family && kept->SameFile(status)) {
		// Another name of a file that stays; its mark may be this run's.
		removable = true;
	} else if (held_by_run(fd)) {
		verdict = leftover::kHeld;
	} else if (!family) {
		// Never the only text of anything: what they held is still where
		// it was copied or converted from.
		removable = true;
	} else {
		removable = repeats(fd, status, member, *kept);
	}
	close(fd);
	if (removable && names_file(folder, name, status, name_match::kSameFile))
		verdict = unlinkat(folder, name.c_str(), 0) == 0 ? leftover::kRemoved
														 : leftover::kStuck;
	return verdict;
}


// Where renameat2 cannot refuse to replace: from gets the name to by a
// rename once to is seen free. 0, EEXIST when it is taken, or the host's
// error.
int
rename_if_free(int folder, const std::string& from, const std::string& to)
{
	struct stat taken;
	if (fstatat(folder, to.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0)
		return EEXIST;
	if (errno != ENOENT)
		return errno;
	return renameat(folder, from.c_str(), folder, to.c_str()) == 0 ? 0 : errno;
}

} // namespace


std::string
family_name(const std::string& leaf, family_member member)
{
	std::string stem = leaf;
	if (stem.size() > kWholeLeaf) {
		size_t keep = kWholeLeaf - kChecksumDigits - 1;
		while (keep > 0 && ((unsigned char)leaf[keep] & 0xC0) == 0x80)
			keep--;
		text_checksum sum;
		sum.Add(leaf.data(), leaf.size());
		char digits[kChecksumDigits + 1];
		snprintf(digits, sizeof(digits), "%016" PRIx64, sum.Result());
		stem = leaf.substr(0, keep) + "~" + digits;
	}
	return "." + stem + ".textwend" + kSuffixes[(int)member];
}


int
move_name(int folder, const std::string& from, const std::string& to,
		std::string* stale)
{
	if (renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE)
			== 0)
		return 0;
	if (!cannot_here(errno))
		return errno;
	if (linkat(folder, from.c_str(), folder, to.c_str(), 0) == 0) {
		if (stale != NULL) {
			*stale = from;
			return 0;
		}
		return unlinkat(folder, from.c_str(), 0) == 0 ? 0 : errno;
	}
	if (!cannot_here(errno))
		return errno;
	// Neither (FAT under an old kernel, some FUSE file systems): a rename
	// only while to is free, in the instant after looking.
	return rename_if_free(folder, from, to);
}


int
move_into_family(int folder, const std::string& from, const std::string& to)
{
	if (renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE)
			== 0)
		return 0;
	if (!cannot_here(errno))
		return errno;
	return rename_if_free(folder, from, to);
}


void
drop_stale(int folder, std::string& stale, const struct stat& seen)
{
	if (!stale.empty()
			&& names_file(folder, stale, seen, name_match::kSameFile))
		unlinkat(folder, stale.c_str(), 0);
	stale.clear();
}


std::string
clear_leftovers(const source_file& source, uint64_t size, uint64_t checksum,
		std::string& notices)
{
	std::string folder = folder_path(source);
	std::unique_ptr<kept_texts> kept;
	for (family_member member : {family_member::kNew, family_member::kCopy,
				 family_member::kHidden, family_member::kAside}) {
		std::string name = family_name(source.leaf, member);
		leftover found = clear_one(
				source.folder, name, member, kept, source, size, checksum);
		if (found == leftover::kHeld)
			return _(kOtherRun);
		if (found == leftover::kUnreadable)
			return filled(_("%s beside it cannot be looked at: %s"),
					{name, strerror(errno)});
		if (found == leftover::kStuck)
			return filled(_("%s beside it, left by an interrupted run, cannot "
							"be removed: %s"),
					{name, strerror(errno)});
		if (found == leftover::kKept)
			return filled(_("%s beside it, left by an interrupted run, holds "
							"a text found nowhere else; it is kept"),
					{name});
		if (found == leftover::kRemoved)
			notices += notice(folder + name,
					member == family_member::kAside
							? _("left by an interrupted run; removed")
							: _(kRemoved));
	}
	return std::string();
}


int
put_back_set_aside(
		int folder, const std::string& folderPath, const std::string& leaf)
{
	std::string aside = family_name(leaf, family_member::kAside);
	int fd = openat(folder, aside.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return errno;
	struct stat status;
	int error = 0;
	std::string stale;
	if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
		error = ENOENT;
	else if (take_run_lock(fd) == run_lock::kOtherRun)
		error = EBUSY;
	else if (!names_file(folder, aside, status, name_match::kSameFile))
		error = ENOENT;
	else
		error = move_name(folder, aside, leaf, &stale);
	close(fd);
	drop_stale(folder, stale, status);
	if (error == 0)
		fputs(notice(folderPath + aside,
					  filled(_("left by an interrupted run; put back as %s"),
							  {leaf}))
						.c_str(),
				stderr);
	return error;
}


bool
converted_from(int fd, uint64_t size, uint64_t checksum)
{
	struct stat status;
	return fstat(fd, &status) == 0
			&& converted_from(fd, status, NULL, size, checksum);
}


bool
remove_undo_leftover(
		int folder, const std::string& name, uint64_t size, uint64_t checksum)
{
	int fd = openat(folder, name.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return false;
	struct stat status;
	bool leftover = fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
			&& !held_by_run(fd)
			&& converted_from(fd, status, NULL, size, checksum);
	close(fd);
	return leftover && names_file(folder, name, status, name_match::kSameFile)
			&& unlinkat(folder, name.c_str(), 0) == 0;
}
