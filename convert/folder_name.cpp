#include "convert/folder_name.h"

#include "app/text_domain.h"
#include "charmap/styles.h"
#include "convert/detect.h"
#include "convert/family.h"
#include "convert/names.h"
#include "convert/second_opinion.h"
#include "convert/source_file.h"
#include "convert/stamp.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <memory>

const char kRenamedFolder[] = "user.textwend.renamed";


namespace {

const char kRecordVersion[] = "1 ";

// What is read of a folder to judge its set: the start of this many of
// its texts, which tells the set of a text as well as the whole does.
const int kTextsRead = 32;
const size_t kTextStart = 16 * 1024;

// The order in which sets win a tie, as for a text: Windows ANSI,
// Macintosh, DOS, Atari.
const int32_t kTieOrder[] = {kStyleAnsi, kStyleMac, kStylePc, kStyleTos};


// The open folder name in parent, links not followed; -1 with errno set.
int
open_folder(int parent, const char* name)
{
	return openat(parent, name,
			O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}


struct open_fd {
	int fd;
	~open_fd()
	{
		if (fd >= 0)
			close(fd);
	}
};


// The name the folder fd had before it was renamed, from its record: 0,
// ENODATA without one, EINVAL for one that is no record of ours, or the
// host's error.
int
read_record(int fd, std::string& name)
{
	char buffer[NAME_MAX + sizeof(kRecordVersion)];
	ssize_t got = fgetxattr(fd, kRenamedFolder, buffer, sizeof(buffer));
	if (got < 0)
		return errno == ERANGE ? EINVAL : errno;
	std::string text(buffer, (size_t)got);
	size_t version = strlen(kRecordVersion);
	if (text.compare(0, version, kRecordVersion) != 0 || text.size() == version
			|| text.find('/') != std::string::npos
			|| text.find('\0') != std::string::npos)
		return EINVAL;
	name = text.substr(version);
	return 0;
}


// The votes of the sets, one for each name and text inside a folder that
// tells one.
struct set_votes {
	int count[kStyleAnsi + 1] = {};

	void
	Add(const set_opinion& opinion)
	{
		if (opinion.style == kStyleNone || opinion.doubtful)
			return;
		count[opinion.style]++;
		if (opinion.sameText != kStyleNone)
			count[opinion.sameText]++;
	}

	void
	AddName(const std::string& name)
	{
		if (name_is_utf8(name))
			return;
		const uint8_t* data = (const uint8_t*)name.c_str();
		text_findings findings = scan_text(data, name.size(), false);
		Add(second_opinion(data, name.size(), findings));
	}

	bool
	Any() const
	{
		for (int32_t style : kTieOrder) {
			if (count[style] > 0)
				return true;
		}
		return false;
	}
};


// The start of the text of the file name in folder, where it is no UTF-8.
void
vote_for_text(int folder, const char* name, set_votes& votes)
{
	open_fd file = {openat(folder, name,
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
	if (file.fd < 0)
		return;
	std::unique_ptr<uint8_t[]> start(new uint8_t[kTextStart + 1]);
	ssize_t got = pread(file.fd, start.get(), kTextStart, 0);
	if (got <= 0)
		return;
	start[got] = 0;
	text_findings findings = scan_text(start.get(), (size_t)got, false);
	int32_t umlaut = decide_style(findings, false);
	if (findings.validUtf8 || umlaut == kStyleBe)
		return;
	votes.Add(second_opinion(start.get(), (size_t)got, findings));
}


// The name that the entry name of the open folder fd had before a
// conversion or a rename gave it its name in UTF-8, if any.
std::string
earlier_name(int fd, const char* name, unsigned char type)
{
	open_fd entry = {-1};
	if (type == DT_DIR)
		entry.fd = open_folder(fd, name);
	else if (type == DT_REG)
		entry.fd = openat(fd, name,
				O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	std::string earlier;
	conversion_stamp stamp;
	if (entry.fd < 0)
		return earlier;
	if (type == DT_DIR)
		read_record(entry.fd, earlier);
	else if (read_stamp(entry.fd, stamp) == 0)
		earlier = stamp.originalName;
	return earlier;
}


// The votes of what the open folder fd holds: the names inside it that are
// no UTF-8 (the backups of its texts among them, which keep their
// originals' names), those that files and folders had before they took
// their names in UTF-8, and the starts of its texts that are no UTF-8 (the
// backups' among them).
set_votes
judge_contents(int fd)
{
	set_votes votes;
	int listed = fcntl(fd, F_DUPFD_CLOEXEC, 0);
	DIR* listing = listed >= 0 ? fdopendir(listed) : NULL;
	if (listing == NULL) {
		if (listed >= 0)
			close(listed);
		return votes;
	}
	int texts = 0;
	while (struct dirent* entry = readdir(listing)) {
		std::string name = entry->d_name;
		if (name == "." || name == "..")
			continue;
		unsigned char type = entry->d_type;
		struct stat status;
		if (type == DT_UNKNOWN
				&& fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW)
						== 0)
			type = IFTODT(status.st_mode);
		votes.AddName(name);
		votes.AddName(earlier_name(fd, entry->d_name, type));
		if (type == DT_REG && texts < kTextsRead) {
			texts++;
			vote_for_text(fd, entry->d_name, votes);
		}
	}
	closedir(listing);
	return votes;
}


// What the folder name, open as fd, would be called in UTF-8.
folder_rename
plan(int fd, const std::string& name)
{
	folder_rename rename;
	if (name_is_utf8(name))
		return rename;
	set_votes votes = judge_contents(fd);
	int32_t style = kStyleNone;
	if (votes.Any()) {
		// The set that most of what it holds is in, where it reads the
		// name as well; else the next.
		int32_t order[4];
		int count = 0;
		for (int32_t candidate : kTieOrder) {
			int at = count++;
			while (at > 0
					&& votes.count[order[at - 1]] < votes.count[candidate]) {
				order[at] = order[at - 1];
				at--;
			}
			order[at] = candidate;
		}
		for (int k = 0; k < count && style == kStyleNone; k++) {
			if (votes.count[order[k]] > 0
					&& !name_in_set(name, order[k]).empty()
					&& reads_well(name, order[k]))
				style = order[k];
		}
		if (style == kStyleNone) {
			rename.reason = _("none of the character sets of what it holds "
							  "reads its name");
			return rename;
		}
		for (int k = 0; k < count; k++) {
			if (order[k] != style && votes.count[order[k]] == votes.count[style]
					&& name_in_set(name, order[k]) == name_in_set(name, style))
				rename.sameText = order[k];
		}
	}
	name_plan named = plan_name(name, style);
	rename.name = named.name;
	rename.style = named.style;
	if (style == kStyleNone)
		rename.sameText = named.sameText;
	rename.reason = named.reason;
	return rename;
}


// Why the folder's name stays, given the host's error of its rename.
std::string
refused(int error, const std::string& name)
{
	if (error == EEXIST)
		return filled(_("%s is taken already"), {name});
	if (error == EACCES || error == EPERM || error == EROFS)
		return filled(_("the folder it is in cannot be written: %s"),
				{strerror(error)});
	return filled(_("the file system refuses %s: %s"), {name, strerror(error)});
}

} // namespace


folder_rename
plan_folder_rename(int parent, const char* name)
{
	folder_rename rename;
	if (name_is_utf8(name))
		return rename;
	open_fd folder = {open_folder(parent, name)};
	if (folder.fd < 0) {
		rename.reason = filled(_("it cannot be opened: %s"), {strerror(errno)});
		return rename;
	}
	return plan(folder.fd, name);
}


folder_rename
rename_folder(int parent, const char* name)
{
	folder_rename rename;
	if (name_is_utf8(name))
		return rename;
	open_fd folder = {open_folder(parent, name)};
	struct stat status;
	if (folder.fd < 0 || fstat(folder.fd, &status) != 0) {
		rename.reason = filled(_("it cannot be opened: %s"), {strerror(errno)});
		return rename;
	}
	rename = plan(folder.fd, name);
	if (rename.name.empty())
		return rename;

	// The record first: renamed without it, the folder could not be
	// renamed back.
	std::string record = kRecordVersion + std::string(name);
	if (fsetxattr(folder.fd, kRenamedFolder, record.data(), record.size(), 0)
			!= 0) {
		rename.reason = errno == ENOTSUP
				? _("its file system keeps no attributes, so its rename could "
					"not be undone")
				: filled(_("the record of its name could not be written: %s"),
						{strerror(errno)});
		rename.name.clear();
		return rename;
	}
	replace_step("recorded");
	int error = names_file(parent, name, status, name_match::kSameFile)
			? move_name(parent, name, rename.name)
			: ENOENT;
	if (error == 0) {
		rename.done = true;
		replace_step("renamed");
		return rename;
	}
	// As it was: its name, and no record.
	fremovexattr(folder.fd, kRenamedFolder);
	rename.reason = error == ENOENT ? _("it was moved meanwhile")
									: refused(error, rename.name);
	rename.name.clear();
	return rename;
}


folder_rename
rename_folder_back(int parent, const char* name)
{
	folder_rename rename;
	open_fd folder = {open_folder(parent, name)};
	struct stat status;
	if (folder.fd < 0 || fstat(folder.fd, &status) != 0) {
		rename.reason = filled(_("it cannot be opened: %s"), {strerror(errno)});
		return rename;
	}
	std::string original;
	int error = read_record(folder.fd, original);
	if (error == ENODATA || error == ENOTSUP)
		return rename;
	if (error != 0) {
		rename.reason = error == EINVAL
				? _("its record of an earlier name is damaged")
				: filled(_("its record of an earlier name cannot be read: %s"),
						{strerror(error)});
		return rename;
	}
	// A rename cut off before it was made: the folder has its name.
	if (original == name) {
		fremovexattr(folder.fd, kRenamedFolder);
		return rename;
	}
	// Only the name the rename gave it is taken back, not one a person gave
	// it since.
	if (!reads_as(original, name)) {
		rename.reason = filled(
				_("it was renamed since it was renamed from %s"), {original});
		return rename;
	}
	error = names_file(parent, name, status, name_match::kSameFile)
			? move_name(parent, name, original)
			: ENOENT;
	if (error != 0) {
		rename.reason = error == EEXIST
				? filled(_("its original name %s is taken"), {original})
				: error == ENOENT ? _("it was moved meanwhile")
								  : refused(error, original);
		return rename;
	}
	replace_step("renamed");
	// Back under its own name, a record that names it tells nothing.
	fremovexattr(folder.fd, kRenamedFolder);
	rename.name = original;
	rename.done = true;
	return rename;
}
