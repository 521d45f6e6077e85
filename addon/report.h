/*
 * What the person is told about a batch: one line per entry of the
 * selection on standard error, and at the end an alert that lists the
 * entries that were not converted. Standard output stays the system's own
 * record.
 */
#ifndef ADDON_REPORT_H
#define ADDON_REPORT_H

#include "convert/folder_name.h"
#include "convert/result.h"

#include <stddef.h>
#include <sys/stat.h>

#include <string>
#include <vector>

// What became of one entry.
enum entry_outcome {
	kEntryConverted,
	kEntryPassedOver, // not a file the batch converts
	kEntryLeftAlone   // meant to be converted, but left as it was
};

struct entry_report {
	std::string name; // the leaf name, as the entry has it
	entry_outcome outcome;
	std::string what; // in a person's words
	// The name in UTF-8 it took, where its name was none.
	std::string renamed = std::string();
};

// Why an entry that the batch does not take was passed over.
std::string passed_over_reason(const struct stat& st);

// What the conversion of the file at path did, from its result record.
std::string describe_conversion(
		const convert_result& result, const std::string& path);

// For the alert: the set a doubtful conversion took, and the next best.
std::string describe_doubt(const convert_result& result);

// What the conversion of a file only looked at would do, from its result
// record: "would convert from DOS code page 437, CR LF → LF", "already
// right", "passed over: not text".
std::string describe_check(const convert_result& result);

// The set a converted text came from, as a summary counts it: "Atari ST",
// "DOS code page 437", "UTF-8" (line ends, a few bytes), "ASCII".
std::string text_set(int32_t style);

// The most entries an alert names; the rest are counted.
const size_t kAlertNames = 10;

// Appends a line "NAME: WHAT" to text for each of entries, with the name in
// UTF-8 it took where it was renamed, as long as fewer than kAlertNames
// were shown; shown counts those.
void append_alert_names(std::string& text,
		const std::vector<entry_report>& entries, size_t& shown);

// "Textwend: NAME: WHAT".
std::string report_line(const entry_report& report);

// The end-of-batch alert's text for the entries that were not converted,
// those converted with doubt and those that kept a name that is no UTF-8,
// out of total; empty when every entry was converted without doubt and
// took its name in UTF-8 where it had none.
std::string batch_alert_text(const std::vector<entry_report>& notConverted,
		const std::vector<entry_report>& doubtful, int total,
		const std::vector<entry_report>& namesKept = {});

// What was done with a folder's name.
enum folder_step {
	kFolderRenamed,     // rename_folder
	kFolderRenamedBack, // rename_folder_back
	kFolderPlanned,     // plan_folder_rename: what it would do
};

// What became of a folder's name, in a person's words: empty where there
// is nothing to tell (a name that is UTF-8, a folder never renamed).
std::string describe_folder_rename(
		const folder_rename& rename, folder_step step);

#endif // ADDON_REPORT_H
