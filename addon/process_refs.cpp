/*
 * The add-on's entry point: the file manager hands over its selection, and
 * every file in it with data is converted in turn while the status window
 * shows its name.
 */
#include "addon/acceptance.h"
#include "addon/statWindow.h"
#include "app/alerts.h"
#include "convert/convert.h"

#include <Entry.h>
#include <Path.h>
#include <StorageDefs.h>
#include <TrackerAddOn.h>

#include <string>


void
process_refs(entry_ref dir_ref, BMessage* msg, void* reserved)
{
	(void)dir_ref;
	(void)reserved;

	statWindow status;
	status.Open();

	entry_ref ref;
	BEntry entry;
	BPath path;
	int32 index = 0;
	while (msg != NULL && msg->FindRef("refs", index, &ref) == B_OK) {
		index++;

		// An entry that cannot be reached or read is passed over, never
		// judged by a record that is not its own.
		char name[B_FILE_NAME_LENGTH];
		struct stat st;
		if (entry.SetTo(&ref, false) != B_OK || entry.GetPath(&path) != B_OK
				|| entry.GetName(name) != B_OK || entry.GetStat(&st) != B_OK)
			continue;
		if (!accepts(st))
			continue;

		status.ShowName(name);
		std::string copy(path.Path());
		AlyBFile(copy.data());
	}

	if (index == 0)
		AlertInf2("Textwend-AddOn\n\tNo files selected..");
	status.Close();
}
