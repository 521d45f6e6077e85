/*
 * The notification at the end of a batch, through libnotify.
 */
#include "addon/notification.h"

#include "app/text_domain.h"
#include "charmap/options.h"
#include "charmap/styles.h"

#include <libnotify/notify.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>


namespace {

const char kIcon[] = "accessories-text-editor";

// The most names a line lists; more are cut short.
const size_t kNamesShown = 3;


// format, which holds one %d, with count in it.
std::string
counted(const char* format, int count)
{
	int length = snprintf(NULL, 0, format, count);
	if (length < 0)
		return std::string();
	std::string text(length + 1, '\0');
	snprintf(text.data(), text.size(), format, count);
	text.resize(length);
	return text;
}


// Whether the session has a message bus to ask: named in the environment,
// or at its usual place. Without one GLib would try to start one, which a
// batch must never do.
bool
session_bus_there()
{
	const char* address = getenv("DBUS_SESSION_BUS_ADDRESS");
	if (address != NULL && address[0] != '\0')
		return true;
	const char* runtime = getenv("XDG_RUNTIME_DIR");
	if (runtime == NULL || runtime[0] != '/')
		return false;
	struct stat st;
	std::string socket = std::string(runtime) + "/bus";
	return stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}


// "-BAK/-BAK2": the names made, as few as fit.
std::string
names_made(const std::vector<std::string>& made)
{
	std::string names;
	for (size_t i = 0; i < made.size() && i <= kNamesShown; i++) {
		names += i == 0 ? "" : "/";
		names += i < kNamesShown ? made[i] : "…";
	}
	return names;
}


// A line for count files of one kind: what became of them (head, which
// holds one %d, translated), and the names their originals went to, or,
// where the new texts go beside them, the names those took.
std::string
kind_line(int count, const char* head, const std::vector<std::string>& made)
{
	std::string line = counted(head, count);
	if (made.empty())
		return line;
	const char* tail = r_modus == kRModusBeside
			? P_(", written beside it as %s", ", written beside them as %s",
					count)
			: P_(", the original kept as %s", ", the originals kept as %s",
					count);
	return line + filled(tail, {names_made(made)});
}

} // namespace


void
count_conversion(batch_counts& counts, const convert_result& result,
		const std::string& path)
{
	int* count = &counts.converted;
	std::vector<std::string>* made = &counts.convertedMade;
	if (undo_mod != 0) {
		counts.converted++;
		return;
	}
	// What a build that loads no table does is converting line ends; a
	// text without 8-bit characters is UTF-8 already.
	if ((uint32_t)pop_ind >= kPopIndNoTable) {
		count = &counts.lineEnds;
		made = &counts.lineEndsMade;
	} else if (result.style == kStyleBe || result.style == kStyleNone) {
		count = &counts.alreadyUtf8;
		made = &counts.alreadyMade;
	}
	(*count)++;
	const std::string& name
			= result.backup.empty() ? result.output : result.backup;
	if (name.size() > path.size() && name.compare(0, path.size(), path) == 0) {
		std::string suffix = name.substr(path.size());
		if (std::find(made->begin(), made->end(), suffix) == made->end())
			made->push_back(suffix);
	}
}


std::string
notification_text(const batch_counts& counts)
{
	std::vector<std::string> lines;
	if (undo_mod != 0) {
		lines.push_back(counts.converted == 0
						? _("No conversion undone")
						: counted(P_("%d conversion undone, the original is "
									 "back",
										  "%d conversions undone, the "
										  "originals are back",
										  counts.converted),
								counts.converted));
	} else if (counts.converted + counts.alreadyUtf8 + counts.lineEnds == 0) {
		lines.push_back(_("No file converted"));
	} else {
		if (counts.converted > 0)
			lines.push_back(kind_line(counts.converted,
					P_("%d file converted to UTF-8",
							"%d files converted to UTF-8", counts.converted),
					counts.convertedMade));
		if (counts.lineEnds > 0)
			lines.push_back(kind_line(counts.lineEnds,
					P_("%d file with its line ends made LF",
							"%d files with their line ends made LF",
							counts.lineEnds),
					counts.lineEndsMade));
		if (counts.alreadyUtf8 > 0)
			lines.push_back(kind_line(counts.alreadyUtf8,
					P_("%d file already UTF-8", "%d files already UTF-8",
							counts.alreadyUtf8),
					counts.alreadyMade));
	}
	if (counts.doubtful > 0) {
		lines.push_back(counted(
				P_("%d of them doubtful: check it",
						"%d of them doubtful: check them", counts.doubtful),
				counts.doubtful));
	}
	if (counts.leftAlone > 0) {
		lines.push_back(
				counted(P_("%d file left as it was",
								"%d files left as they were", counts.leftAlone),
						counts.leftAlone));
	}
	if (counts.passedOver > 0) {
		lines.push_back(
				counted(P_("%d entry passed over", "%d entries passed over",
								counts.passedOver),
						counts.passedOver));
	}
	std::string text;
	for (const std::string& line : lines)
		text += (text.empty() ? "" : "\n") + line;
	return text;
}


void
notify_batch(const batch_counts& counts)
{
	if (!session_bus_there())
		return;
	bind_text_domain();
	notify_text(notification_text(counts));
}


void
notify_text(const std::string& body)
{
	if (!session_bus_there())
		return;
	if (!notify_is_initted() && !notify_init("Textwend"))
		return;
	NotifyNotification* notification
			= notify_notification_new("Textwend", body.c_str(), kIcon);
	if (notification != NULL) {
		// A service that is missing or refuses is no concern of the batch.
		GError* error = NULL;
		notify_notification_show(notification, &error);
		g_clear_error(&error);
		g_object_unref(notification);
	}
	notify_uninit();
}
