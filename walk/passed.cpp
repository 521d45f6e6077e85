#include "walk/passed.h"

#include "app/numbers.h"
#include "app/text_domain.h"

#include <string.h>


std::string
passed_counted(walk_passed kind, uint64_t count)
{
	const char* text = NULL;
	switch (kind) {
	case kPassedHidden:
		text = P_("%s hidden file or folder", "%s hidden files or folders",
				count);
		break;
	case kPassedVersionControl:
		text = P_("%s folder of version control",
				"%s folders of version control", count);
		break;
	case kPassedBackup:
		text = P_("%s backup", "%s backups", count);
		break;
	case kPassedOwn:
		text = P_("%s file of Textwend's own", "%s files of Textwend's own",
				count);
		break;
	case kPassedLink:
		text = P_("%s symbolic link", "%s symbolic links", count);
		break;
	case kPassedOtherMount:
		text = P_("%s folder on another file system",
				"%s folders on other file systems", count);
		break;
	case kPassedSpecial:
		text = P_("%s pipe, socket or device", "%s pipes, sockets or devices",
				count);
		break;
	case kPassedUnreadable:
		text = P_("%s folder that cannot be read",
				"%s folders that cannot be read", count);
		break;
	case kPassedKinds:
		break;
	}
	return text != NULL ? filled(text, {grouped(count)}) : std::string();
}


std::string
passed_one(walk_passed kind)
{
	switch (kind) {
	case kPassedHidden:
		return _("hidden, passed over");
	case kPassedVersionControl:
		return _("a folder of version control, passed over");
	case kPassedBackup:
		return _("a backup, passed over");
	case kPassedOwn:
		return _("a file of Textwend's own, passed over");
	case kPassedLink:
		return _("a link, passed over");
	case kPassedOtherMount:
		return _("a folder on another file system, passed over");
	case kPassedSpecial:
		return _("not a regular file, passed over");
	case kPassedUnreadable:
	case kPassedKinds:
		break;
	}
	return std::string();
}


std::string
unreadable_reason(int error)
{
	return filled(_("cannot be read: %s"), {strerror(error)});
}
