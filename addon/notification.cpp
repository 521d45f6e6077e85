/*
 * The notification at the end of a batch, through libnotify.
 */
#include "addon/notification.h"

#include "app/text_domain.h"
#include "charmap/options.h"

#include <libnotify/notify.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>


namespace {

const char kIcon[] = "accessories-text-editor";


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

} // namespace


std::string
notification_text(const batch_counts& counts)
{
	std::string text;
	if (undo_mod != 0) {
		text = counts.converted == 0
				? _("No conversion undone")
				: counted(P_("%d conversion undone, the original is back",
								  "%d conversions undone, the originals are "
								  "back",
								  counts.converted),
						counts.converted);
	} else {
		text = counts.converted == 0
				? _("No file converted")
				: counted(P_("%d file converted to UTF-8, the original kept "
							 "as -BAK",
								  "%d files converted to UTF-8, the originals "
								  "kept as -BAK",
								  counts.converted),
						counts.converted);
	}
	if (counts.doubtful > 0) {
		text += "\n";
		text += counted(
				P_("%d of them doubtful: check it",
						"%d of them doubtful: check them", counts.doubtful),
				counts.doubtful);
	}
	if (counts.leftAlone > 0) {
		text += "\n";
		text += counted(P_("%d file left as it was",
								"%d files left as they were", counts.leftAlone),
				counts.leftAlone);
	}
	if (counts.passedOver > 0) {
		text += "\n";
		text += counted(P_("%d entry passed over", "%d entries passed over",
								counts.passedOver),
				counts.passedOver);
	}
	return text;
}


void
notify_batch(const batch_counts& counts)
{
	if (!session_bus_there())
		return;
	bind_text_domain();
	if (!notify_is_initted() && !notify_init("Textwend"))
		return;
	std::string body = notification_text(counts);
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
