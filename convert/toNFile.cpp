/*
 * Writing the converted file. The converted text is written whole into a new
 * file beside the source that nobody else can have made, with the source's
 * owner, group, attributes and permissions, or not at all; it is on the disk
 * before any name points to it as the converted file. Then it takes the
 * source's name in the one way the file system allows (an exchange of
 * names; a rename after a second name of the source; a rename after a copy
 * of it), each checking before and after. At every instant the name holds
 * either the original or the whole converted text, no entry that exists is
 * ever replaced, and a file changed meanwhile by another program keeps that
 * program's version.
 */
#include "convert/convert.h"

#include "app/text_domain.h"
#include "charmap/options.h"
#include "convert/batch.h"
#include "convert/new_file.h"
#include "convert/result.h"
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


void
step(const char* name)
{
	if (replace_step_hook != NULL)
		replace_step_hook(name);
}


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


// A line for standard error about file; what comes translated.
std::string
notice(const std::string& file, const std::string& what)
{
	return "Textwend: '" + file + "': " + what + "\n";
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
		int error = write_stamp(fd, *stamp);
		if (error == ENOTSUP)
			copy.warnings += notice(source.path,
					_("its file system keeps no attributes: this conversion "
					  "cannot be undone"));
		else if (error != 0)
			copy.warnings += notice(source.path,
					filled(_("attribute '%s' not written: %s: this conversion "
							 "cannot be undone"),
							{kStampName, strerror(error)}));
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
// nothing of it.
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

	// Puts it on the disk by itself: 0, or the host's error.
	int
	Sync()
	{
		return fdatasync(fTarget.fd()) == 0 ? 0 : errno;
	}

	// Waiting, it needs its folder and the new text; the source only where
	// a rename must tell afterwards what it replaced.
	size_t
	Wait() override
	{
		if (!fSwap)
			return 3;
		fClosed = close(fSource.fd) == 0 ? 0 : errno;
		fSource.fd = -1;
		return 2;
	}

	void Finish(int synced) override;

private:
	int MakeBackup();
	int TakeHiddenName();
	int LinkBackup();
	int CopyBackup();
	bool TakeBack();
	bool LeaveAlone(std::string reason);
	void KeepOriginal(const std::string& hidden);
	bool ReplaceByExchange();
	bool ReplaceByRename();
	bool PlaceBeside();

	source_file fSource;
	new_file fTarget;
	conversion_stamp fStamp;
	attribute_copy fAttributes;
	bool fReplace = true;
	bool fSwap = false;       // the file system trades names
	bool fCopied = false;     // the backup is a copy, not a second name
	struct stat fBackup = {}; // what the backup is
	std::string fSuffix;      // of the name beside the source
	std::string fPlaced;      // the name the text took
	convert_result fRecord;   // what detection noted of it
	std::string fNotices;     // for standard error, once it is done
	bool fAdopted = false;    // the backup was a second name already
	int fClosed = 0;          // what closing the source said
	// The set its map was loaded for: ostyle belongs to the file at hand,
	// which in a batch is another by the time this one finishes.
	const int32_t fStyle = ostyle;
};


bool
converted_text::Prepare(mt* map, const uint8_t* data, size_t length)
{
	// Writable by its owner until the attributes are on: the host asks for
	// that to set them.
	int error = fTarget.Create((fSource.status.st_mode & 0777) | S_IWUSR);
	if (error != 0) {
		printf("\n No Target access !\n");
		result_left_alone(
				folder_reason(_("the new file cannot be made: %s"), error));
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
	step("written");

	// Only writing beside the source leaves it in place; any other value
	// sets it aside.
	fReplace = r_modus != kRModusBeside;
	fSuffix = map[0].ext;
	if (fReplace) {
		fSwap = can_swap_names(fSource.folder, fSource.status.st_dev);
		error = MakeBackup();
		if (error != 0) {
			printf("\n\n\n");
			backup_refused(error);
			return false;
		}
		step("backup");
	}
	fStamp.originalSize = (uint64_t)fSource.status.st_size;
	fStamp.originalChecksum = fSource.checksum;
	std::string refusal = carry_over(fSource, fTarget.fd(), fTarget.Status(),
			fReplace ? &fStamp : NULL, fAttributes);
	if (!refusal.empty()) {
		printf("\n\n\n");
		return LeaveAlone(refusal);
	}
	nlink_t others = fSource.status.st_nlink - (fAdopted ? 2 : 1);
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
// second name of the source, or a copy where the host gives none. What an
// earlier Textwend left there when it was interrupted is named and kept.
// 0, or the host's error.
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


int
converted_text::LinkBackup()
{
	std::string folder
			= fSource.path.substr(0, fSource.path.size() - fSource.leaf.size());
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
		if (names_file(fSource.folder, name, fSource.status,
					name_match::kSameFile)) {
			fStamp.backup = n;
			fAdopted = true;
			return 0;
		}
		if (is_leftover(fSource.folder, name))
			fNotices += notice(folder + name,
					_("left by an interrupted conversion of an earlier "
					  "Textwend; kept"));
	}
	return EEXIST;
}


// The backup as a copy of the source, with all of the source and on the
// disk before the source gives up its name: 0, or the host's error.
int
converted_text::CopyBackup()
{
	int fd = -1;
	std::string name;
	for (int n = 1; n <= kMaxNumber && fd < 0; n++) {
		name = backup_name(fSource.leaf, n);
		fStamp.backup = n;
		fd = openat(fSource.folder, name.c_str(),
				O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
		if (fd < 0 && errno != EEXIST)
			return errno;
	}
	if (fd < 0)
		return EEXIST;
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
		at += got;
	}
	attribute_copy ignored;
	struct stat own;
	std::string refusal;
	if (error == 0 && fstat(fd, &own) != 0)
		error = errno;
	if (error == 0)
		refusal = carry_over(fSource, fd, own, NULL, ignored);
	if (error == 0 && refusal.empty() && fdatasync(fd) != 0)
		error = errno;
	if (error == 0 && refusal.empty() && fstat(fd, &fBackup) != 0)
		error = errno;
	if (close(fd) != 0 && error == 0)
		error = errno;
	if (error != 0 || !refusal.empty()) {
		if (unlinkat(fSource.folder, name.c_str(), 0) != 0)
			fprintf(stderr, "%s",
					notice(fSource.path,
							filled(_("the unfinished copy %s could not be "
									 "removed: %s"),
									{name, strerror(errno)}))
							.c_str());
		if (!refusal.empty())
			result_left_alone(refusal);
		return error != 0 ? error : EPERM;
	}
	return 0;
}


// The new text takes its hidden name, which what a run cut off may hold
// still: 0, or the host's error.
int
converted_text::TakeHiddenName()
{
	std::string name = hidden_name(fSource.leaf);
	if (name.empty() || !fTarget.Anonymous())
		return fTarget.TakeHiddenName();
	int error = fTarget.TakeFreeName(name);
	if (error == EEXIST
			&& remove_cut_off(fSource.folder, name, fSource.status,
					fStamp.originalSize, fStamp.originalChecksum)) {
		std::string folder = fSource.path.substr(
				0, fSource.path.size() - fSource.leaf.size());
		fNotices += notice(
				folder + name, _("left by an interrupted conversion; removed"));
		error = fTarget.TakeFreeName(name);
	}
	// Another run's, on its way: a name of our own then.
	return error == EEXIST ? fTarget.TakeHiddenName() : error;
}


// Takes back the backup just made when the conversion cannot go on: true,
// or false when it stays.
bool
converted_text::TakeBack()
{
	// A second name that was there before is not ours to take.
	if (fAdopted)
		return true;
	std::string name = backup_name(fSource.leaf, fStamp.backup);
	return names_file(fSource.folder, name, fBackup, name_match::kSameFile)
			&& unlinkat(fSource.folder, name.c_str(), 0) == 0;
}


// Leaves the source as it was, with reason, and the backup just made gone
// where it can go: false, to be handed on.
bool
converted_text::LeaveAlone(std::string reason)
{
	if (fReplace && !TakeBack())
		reason += filled(_("; the original is also kept as %s"),
				{backup_name(fSource.leaf, fStamp.backup)});
	result_left_alone(reason);
	return false;
}


// One exchange of names puts the new text in place, and the source, which
// has its backup's name already, gives up the name it gets in the trade.
// The name traded away is a hidden one of the new text's: a folder view
// that follows the host's report of the exchange (two renames, one of which
// it takes for a replacement) loses that name, and keeps both the source's
// and the backup's.
bool
converted_text::ReplaceByExchange()
{
	std::string reason;
	int error = 0;
	if (!names_file(fSource.folder, fSource.leaf, fSource.status,
				name_match::kSameVersion)) {
		reason = _(kChangedMeanwhile);
	} else if ((error = TakeHiddenName()) != 0) {
		reason = folder_reason(_("the new text cannot be named: %s"), error);
	} else {
		step("checked");
		std::string hidden = fTarget.Name();
		error = fTarget.TradeWith(fSource.leaf);
		// Only a host that trades no names here is asked for a rename, and
		// only while the source is open to tell what the rename replaced.
		if (cannot_trade(error) && fSource.fd >= 0) {
			fSwap = false;
			return ReplaceByRename();
		}
		if (error != 0) {
			reason = folder_reason(
					_("the new text cannot take its name: %s"), error);
		} else if (!names_file(fSource.folder, hidden, fSource.status,
						   name_match::kSameVersion)) {
			// Replaced in the instant since the check: theirs goes back.
			reason = _(kChangedMeanwhile);
			if (fTarget.TradeWith(hidden) != 0) {
				fTarget.Keep();
				reason += filled(_("; that version is kept as %s"), {hidden});
			}
		} else {
			KeepOriginal(hidden);
		}
	}
	if (reason.empty()) {
		fTarget.Keep();
		return true;
	}
	return LeaveAlone(reason);
}


// After the exchange the original has two names, its backup's and hidden,
// which goes; where the backup's name was taken from it meanwhile, hidden
// becomes that name, or stays.
void
converted_text::KeepOriginal(const std::string& hidden)
{
	std::string backup = backup_name(fSource.leaf, fStamp.backup);
	if (names_file(fSource.folder, backup, fSource.status,
				name_match::kSameFile)) {
		if (unlinkat(fSource.folder, hidden.c_str(), 0) != 0)
			fNotices += notice(fSource.path,
					filled(_("a second name of the original stays as %s: %s"),
							{hidden, strerror(errno)}));
		return;
	}
	if (renameat2(fSource.folder, hidden.c_str(), fSource.folder,
				backup.c_str(), RENAME_NOREPLACE)
			!= 0)
		fNotices += notice(fSource.path,
				filled(_("its backup %s was taken away meanwhile; the "
						 "original is kept as %s"),
						{backup, hidden}));
}


// Where the host cannot trade two names (NFS, CIFS, FAT): one rename puts
// the new text over the source's name, checked before and after.
bool
converted_text::ReplaceByRename()
{
	std::string backup = backup_name(fSource.leaf, fStamp.backup);
	int error = TakeHiddenName();
	if (error != 0) {
		return LeaveAlone(
				folder_reason(_("the new text cannot be named: %s"), error));
	}

	std::string reason;
	struct stat before;
	if (!source_unchanged(fSource) || fstat(fSource.fd, &before) != 0
			|| !names_file(
					fSource.folder, backup, fBackup, name_match::kSameFile)) {
		reason = _(kChangedMeanwhile);
	} else {
		step("checked");
		error = fTarget.ReplaceName(fSource.leaf);
		struct stat after;
		if (error != 0) {
			reason = folder_reason(
					_("the new text cannot take its name: %s"), error);
		} else if (!fTarget.Names(fSource.leaf)) {
			// Another program put its own there in the instant after.
			fTarget.Keep();
			result_left_alone(_(kChangedMeanwhile)
					+ filled(_("; the original is kept as %s"), {backup}));
			return false;
		} else if (fstat(fSource.fd, &after) != 0
				|| after.st_nlink + 1 != before.st_nlink) {
			// What the rename replaced was not the source.
			fTarget.Keep();
			result_left_alone(_(kChangedMeanwhile)
					+ filled(_("; the converted text replaced that version, "
							   "and the original is kept as %s"),
							{backup}));
			return false;
		}
	}
	if (reason.empty()) {
		fTarget.Keep();
		return true;
	}
	return LeaveAlone(reason);
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
	for (int n = 1; n <= kMaxNumber; n++) {
		fPlaced = fSource.leaf + fSuffix;
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


void
converted_text::Finish(int synced)
{
	last_result = fRecord;
	std::string reason;
	if (fClosed != 0)
		reason = filled(
				_("the original cannot be read: %s"), {strerror(fClosed)});
	else if (synced != 0)
		reason = filled(_("its new text could not be put on the disk: %s"),
				{strerror(synced)});
	if (!reason.empty()) {
		printf("\n\n\n");
		LeaveAlone(reason);
		return;
	}
	bool done = !fReplace ? PlaceBeside()
			: fSwap       ? ReplaceByExchange()
						  : ReplaceByRename();
	int closed = fTarget.Close();
	if (!done) {
		printf("\n\n\n");
		return;
	}

	std::string folder
			= fSource.path.substr(0, fSource.path.size() - fSource.leaf.size());
	last_result.converted = true;
	last_result.output = folder + (fReplace ? fSource.leaf : fPlaced);
	if (fReplace) {
		last_result.backup = folder + backup_name(fSource.leaf, fStamp.backup);
		printf("\n rename: '%s' \n \t to: '%s'", fSource.path.c_str(),
				last_result.backup.c_str());
	}
	printf("\n\n\n");
	echo_values(fAttributes.echoes);
	// Written and on the disk before its name came, so nothing can be lost
	// here; the host says so all the same.
	if (closed != 0)
		fNotices += notice(last_result.output,
				filled(_("closing it reported: %s"), {strerror(closed)}));
	fputs(fAttributes.warnings.c_str(), stderr);
	fputs(fNotices.c_str(), stderr);

	static char html[] = "text/html";
	if (pop_ind == kPopIndHtml && fStyle == kStyleBe) {
		// The name holds the new text, as was just checked.
		std::string node = last_result.output;
		mim_setA(node.data(), html);
	}
}

} // namespace


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
	step("read");
	size_t size = length > 0 ? (size_t)length : 0;
	if (!converted->Prepare(map, (const uint8_t*)buffer, size))
		return;
	// In a batch, the sync is one for all; alone, the file's own.
	if (!batch_wait(text))
		converted->Finish(converted->Sync());
}
