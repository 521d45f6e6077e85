/*
 * Writing the converted file. The converted text is written whole into a new
 * file beside the source that nobody else can have made, with the source's
 * owner, group, attributes and permissions, or not at all; it is on the disk
 * before any name points to it as the converted file. Then it takes the
 * source's name in the one way the file system allows (an exchange of
 * names; where there is none, the source set aside and the name taken
 * without replacing anything), each checking before and after. At every
 * instant the name holds either the original or the whole converted text,
 * but for a moment without it where there is no exchange; no entry that
 * exists is ever replaced; a file changed meanwhile, or held open for
 * writing, by another program keeps that program's version; and the
 * original always keeps a name: no name goes that this run did not make.
 * A name that is no UTF-8 comes last: once the converted text has the
 * name, one rename that replaces nothing gives it the name in UTF-8, and
 * the stamp, written before, names the original's. Cut off before that
 * rename, a conversion has left what one that kept its name leaves.
 */
#include "convert/convert.h"

#include "app/text_domain.h"
#include "charmap/options.h"
#include "convert/batch.h"
#include "convert/family.h"
#include "convert/names.h"
#include "convert/new_file.h"
#include "convert/result.h"
#include "convert/run_lock.h"
#include "convert/source_file.h"
#include "convert/stamp.h"
#include "convert/write_text.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>


namespace {

// Numbered names are tried up to this one; a folder with all of them taken
// is not one a person keeps.
const int kMaxNumber = 100000;

const char kChangedMeanwhile[]
		= N_("it was changed by another program while being converted");


std::string
user_name(uid_t uid)
{
	struct passwd* user = getpwuid(uid);
	return user != NULL ? user->pw_name : std::to_string(uid);
}


std::string
group_name(gid_t gid)
{
	struct group* group = getgrgid(gid);
	return group != NULL ? group->gr_name : std::to_string(gid);
}


// The source's owner and group on the new file fd, whose own are own; why
// they cannot be, or empty. Where the owner may not be given, the group
// alone may, when the runner is a member; the owner must then be the
// runner already.
std::string
keep_owner(const source_file& source, int fd, const struct stat& own)
{
	uid_t uid = source.status.st_uid;
	gid_t gid = source.status.st_gid;
	if (own.st_uid == uid && own.st_gid == gid)
		return std::string();
	if (fchown(fd, uid, gid) == 0)
		return std::string();
	if (own.st_uid != uid)
		return filled(_("belongs to %s: a converted file could not keep its "
						"owner"),
				{user_name(uid)});
	if (fchown(fd, (uid_t)-1, gid) == 0)
		return std::string();
	return filled(_("belongs to group %s: a converted file could not keep "
					"its group"),
			{group_name(gid)});
}


void
backup_refused(int error)
{
	if (error == ENAMETOOLONG)
		result_left_alone(_("its name leaves no room for a backup name"));
	else if (error == ENOENT)
		result_left_alone(_(kChangedMeanwhile));
	else
		result_left_alone(
				folder_reason(_("the backup cannot be made: %s"), error));
}


// Owner, attributes and permission bits of the source onto the open file
// fd, whose own are own, all by descriptor; the stamp, if any, goes on
// before the permission bits may take away the write permission that the
// host asks for. Why this would give the text wider access than the source
// has, or empty.
std::string
carry_over(const source_file& source, int fd, const struct stat& own,
		const conversion_stamp* stamp, attribute_copy& copy)
{
	// First, as giving a file away drops some of its attributes.
	std::string refusal = keep_owner(source, fd, own);
	if (!refusal.empty())
		return refusal;
	copy = copy_attributes(source.fd, fd, source.path.c_str());
	if (!copy.refusal.empty())
		return copy.refusal;
	if (stamp != NULL) {
		// Without its stamp, a conversion could be neither undone nor
		// recognised by the next run where the file system keeps stamps.
		int error = write_stamp(fd, *stamp);
		if (error == ENOTSUP)
			copy.warnings += notice(source.path,
					_("its file system keeps no attributes: this conversion "
					  "cannot be undone"));
		else if (error != 0)
			return filled(_("its stamp of the conversion could not be "
							"written: %s"),
					{strerror(error)});
	}
	// Last, as an access list just copied moves the group bits along; the
	// new file's permissions are the source's, never wider.
	mode_t mode = source.status.st_mode & 0777;
	if ((copy.accessList || (own.st_mode & 07777) != mode)
			&& fchmod(fd, mode) != 0)
		return filled(
				_("its permissions could not be kept: %s"), {strerror(errno)});
	return std::string();
}


// The converted text of one source, written and carried over, until it has
// taken its name: at once, or once its batch has synced. Where the source
// is replaced, its backup is made first, as a second name of it (a copy
// where the file system has no second names), so that the stamp can name
// it and the backup is in place, and right, from the start. The new text
// stays nameless while it waits, so that a process killed meanwhile leaves
// nothing of it. The source and the new text carry the run's mark until
// the end, so that no other run takes either for its own.
class converted_text : public waiting_conversion {
public:
	explicit converted_text(source_file&& read)
		: fSource(std::move(read))
		, fTarget(fSource.folder)
	{
	}

	dev_t
	Device() const override
	{
		return fSource.status.st_dev;
	}

	int
	Folder() const override
	{
		return fSource.folder;
	}

	// Writes the text and everything of the source onto a new file, and
	// makes the backup: true, or false with the reason noted.
	bool Prepare(mt* map, const uint8_t* data, size_t length);

	// Puts it on the disk by itself, with the name of a copied backup: 0,
	// or the host's error.
	int
	Sync()
	{
		fAlone = true;
		if (fdatasync(fTarget.fd()) != 0)
			return errno;
		return !fCopied || fsync(fSource.folder) == 0 ? 0 : errno;
	}

	// Waiting, it holds its folder, the source and the new text: closed,
	// either would lose the run's mark.
	size_t
	Wait() override
	{
		return 3;
	}

	void Finish(int synced) override;

	// Says on standard error what it has to tell of its leftovers.
	void
	Tell()
	{
		fputs(fNotices.c_str(), stderr);
		fNotices.clear();
	}

private:
	int MakeBackup();
	int LinkBackup();
	int CopyBackup();
	int WriteCopy(int fd);
	bool BackupTaken(const std::string& name, bool copies);
	bool TakeBack();
	bool LeaveAlone(std::string reason);
	std::string Unfit();
	void KeepOriginal(const std::string& name);
	bool Replace();
	bool ReplaceByRename(const std::string& hidden);
	bool PlaceBeside();
	void Rename();

	std::string
	Backup() const
	{
		return backup_name(fSource.leaf, fStamp.backup);
	}

	source_file fSource;
	new_file fTarget;
	conversion_stamp fStamp;
	attribute_copy fAttributes;
	bool fReplace = true;
	bool fBackedUp = false;   // the backup is there
	bool fCopied = false;     // the backup is a copy, not a second name
	bool fAdopted = false;    // the backup was there already
	bool fAlone = false;      // not in a batch, which syncs the folders
	struct stat fBackup = {}; // what the backup is
	std::string fSuffix;      // of the name beside the source
	std::string fPlaced;      // the name the text took
	name_plan fName;          // the name in UTF-8 of a name that is none
	bool fRenamed = false;    // the text took it
	convert_result fRecord;   // what detection noted of it
	std::string fNotices;     // for standard error, once it is done
	// The set its map was loaded for: ostyle belongs to the file at hand,
	// which in a batch is another by the time this one finishes.
	const int32_t fStyle = ostyle;
};


bool
converted_text::Prepare(mt* map, const uint8_t* data, size_t length)
{
	// Only writing beside the source leaves it in place; any other value
	// sets it aside.
	fReplace = r_modus != kRModusBeside;
	fSuffix = map[0].ext;
	std::string refusal;
	if (fReplace && !fSource.putBack.empty())
		refusal = filled(_("it is the backup of %s, which a run cut off had "
						   "set aside, and which is back under its name"),
				{fSource.putBack});
	// Nothing is copied for a file that cannot give up its name.
	if (fReplace && refusal.empty())
		refusal = fixed_by_flag(fSource.fd);
	if (fReplace && refusal.empty())
		refusal = clear_leftovers(fSource, (uint64_t)fSource.status.st_size,
				fSource.checksum, fNotices);
	if (!refusal.empty()) {
		printf("\n\n\n");
		result_left_alone(refusal);
		return false;
	}

	// A name that is no UTF-8 is read in the set of the text, or the set
	// chosen; the name of a text in UTF-8 or ASCII, in the set it reads in
	// alone.
	fName = plan_file_name(fSource.leaf, fStyle);
	if (fReplace)
		fStamp.originalName = fName.name.empty() ? "" : fSource.leaf;

	// Writable by its owner until the attributes are on: the host asks for
	// that to set them.
	int error = fTarget.Create(
			(fSource.status.st_mode & 0777) | S_IWUSR, fSource.leaf);
	if (error != 0) {
		printf("\n No Target access !\n");
		result_left_alone(
				folder_reason(_("the new file cannot be made: %s"), error));
		return false;
	}
	// The owner first: a backup name made for a file that cannot keep it
	// could not be taken back in a folder with the sticky bit.
	refusal = keep_owner(fSource, fTarget.fd(), fTarget.Status());
	if (!refusal.empty()) {
		printf("\n\n\n");
		result_left_alone(refusal);
		return false;
	}
	error = write_converted(
			fTarget.fd(), map, data, length, fSource.mapped, fStamp);
	if (error == kSourceFault) {
		printf("\n\n\n");
		result_left_alone(source_fault(fSource, _(kChangedMeanwhile)));
		return false;
	}
	if (error != 0) {
		printf("\n\n\n");
		result_left_alone(filled(
				_("the new text cannot be written: %s"), {strerror(error)}));
		return false;
	}
	replace_step("written");

	if (fReplace) {
		error = MakeBackup();
		if (error != 0) {
			printf("\n\n\n");
			backup_refused(error);
			return false;
		}
		fBackedUp = true;
		replace_step("backup");
	}
	fStamp.originalSize = (uint64_t)fSource.status.st_size;
	fStamp.originalChecksum = fSource.checksum;
	struct stat own;
	if (fstat(fTarget.fd(), &own) != 0)
		own = fTarget.Status();
	refusal = carry_over(
			fSource, fTarget.fd(), own, fReplace ? &fStamp : NULL, fAttributes);
	if (!refusal.empty()) {
		printf("\n\n\n");
		return LeaveAlone(refusal);
	}
	nlink_t others = fSource.status.st_nlink - (fAdopted && !fCopied ? 2 : 1);
	if (fReplace && others > 0)
		fNotices += notice(fSource.path,
				filled(P_("its other name keeps the original text",
							   "its %d other names keep the original text",
							   others),
						{std::to_string(others)}));
	fRecord = last_result;
	return true;
}


// The backup under the first free name of name-BAK, name-BAK2, ...: a
// second name of the source, or a copy where the host gives none. 0, or
// the host's error.
int
converted_text::MakeBackup()
{
	int error = LinkBackup();
	if (cannot_here(error)) {
		fCopied = true;
		error = CopyBackup();
	}
	if (error == 0 && !fCopied)
		fBackup = fSource.status;
	return error;
}


// Whether what the taken backup name holds is the backup already: a second
// name of the source, or, where copies, a copy of it that a run cut off
// made. What an undo cut off left there goes, and the name is free again
// (false, with the name free); what an earlier Textwend left is named and
// kept.
bool
converted_text::BackupTaken(const std::string& name, bool copies)
{
	int folder = fSource.folder;
	if (names_file(folder, name, fSource.status, name_match::kSameFile))
		return true;
	if (remove_undo_leftover(folder, name, (uint64_t)fSource.status.st_size,
				fSource.checksum)) {
		fNotices += notice(folder_path(fSource) + name,
				_("left by an interrupted undo; removed"));
		return false;
	}
	if (is_leftover(folder, name)) {
		fNotices += notice(folder_path(fSource) + name,
				_("left by an interrupted conversion of an earlier "
				  "Textwend; kept"));
		return false;
	}
	if (!copies)
		return false;
	// A copy that holds the source's text and nothing of a conversion.
	int fd = openat(folder, name.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return false;
	conversion_stamp stamp;
	uint64_t size = 0;
	uint64_t checksum = 0;
	bool copy = fstat(fd, &fBackup) == 0 && S_ISREG(fBackup.st_mode)
			&& fBackup.st_size == fSource.status.st_size && !held_by_run(fd)
			&& read_stamp(fd, stamp) != 0
			&& checksum_file(fd, size, checksum) == 0
			&& checksum == fSource.checksum
			&& (uint64_t)fSource.status.st_size == size;
	close(fd);
	return copy;
}


int
converted_text::LinkBackup()
{
	for (int n = 1; n <= kMaxNumber; n++) {
		std::string name = backup_name(fSource.leaf, n);
		if (link_open_file(fSource.fd, fSource.folder, name.c_str()) == 0) {
			fStamp.backup = n;
			return 0;
		}
		if (errno != EEXIST)
			return errno;
		// A second name of the source already: what a conversion cut off
		// before its exchange of names leaves, and a backup as it is made.
		if (BackupTaken(name, false)) {
			fStamp.backup = n;
			fAdopted = true;
			return 0;
		}
		// Freed: tried again.
		struct stat seen;
		if (fstatat(fSource.folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW)
				!= 0)
			n--;
	}
	return EEXIST;
}


// The backup as a copy of the source, written under a name of the source's
// family, with all of the source and on the disk before it takes the first
// free backup name; a copy there already is taken as it is. 0, or the
// host's error.
int
converted_text::CopyBackup()
{
	int folder = fSource.folder;
	int n = 1;
	for (struct stat seen; n <= kMaxNumber; n++) {
		std::string name = backup_name(fSource.leaf, n);
		if (fstatat(folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) {
			if (errno == ENOENT)
				break;
			return errno;
		}
		if (BackupTaken(name, true)) {
			fStamp.backup = n;
			fAdopted = true;
			return 0;
		}
		if (fstatat(folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0)
			break;
	}
	if (n > kMaxNumber)
		return EEXIST;

	std::string copy = family_name(fSource.leaf, family_member::kCopy);
	int fd = openat(folder, copy.c_str(),
			O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
	if (fd < 0)
		return errno;
	mark_new(fd);
	int error = WriteCopy(fd);
	if (error == 0 && fstat(fd, &fBackup) != 0)
		error = errno;
	// Closed before it is named: NFS would keep the name it gives up as a
	// hidden one while the file is open.
	if (close(fd) != 0 && error == 0)
		error = errno;
	if (error == 0)
		replace_step("copied");
	// A name taken in the meantime is passed by.
	for (; error == 0; n++) {
		if (n > kMaxNumber) {
			error = EEXIST;
			break;
		}
		error = move_name(folder, copy, backup_name(fSource.leaf, n));
		if (error == 0) {
			fStamp.backup = n;
			return 0;
		}
		if (error == EEXIST)
			error = 0;
	}
	if (names_file(folder, copy, fBackup, name_match::kSameFile)
			&& unlinkat(folder, copy.c_str(), 0) != 0)
		fNotices += notice(fSource.path,
				filled(_("the unfinished copy %s could not be removed: %s"),
						{copy, strerror(errno)}));
	return error;
}


// Copies the source whole into fd, with everything of it, and puts it on
// the disk: 0, the host's error, or EPERM with the reason noted when the
// copy would be open to more people than the source.
int
converted_text::WriteCopy(int fd)
{
	int error = 0;
	char buffer[64 * 1024];
	for (off_t at = 0; error == 0;) {
		ssize_t got = pread(fSource.fd, buffer, sizeof(buffer), at);
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0) {
			error = got < 0 ? errno : 0;
			break;
		}
		for (ssize_t done = 0; done < got && error == 0;) {
			ssize_t written = write(fd, buffer + done, got - done);
			if (written < 0 && errno != EINTR)
				error = errno;
			else if (written == 0)
				error = EIO;
			else if (written > 0)
				done += written;
		}
		if (at == 0)
			replace_step("copying");
		at += got;
	}
	attribute_copy ignored;
	struct stat own;
	if (error == 0 && fstat(fd, &own) != 0)
		error = errno;
	std::string refusal;
	if (error == 0)
		refusal = carry_over(fSource, fd, own, NULL, ignored);
	if (!refusal.empty()) {
		result_left_alone(refusal);
		return EPERM;
	}
	if (error == 0 && fdatasync(fd) != 0)
		error = errno;
	return error;
}


// Takes back the backup just made when the conversion cannot go on: true,
// or false when it stays. Only a name that this run made goes, and only
// while the source still has its own name: a backup that is all that is
// left of the original stays.
bool
converted_text::TakeBack()
{
	if (!fBackedUp || fAdopted)
		return true;
	std::string name = Backup();
	return names_file(fSource.folder, name, fBackup,
				   fCopied ? name_match::kSameVersion : name_match::kSameFile)
			&& names_file(fSource.folder, fSource.leaf, fSource.status,
					name_match::kSameFile)
			&& unlinkat(fSource.folder, name.c_str(), 0) == 0;
}


// Leaves the source as it was, with reason, and the backup just made gone
// where it can go: false, to be handed on.
bool
converted_text::LeaveAlone(std::string reason)
{
	if (fReplace && !TakeBack())
		reason += filled(_("; the original is also kept as %s"), {Backup()});
	result_left_alone(reason);
	return false;
}


// Why the source may not give up its name now: changed or replaced since it
// was read, or held by another program; empty when it may.
std::string
converted_text::Unfit()
{
	if (!source_unchanged(fSource))
		return _(kChangedMeanwhile);
	return held_by_program(fSource.fd);
}


// One exchange of names puts the new text in place, and the source, which
// has its backup's name, gives up the name it gets in the trade. The name
// traded away is a hidden one of the new text's: a folder view that follows
// the host's report of the exchange (two renames, one of which it takes for
// a replacement) loses that name, and keeps both the source's and the
// backup's. Where the host trades no names, the rename path.
bool
converted_text::Replace()
{
	std::string hidden = family_name(fSource.leaf, family_member::kHidden);
	std::string reason = Unfit();
	int error = 0;
	if (reason.empty() && (error = fTarget.TakeFamilyName(hidden)) != 0)
		reason = folder_reason(_("the new text cannot be named: %s"), error);
	if (!reason.empty())
		return LeaveAlone(reason);
	replace_step("checked");
	error = fTarget.TradeWith(fSource.leaf);
	if (cannot_trade(error))
		return ReplaceByRename(hidden);
	if (error != 0)
		return LeaveAlone(folder_reason(
				_("the new text cannot take its name: %s"), error));
	replace_step("exchanged");
	// What was traded away must be the source as it was read, with nobody
	// writing to it: another program's version goes back.
	reason = names_file(fSource.folder, hidden, fSource.status,
					 name_match::kSameVersion)
			? held_by_program(fSource.fd)
			: std::string(_(kChangedMeanwhile));
	if (!reason.empty()) {
		if (fTarget.TradeWith(hidden) != 0) {
			fTarget.Keep();
			reason += filled(_("; that version is kept as %s"), {hidden});
		}
		return LeaveAlone(reason);
	}
	KeepOriginal(hidden);
	fTarget.Keep();
	return true;
}


// Once the new text has the name, the original's other name (hidden, or
// set aside) goes where the backup holds it: a second name of it, or the
// copy as it was made. The source is closed first: NFS would keep the name
// of an open file as a hidden one of its own. Where the backup was taken
// away meanwhile, that name becomes the backup, or stays, and is named.
void
converted_text::KeepOriginal(const std::string& name)
{
	int folder = fSource.folder;
	std::string backup = Backup();
	bool kept = fCopied
			? names_file(folder, backup, fBackup, name_match::kSameVersion)
			: names_file(folder, backup, fSource.status, name_match::kSameFile);
	close(fSource.fd);
	fSource.fd = -1;
	if (kept && names_file(folder, name, fSource.status, name_match::kSameFile)
			&& unlinkat(folder, name.c_str(), 0) != 0)
		fNotices += notice(fSource.path,
				filled(_("the original stays as %s as well: %s"),
						{name, strerror(errno)}));
	if (!kept && move_name(folder, name, backup) != 0)
		fNotices += notice(fSource.path,
				filled(_("its backup %s was taken away meanwhile; the "
						 "original is kept as %s"),
						{backup, name}));
}


// Where the host trades no names (NFS, CIFS, FAT, most FUSE file systems):
// the source is set aside under a name of its family, checked to be the
// source as it was read, and the new text then takes the name with a call
// that cannot replace anything, so that a save by another program in the
// moment without the name keeps it. A failed check puts things back.
bool
converted_text::ReplaceByRename(const std::string& hidden)
{
	int folder = fSource.folder;
	const std::string& leaf = fSource.leaf;
	std::string aside = family_name(leaf, family_member::kAside);
	int error = move_into_family(folder, leaf, aside);
	if (error != 0)
		return LeaveAlone(folder_reason(
				_("the original cannot be set aside: %s"), error));
	if (!names_file(folder, aside, fSource.status, name_match::kSameVersion)) {
		// Another program's version came in the instant since the check.
		std::string reason = _(kChangedMeanwhile);
		if (move_name(folder, aside, leaf) != 0)
			reason += filled(_("; that version is kept as %s"), {aside});
		return LeaveAlone(reason);
	}
	replace_step("aside");
	error = fTarget.TakeFreeName(leaf);
	if (error == EEXIST) {
		// Saved by another program in that moment: its version keeps the
		// name, and the original its backup.
		KeepOriginal(aside);
		result_left_alone(_(kChangedMeanwhile)
				+ filled(_("; the original is kept as %s"), {Backup()}));
		return false;
	}
	if (error != 0) {
		std::string reason = folder_reason(
				_("the new text cannot take its name: %s"), error);
		if (move_name(folder, aside, leaf) != 0)
			reason += filled(_("; the original is kept as %s"), {aside});
		return LeaveAlone(reason);
	}
	replace_step("placed");
	// Written meanwhile through a descriptor opened before the check: the
	// original, with what was written, goes back under its name.
	struct stat now;
	std::string reason
			= fstat(fSource.fd, &now) == 0 && same_version(now, fSource.status)
			? held_by_program(fSource.fd)
			: std::string(_(kChangedMeanwhile));
	if (!reason.empty()) {
		fTarget.Close();
		if (fTarget.TakeFamilyName(hidden) != 0
				|| move_name(folder, aside, leaf) != 0) {
			fTarget.Keep();
			reason += filled(_("; the original is kept as %s"), {aside});
		}
		return LeaveAlone(reason);
	}
	KeepOriginal(aside);
	fTarget.Keep();
	return true;
}


// r_modus 1: the new text under the first free name of name-N, name-N2, ...;
// the source stays as it is.
bool
converted_text::PlaceBeside()
{
	if (!source_unchanged(fSource)) {
		result_left_alone(_(kChangedMeanwhile));
		return false;
	}
	// Beside it, the new file takes the name in UTF-8 from the start.
	const std::string& base = fName.name.empty() ? fSource.leaf : fName.name;
	for (int n = 1; n <= kMaxNumber; n++) {
		fPlaced = base + fSuffix;
		if (n > 1)
			fPlaced += std::to_string(n);
		int error = fTarget.TakeFreeName(fPlaced);
		if (error == 0) {
			fTarget.Keep();
			return true;
		}
		if (error != EEXIST) {
			result_left_alone(folder_reason(
					_("the new file cannot be named: %s"), error));
			return false;
		}
	}
	result_left_alone(_("no free name is left for the new file"));
	return false;
}


// The converted text, which has the source's name now, takes the name in
// UTF-8 in one rename that replaces nothing: a folder view that follows
// the host's report of it keeps the file, and its selection, under the new
// name. A name that is taken, or that the file system refuses, stays, and
// says why; so does one that is no longer the converted text's.
void
converted_text::Rename()
{
	int folder = fSource.folder;
	const std::string& leaf = fSource.leaf;
	replace_step("renaming");
	int error
			= names_file(folder, leaf, fTarget.Status(), name_match::kSameFile)
			? move_name(folder, leaf, fName.name)
			: ENOENT;
	if (error == 0
			&& !names_file(folder, fName.name, fTarget.Status(),
					name_match::kSameFile)) {
		// Another program's file came under the name in the instant
		// between: it goes back.
		if (move_name(folder, fName.name, leaf) != 0)
			fNotices += notice(fSource.path,
					filled(_("another program's file has taken the name %s"),
							{fName.name}));
		error = ENOENT;
	}
	if (error == 0) {
		fRenamed = true;
		replace_step("renamed");
		return;
	}
	if (error == EEXIST)
		fName.reason = filled(_("%s is taken already"), {fName.name});
	else if (error == ENOENT)
		fName.reason = _("it was changed meanwhile");
	else if (error == EACCES || error == EPERM || error == EROFS)
		fName.reason = filled(
				_("the folder cannot be written: %s"), {strerror(error)});
	else
		fName.reason = filled(_("the file system refuses %s: %s"),
				{fName.name, strerror(error)});
	fName.name.clear();
}


void
converted_text::Finish(int synced)
{
	last_result = fRecord;
	bool done = false;
	if (synced != 0)
		LeaveAlone(filled(_("its new text could not be put on the disk: %s"),
				{strerror(synced)}));
	else
		done = !fReplace ? PlaceBeside() : Replace();
	int closed = fTarget.Close();
	// Closed first: NFS would keep a name it gives up while the file is
	// open as a hidden one of its own.
	if (done && fReplace && !fName.name.empty())
		Rename();
	// Alone, its change of names is on the disk before it is told; a batch
	// syncs each file system once for all of them.
	int moved = done && fAlone && fsync(fSource.folder) != 0 ? errno : 0;
	if (!done) {
		printf("\n\n\n");
		Tell();
		return;
	}

	std::string folder = folder_path(fSource);
	last_result.converted = true;
	last_result.output = folder
			+ (!fReplace               ? fPlaced
							: fRenamed ? fName.name
									   : fSource.leaf);
	last_result.renamed = fRenamed || (!fReplace && !fName.name.empty());
	last_result.nameKept = fName.reason;
	last_result.nameStyle = fName.style;
	last_result.nameSameText = fName.sameText;
	if (fReplace) {
		last_result.backup = folder + Backup();
		printf("\n rename: '%s' \n \t to: '%s'",
				recorded_name(fSource.path).c_str(),
				recorded_name(last_result.backup).c_str());
	}
	if (fRenamed)
		printf("\n rename: '%s' \n \t to: '%s'",
				recorded_name(fSource.path).c_str(),
				recorded_name(last_result.output).c_str());
	printf("\n\n\n");
	echo_values(fAttributes.echoes);
	// Written and on the disk before its name came, so nothing can be lost
	// here; the host says so all the same.
	if (closed != 0)
		fNotices += notice(last_result.output,
				filled(_("closing it reported: %s"), {strerror(closed)}));
	if (moved != 0)
		fNotices += notice(last_result.output,
				filled(_("its new name could not be put on the disk: %s"),
						{strerror(moved)}));
	fputs(fAttributes.warnings.c_str(), stderr);
	Tell();

	static char html[] = "text/html";
	if (pop_ind == kPopIndHtml && fStyle == kStyleBe) {
		// The name holds the new text, as was just checked.
		std::string node = last_result.output;
		mim_setA(node.data(), html);
	}
}

} // namespace


bool
converts_to_itself(const char* text, off_t length)
{
	mt map[kMapSize];
	map[0].Clear();
	map[0].SetNewline(fstyle);
	load_table(map, ostyle);
	// The bytes that the map writes as they are; any other changes the text.
	bool itself[256];
	unsigned char others[4];
	int count = 0;
	for (int byte = 0; byte < 256; byte++) {
		itself[byte] = map[byte].b == 0
				&& (unsigned char)map[byte].str[0] == byte && byte != 0
				&& map[byte].str[1] == '\0';
		if (!itself[byte]) {
			if (count < 4)
				others[count] = (unsigned char)byte;
			count++;
		}
	}
	// UTF-8 and ASCII with LF ends: the few bytes that would change (a NUL,
	// a TAB that becomes spaces) are looked for by the C library's wide
	// loops.
	size_t size = length > 0 ? (size_t)length : 0;
	if (count <= 4) {
		for (int i = 0; i < count; i++) {
			if (memchr(text, others[i], size) != NULL)
				return false;
		}
		return true;
	}
	const unsigned char* bytes = (const unsigned char*)text;
	for (size_t i = 0; i < size; i++) {
		if (!itself[bytes[i]])
			return false;
	}
	return true;
}


void
toNFile(char* buffer, off_t length, char* path)
{
	mt map[kMapSize];
	map[0].Clear();
	map[0].SetNewline(fstyle);
	load_table(map, ostyle);

	// AlyBFile hands over the file it read, whatever its name holds now; a
	// caller that read the file itself has it opened here, and its
	// checksum taken for the stamp.
	source_file opened;
	source_file* source = current_source;
	if (source == NULL || source->path != path) {
		std::string reason = open_source(path, opened);
		uint64_t size = 0;
		int error = reason.empty()
				? checksum_file(opened.fd, size, opened.checksum)
				: 0;
		if (reason.empty() && error != 0)
			reason = filled(_("it cannot be read: %s"), {strerror(error)});
		if (!reason.empty()) {
			result_left_alone(reason);
			return;
		}
		source = &opened;
	}
	std::unique_ptr<waiting_conversion> text;
	converted_text* converted = new converted_text(std::move(*source));
	text.reset(converted);
	replace_step("read");
	size_t size = length > 0 ? (size_t)length : 0;
	if (!converted->Prepare(map, (const uint8_t*)buffer, size)) {
		converted->Tell();
		return;
	}
	// In a batch, the sync is one for all; alone, the file's own.
	if (!batch_wait(text))
		converted->Finish(converted->Sync());
}
