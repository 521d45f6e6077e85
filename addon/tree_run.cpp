/*
 * Walking the trees selected: the walk (walk/) hands on each file by its
 * folder's descriptor and name, the conversion (convert/) does its work on
 * it, and this wires them together with the status window, the lines on
 * standard error and the summary.
 */
#include "addon/tree_run.h"

#include "addon/acceptance.h"
#include "addon/notification.h"
#include "addon/report.h"
#include "addon/statWindow.h"
#include "addon/tree_summary.h"
#include "app/alerts.h"
#include "app/text_domain.h"
#include "charmap/options.h"
#include "convert/batch.h"
#include "convert/convert.h"
#include "convert/family.h"
#include "convert/folder_name.h"
#include "convert/names.h"
#include "convert/result.h"
#include "convert/stamp.h"
#include "convert/undo.h"
#include "walk/passed.h"
#include "walk/tree.h"

#include <add_on_status.h>
#include <Alert.h>
#include <Entry.h>
#include <Path.h>
#include <StorageDefs.h>
#include <TrackerAddOn.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <new>
#include <string>
#include <vector>


namespace {

// The walk's descriptors, kept free beside those the batch holds.
const size_t kWalkReserve = kWalkDescriptors + 2;

// A batch waits for at most this many files handed on: what it holds for
// each, and what it has to tell, stays bounded whatever the tree. Its own
// windows end at fewer conversions.
const uint64_t kFilesPerWindow = 16384;


// An entry of the selection.
struct selected {
	std::string name;
	std::string path;
	struct stat status;
	bool found;
};


class tree_runner {
public:
	explicit tree_runner(tree_job job) { fTally.job = job; }

	// Works on the entries selected; notText names those the file manager
	// passed over as no text.
	void Run(const std::vector<selected>& entries,
			const std::vector<std::string>& notText);

private:
	void _Count(const std::vector<selected>& entries);
	void _Walk(const selected& folder);
	void _Selected(const selected& file);
	walk_answer _File(const walk_entry& file, const std::string& name);
	walk_answer _Passed(
			const walk_entry& entry, walk_passed kind, const std::string& name);
	// A folder whose contents are done: its name, where it is no UTF-8,
	// becomes one (or the one it had comes back, for the undo).
	walk_answer _FolderDone(
			int parent, const char* leaf, const std::string& name);
	// Does the image's work on the file leaf of the open folder.
	void _Handle(int folder, const char* leaf, const char* path);
	// Tells and counts what the file handed on last came to, once it has
	// finished.
	void _Tell(const std::string& name, const std::string& path);
	// Tells line for name, and counts it by count, in the batch's order.
	void _Say(const std::string& name, const std::string& line,
			const std::function<void()>& count);
	void _Done();
	// Finishes what the batch holds, in order, and opens the next window.
	void _NextWindow();
	bool _Stopping();
	void _Summary();

	statWindow fStatus;
	tree_tally fTally;
	uint64_t fSinceWindow = 0;
};


// The name of an entry below a folder selected as the person sees it: the
// folder's own name, then the path below it.
std::string
shown_below(const std::string& top, const walk_entry& entry)
{
	std::string name = top == "/" ? std::string() : top;
	name += '/';
	name += entry.path + entry.relative;
	return name;
}


// The line of an entry left as it was, for why: the check says what the
// conversion would do.
std::string
left_line(tree_job job, const std::string& why)
{
	return filled(job == kTreeCheck ? _("would be left as it is: %s")
									: _("left as it was: %s"),
			{why});
}


// Opens the folder that holds path, which is absolute, and tells where the
// leaf starts in path; -1 with errno for "/", which no folder holds, and
// for a folder that cannot be opened.
int
open_parent(const std::string& path, size_t& leaf)
{
	size_t slash = path.rfind('/');
	if (slash == std::string::npos || path == "/") {
		errno = ENOENT;
		return -1;
	}
	leaf = slash + 1;
	std::string above = slash == 0 ? std::string("/") : path.substr(0, slash);
	return open(above.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}


void
tell_line(const std::string& name, const std::string& what)
{
	fprintf(stderr, "%s\n", report_line({name, kEntryConverted, what}).c_str());
}


void
tree_runner::Run(const std::vector<selected>& entries,
		const std::vector<std::string>& notText)
{
	fStatus.OpenForTree();
	_Count(entries);

	batch_begin(kWalkReserve);
	for (const selected& entry : entries) {
		if (fTally.stopped)
			break;
		if (!entry.found) {
			std::string why = _("it cannot be found or looked at");
			_Say(entry.name, left_line(fTally.job, why),
					[this, name = entry.name, why] {
						tally_left(fTally, name, why);
					});
		} else if (S_ISDIR(entry.status.st_mode))
			_Walk(entry);
		else
			_Selected(entry);
	}
	batch_end();

	// Selected, but passed over by the file manager as no text.
	for (const std::string& name : notText) {
		tell_line(name,
				fTally.job == kTreeCheck ? _("passed over: not text")
										 : _("not a text file, passed over"));
		fTally.notText++;
	}
	_Summary();
}


void
tree_runner::_Count(const std::vector<selected>& entries)
{
	uint64_t total = 0;
	for (const selected& entry : entries) {
		if (!entry.found || !S_ISDIR(entry.status.st_mode)) {
			total++;
			continue;
		}
		walk_counts counts;
		count_tree(entry.path.c_str(), counts, [&](uint64_t found) {
			fStatus.ShowCounting(total + found);
			return _Stopping() ? kWalkStop : kWalkOn;
		});
		total += counts.files;
		if (fTally.stopped)
			break;
	}
	fTally.total = total;
	fStatus.ShowProgress(0, total, "");
}


void
tree_runner::_Walk(const selected& folder)
{
	// What the batch did before is in place first: a file of this tree
	// converted with an entry above is then converted before, not twice.
	_NextWindow();

	walk_hooks hooks;
	hooks.file = [&](const walk_entry& file) {
		return _File(file, shown_below(folder.name, file));
	};
	hooks.passed = [&](const walk_entry& entry, walk_passed kind) {
		return _Passed(entry, kind, shown_below(folder.name, entry));
	};
	hooks.folderDone = [&](const walk_entry& entry) {
		return _FolderDone(
				entry.folder, entry.name, shown_below(folder.name, entry));
	};
	walk_counts counts;
	int error = walk_tree(folder.path.c_str(), hooks, counts);
	if (error != 0 && error != ECANCELED) {
		std::string why = unreadable_reason(error);
		_Say(folder.name, left_line(fTally.job, why),
				[this, name = folder.name, why] {
					tally_left(fTally, name, why);
				});
		return;
	}
	// The folder selected is done too, once everything inside it is.
	size_t leaf;
	int parent = error == 0 ? open_parent(folder.path, leaf) : -1;
	if (parent >= 0) {
		_FolderDone(parent, folder.path.c_str() + leaf, folder.name);
		close(parent);
	}
}


walk_answer
tree_runner::_FolderDone(int parent, const char* leaf, const std::string& name)
{
	folder_rename rename;
	folder_step step;
	if (fTally.job == kTreeUndo) {
		rename = rename_folder_back(parent, leaf);
		step = kFolderRenamedBack;
	} else if (name_is_utf8(leaf)) {
		return kWalkOn;
	} else if (fTally.job == kTreeCheck) {
		rename = plan_folder_rename(parent, leaf);
		step = kFolderPlanned;
	} else {
		// What waits inside is finished first, so that every record of
		// it names the folder as it was then.
		_NextWindow();
		rename = rename_folder(parent, leaf);
		step = kFolderRenamed;
	}
	std::string what = describe_folder_rename(rename, step);
	if (what.empty())
		return kWalkOn;
	bool renamed = rename.reason.empty();
	_Say(name, what, [this, renamed] {
		if (renamed)
			fTally.foldersRenamed++;
		else
			fTally.folderNamesKept++;
	});
	return kWalkOn;
}


walk_answer
tree_runner::_File(const walk_entry& file, const std::string& name)
{
	fStatus.ShowProgress(fTally.done, fTally.total, name.c_str());
	if (!mode_in_range((uint32_t)file.status->st_mode)) {
		// A program that runs with its owner's rights is no text to
		// rewrite.
		_Say(name, passed_over_reason(*file.status),
				[this] { fTally.setId++; });
	} else {
		_Handle(file.folder, file.name, file.path);
		_Tell(name, file.path);
	}
	_Done();
	return _Stopping() ? kWalkStop : kWalkOn;
}


walk_answer
tree_runner::_Passed(
		const walk_entry& entry, walk_passed kind, const std::string& name)
{
	if (kind == kPassedUnreadable) {
		std::string why = unreadable_reason(entry.error);
		_Say(name, left_line(fTally.job, why),
				[this, name, why] { tally_left(fTally, name, why); });
		return kWalkOn;
	}
	// A backup whose file is missing, and is set aside: a run cut off in
	// the moment without the name. The undo puts it back, and then undoes
	// it.
	struct stat status;
	std::string owner = kind == kPassedBackup && fTally.job == kTreeUndo
			? leaf_of_backup(entry.name)
			: std::string();
	std::string aside = owner.empty()
			? std::string()
			: family_name(owner, family_member::kAside);
	if (!owner.empty()
			&& fstatat(entry.folder, owner.c_str(), &status,
					   AT_SYMLINK_NOFOLLOW)
					!= 0
			&& errno == ENOENT
			&& fstatat(entry.folder, aside.c_str(), &status,
					   AT_SYMLINK_NOFOLLOW)
					== 0) {
		_Handle(entry.folder, entry.name, entry.path);
		_Tell(name, entry.path);
		return _Stopping() ? kWalkStop : kWalkOn;
	}
	_Say(name, passed_one(kind), [this, kind] { fTally.passed[kind]++; });
	return kWalkOn;
}


void
tree_runner::_Selected(const selected& file)
{
	fStatus.ShowProgress(fTally.done, fTally.total, file.name.c_str());
	const struct stat& status = file.status;
	if (!S_ISREG(status.st_mode)) {
		walk_passed kind
				= S_ISLNK(status.st_mode) ? kPassedLink : kPassedSpecial;
		_Say(file.name, passed_over_reason(status),
				[this, kind] { fTally.passed[kind]++; });
	} else if (!mode_in_range((uint32_t)status.st_mode)) {
		_Say(file.name, passed_over_reason(status), [this] { fTally.setId++; });
	} else if (status.st_size == 0 && fTally.job != kTreeUndo) {
		// Nothing in it to convert: it is right as it is.
		_Say(file.name, passed_over_reason(status),
				[this] { fTally.alreadyRight++; });
	} else if (fTally.job == kTreeCheck) {
		// Looked at through its folder, as a file in a tree is.
		size_t leaf;
		int fd = open_parent(file.path, leaf);
		if (fd < 0) {
			std::string why = filled(
					_("its folder cannot be opened: %s"), {strerror(errno)});
			_Say(file.name, left_line(fTally.job, why),
					[this, name = file.name, why] {
						tally_left(fTally, name, why);
					});
		} else {
			_Handle(fd, file.path.c_str() + leaf, file.path.c_str());
			close(fd);
			_Tell(file.name, file.path);
		}
	} else {
		// As the images of a selection take it.
		std::string copy = file.path;
		if (fTally.job == kTreeUndo)
			undo_conversion(copy.data());
		else
			AlyBFile(copy.data());
		_Tell(file.name, file.path);
	}
	_Done();
}


void
tree_runner::_Handle(int folder, const char* leaf, const char* path)
{
	switch (fTally.job) {
	case kTreeConvert:
		AlyBFileAt(folder, leaf, path, kConvertIfChanged);
		break;
	case kTreeUndo:
		undo_conversion_at(folder, leaf, path);
		break;
	case kTreeCheck:
		AlyBFileAt(folder, leaf, path, kConvertLookOnly);
		break;
	}
}


void
tree_runner::_Tell(const std::string& name, const std::string& path)
{
	batch_then([this, name, path] {
		std::string what;
		if (fTally.job == kTreeCheck)
			what = describe_check(last_result);
		else if (last_result.unstamped)
			what = _("never converted, passed over");
		else
			what = describe_conversion(last_result, path);
		tell_line(name, what);
		tally_file(fTally, last_result, name);
	});
}


void
tree_runner::_Say(const std::string& name, const std::string& line,
		const std::function<void()>& count)
{
	batch_then([name, line, count] {
		tell_line(name, line);
		count();
	});
}


void
tree_runner::_Done()
{
	fTally.done++;
	if (++fSinceWindow >= kFilesPerWindow)
		_NextWindow();
}


void
tree_runner::_NextWindow()
{
	batch_end();
	batch_begin(kWalkReserve);
	fSinceWindow = 0;
}


bool
tree_runner::_Stopping()
{
	if (fStatus.StopRequested())
		fTally.stopped = true;
	return fTally.stopped;
}


void
tree_runner::_Summary()
{
	fStatus.ShowProgress(fTally.done, fTally.total, "");
	if (fTally.leftAlone > 0 || fTally.stopped)
		BPrivate::set_add_on_status(B_ERROR);
	notify_text(tree_notification_text(fTally));
	std::string text = tree_alert_text(fTally);
	bool calm = fTally.leftAlone == 0 && fTally.doubtful == 0;
	BAlert* alert = new (std::nothrow)
			BAlert("Textwend-AddOn", text.c_str(), " OK ", NULL, NULL,
					B_WIDTH_AS_USUAL, calm ? B_INFO_ALERT : B_WARNING_ALERT);
	// Go() deletes the alert.
	if (alert != NULL)
		alert->Go();
	fStatus.Close();
}

} // namespace


void
process_tree(BMessage* msg)
{
	bind_text_domain();
	std::vector<selected> entries;
	entry_ref ref;
	BEntry entry;
	BPath path;
	for (int32 index = 0;
			msg != NULL && msg->FindRef("refs", index, &ref) == B_OK; index++) {
		selected one;
		char name[B_FILE_NAME_LENGTH];
		one.found = entry.SetTo(&ref, false) == B_OK
				&& entry.GetPath(&path) == B_OK && entry.GetName(name) == B_OK
				&& entry.GetStat(&one.status) == B_OK;
		one.name = one.found ? name : ref.name != NULL ? ref.name : "?";
		if (one.found)
			one.path = path.Path();
		entries.push_back(std::move(one));
	}
	std::vector<std::string> notText;
	for (int32 index = 0;
			msg != NULL && msg->FindRef(B_NOT_TEXT_REFS, index, &ref) == B_OK;
			index++)
		notText.push_back(ref.name != NULL ? ref.name : "?");
	if (entries.empty() && notText.empty()) {
		AlertInf2("Textwend-AddOn\n\tNo files selected..");
		return;
	}

	tree_job job = tree_mod == kTreeModCheck ? kTreeCheck
			: undo_mod != 0                  ? kTreeUndo
											 : kTreeConvert;
	tree_runner runner(job);
	runner.Run(entries, notText);
}
