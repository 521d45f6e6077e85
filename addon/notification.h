/*
 * A word when a batch is done: a notification through the desktop's
 * notification service, where the session has a message bus. A batch of
 * small files is over before its status window can be seen, and the lines
 * of the report go where nobody looks.
 */
#ifndef ADDON_NOTIFICATION_H
#define ADDON_NOTIFICATION_H

#include "convert/result.h"

#include <string>
#include <vector>

// What became of a batch's entries.
struct batch_counts {
	int converted = 0;   // converted from an 8-bit set (undone, by the undo)
	int alreadyUtf8 = 0; // already UTF-8 (plain ASCII too): written anew
	int lineEnds = 0;    // their line ends alone converted, as the build says
	int leftAlone = 0;   // meant to be converted, but left as they were
	int passedOver = 0;  // not files that the batch converts
	int doubtful = 0;    // converted, but in a set that may be wrong
	// What the names made beside each kind add to theirs, in the order of
	// first use: "-BAK", "-BAK2", or "-N" where the text goes beside.
	std::vector<std::string> convertedMade;
	std::vector<std::string> alreadyMade;
	std::vector<std::string> lineEndsMade;
};

// Counts the conversion of the file at path that result records.
void count_conversion(batch_counts& counts, const convert_result& result,
		const std::string& path);

// The notification's text, in the person's language: how many were
// converted (undone, for the undo image), how many were UTF-8 already, with
// the names their originals were kept under, how many of them with doubt,
// and how many were not.
std::string notification_text(const batch_counts& counts);

// Shows the notification when the session has a message bus; without one,
// or without a notification service on it, nothing happens and nothing is
// said.
void notify_batch(const batch_counts& counts);

// Shows body as the notification, as notify_batch does.
void notify_text(const std::string& body);

#endif // ADDON_NOTIFICATION_H
