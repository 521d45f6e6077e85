/*
 * The add-on's entry point: the file manager hands over its selection, and
 * every file in it with data is converted in turn while the status window
 * shows its name. Each entry gets a line on standard error that says what
 * became of it; entries that were not converted are listed in an alert at
 * the end, and the file manager is told when one was left as it was. A
 * notification says how the batch went.
 */
#include "addon/acceptance.h"
#include "addon/notification.h"
#include "addon/report.h"
#include "addon/statWindow.h"
#include "addon/tree_run.h"
#include "app/alerts.h"
#include "app/text_domain.h"
#include "charmap/options.h"
#include "convert/batch.h"
#include "convert/convert.h"
#include "convert/result.h"
#include "convert/undo.h"

#include <add_on_status.h>
#include <Alert.h>
#include <Entry.h>
#include <Path.h>
#include <StorageDefs.h>
#include <TrackerAddOn.h>

#include <stdio.h>

#include <new>
#include <set>
#include <string>
#include <vector>


namespace {

// An entry whose conversion was undone with an earlier one of the batch.
const char kUndoneAbove[] = N_("undone with the entry above");
// A file the batch has converted already, under this name or another.
const char kConvertedAbove[] = N_("converted with the entry above");
// An entry that the file manager passed over for us as no text.
const char kNotText[] = N_("not a text file, passed over");

void
show_batch_alert(const std::string& text)
{
	BAlert* alert = new (std::nothrow) BAlert("Textwend-AddOn", text.c_str(),
			" OK ", NULL, NULL, B_WIDTH_AS_USUAL, B_WARNING_ALERT);
	// Go() deletes the alert.
	if (alert != NULL)
		alert->Go();
}

} // namespace


void
process_refs(entry_ref dir_ref, BMessage* msg, void* reserved)
{
	(void)dir_ref;
	(void)reserved;

	bind_text_domain();
	// The images of a tree go into the folders selected.
	if (tree_mod != 0) {
		process_tree(msg);
		return;
	}
	statWindow status;
	status.Open();
	batch_begin();

	std::vector<entry_report> notConverted;
	std::vector<entry_report> doubtful;
	std::vector<entry_report> namesKept;
	batch_counts counts;
	// The paths that an undo in this batch has dealt with, and the files a
	// conversion has.
	std::set<std::string> undone;
	std::set<std::pair<dev_t, ino_t>> converted;
	auto tell = [&](const entry_report& entry) {
		fprintf(stderr, "%s\n", report_line(entry).c_str());
		// A conversion is counted by what it did (below); an entry done with
		// the one above it, not at all.
		if (entry.outcome == kEntryLeftAlone)
			counts.leftAlone++;
		else if (entry.outcome == kEntryPassedOver)
			counts.passedOver++;
		if (entry.outcome != kEntryConverted)
			notConverted.push_back(entry);
	};
	// Told in selection order, once the conversions before have finished.
	auto report = [&](const entry_report& entry) {
		batch_then([&tell, entry] { tell(entry); });
	};

	entry_ref ref;
	BEntry entry;
	BPath path;
	int32 index = 0;
	while (msg != NULL && msg->FindRef("refs", index, &ref) == B_OK) {
		index++;

		// An entry that cannot be reached or read is left as it was and
		// reported, never judged by a record that is not its own.
		char name[B_FILE_NAME_LENGTH];
		struct stat st;
		if (undo_mod != 0) {
			BPath named(&ref);
			if (named.InitCheck() == B_OK && undone.count(named.Path()) != 0) {
				report({ref.name != NULL ? ref.name : "?", kEntryConverted,
						_(kUndoneAbove)});
				continue;
			}
		}
		if (entry.SetTo(&ref, false) != B_OK || entry.GetPath(&path) != B_OK
				|| entry.GetName(name) != B_OK || entry.GetStat(&st) != B_OK) {
			report({ref.name != NULL ? ref.name : "?", kEntryLeftAlone,
					_("left as it was: it cannot be found or looked at")});
			continue;
		}
		// A conversion may have written an empty text; it is undone all
		// the same.
		bool wanted = accepts(st)
				|| (undo_mod != 0 && S_ISREG(st.st_mode)
						&& mode_in_range((uint32_t)st.st_mode));
		if (!wanted) {
			report({name, kEntryPassedOver, passed_over_reason(st)});
			continue;
		}
		if (undone.count(path.Path()) != 0) {
			report({name, kEntryConverted, _(kUndoneAbove)});
			continue;
		}
		// The same file again, by the same name or another: converting it
		// twice in one batch would only convert what it just wrote.
		if (undo_mod == 0 && !converted.insert({st.st_dev, st.st_ino}).second) {
			report({name, kEntryConverted, _(kConvertedAbove)});
			continue;
		}

		status.ShowName(name);
		std::string copy(path.Path());
		if (undo_mod != 0)
			undo_conversion(copy.data());
		else
			AlyBFile(copy.data());
		std::string leaf(name);
		std::string where(path.Path());
		batch_then([&, leaf, where] {
			tell({leaf,
					last_result.converted            ? kEntryConverted
							: last_result.passedOver ? kEntryPassedOver
													 : kEntryLeftAlone,
					describe_conversion(last_result, where)});
			if (last_result.converted)
				count_conversion(counts, last_result, where);
			// Named in the alert by both names, where it took one in UTF-8.
			std::string renamed = last_result.renamed && undo_mod == 0
					? last_result.output.substr(
							last_result.output.rfind('/') + 1)
					: std::string();
			if (last_result.converted && last_result.doubtful) {
				doubtful.push_back({leaf, kEntryConverted,
						describe_doubt(last_result), renamed});
				counts.doubtful++;
			}
			if (last_result.converted && !last_result.nameKept.empty())
				namesKept.push_back(
						{leaf, kEntryConverted, last_result.nameKept});
			// Both names of an undone conversion are done with: the backup
			// is gone, and what has the name now is the original.
			if (undo_mod != 0 && last_result.converted) {
				undone.insert(last_result.output);
				undone.insert(last_result.backup);
				undone.insert(where);
			}
		});
	}
	batch_end();

	// Selected, but passed over by the file manager as no text: named, so
	// that a selection of such files is not taken for none.
	int total = index;
	for (int32 i = 0;
			msg != NULL && msg->FindRef(B_NOT_TEXT_REFS, i, &ref) == B_OK;
			i++) {
		report({ref.name != NULL ? ref.name : "?", kEntryPassedOver,
				_(kNotText)});
		total++;
	}

	if (counts.leftAlone > 0)
		BPrivate::set_add_on_status(B_ERROR);
	if (total > 0)
		notify_batch(counts);
	if (total == 0)
		AlertInf2("Textwend-AddOn\n\tNo files selected..");
	else if (!notConverted.empty() || !doubtful.empty() || !namesKept.empty())
		show_batch_alert(
				batch_alert_text(notConverted, doubtful, total, namesKept));
	status.Close();
}
