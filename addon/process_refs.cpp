/*
 * The add-on's entry point: the file manager hands over its selection, and
 * every file in it with data is converted in turn while the status window
 * shows its name. Each entry gets a line on standard error that says what
 * became of it; entries that were not converted are listed in an alert at
 * the end, and the file manager is told when one was left as it was.
 */
#include "addon/acceptance.h"
#include "addon/report.h"
#include "addon/statWindow.h"
#include "app/alerts.h"
#include "charmap/options.h"
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
const char kUndoneAbove[] = "undone with the entry above";

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

	statWindow status;
	status.Open();

	std::vector<entry_report> notConverted;
	std::vector<entry_report> doubtful;
	bool leftAlone = false;
	// The paths that an undo in this batch has dealt with.
	std::set<std::string> undone;
	auto report = [&](const entry_report& entry) {
		fprintf(stderr, "%s\n", report_line(entry).c_str());
		if (entry.outcome != kEntryConverted)
			notConverted.push_back(entry);
		if (entry.outcome == kEntryLeftAlone)
			leftAlone = true;
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
		BPath named(&ref);
		if (named.InitCheck() == B_OK && undone.count(named.Path()) != 0) {
			report({ref.name != NULL ? ref.name : "?", kEntryConverted,
					kUndoneAbove});
			continue;
		}
		if (entry.SetTo(&ref, false) != B_OK || entry.GetPath(&path) != B_OK
				|| entry.GetName(name) != B_OK || entry.GetStat(&st) != B_OK) {
			report({ref.name != NULL ? ref.name : "?", kEntryLeftAlone,
					"left as it was: it cannot be found or looked at"});
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
			report({name, kEntryConverted, kUndoneAbove});
			continue;
		}

		status.ShowName(name);
		std::string copy(path.Path());
		if (undo_mod != 0)
			undo_conversion(copy.data());
		else
			AlyBFile(copy.data());
		report({name, last_result.converted ? kEntryConverted : kEntryLeftAlone,
				describe_conversion(last_result, path.Path())});
		if (last_result.converted && last_result.doubtful)
			doubtful.push_back(
					{name, kEntryConverted, describe_doubt(last_result)});
		// Both names of an undone conversion are done with: the backup is
		// gone, and what has the name now is the original.
		if (undo_mod != 0 && last_result.converted) {
			undone.insert(last_result.output);
			undone.insert(last_result.backup);
		}
	}

	if (leftAlone)
		BPrivate::set_add_on_status(B_ERROR);
	if (index == 0)
		AlertInf2("Textwend-AddOn\n\tNo files selected..");
	else if (!notConverted.empty() || !doubtful.empty())
		show_batch_alert(batch_alert_text(notConverted, doubtful, index));
	status.Close();
}
