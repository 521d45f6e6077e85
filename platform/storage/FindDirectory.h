/*
 * find_directory(): where the system keeps the folders of one kind.
 */
#ifndef _FIND_DIRECTORY_H
#define _FIND_DIRECTORY_H

#include <SupportDefs.h>

class BPath;
class BVolume;

typedef enum {
	// The add-ons of this install, for every user.
	B_SYSTEM_ADDONS_DIRECTORY = 1002,
	// The add-ons of the user running the program.
	B_USER_ADDONS_DIRECTORY = 3002
} directory_which;

// Sets path to the folder of the given kind. With createIt, the folder and
// those above it are made when missing. There is one volume here; volume
// is not looked at. B_BAD_VALUE for a kind not known here or a NULL path,
// B_ENTRY_NOT_FOUND when the folder has no place (no home folder, or the
// kits' own folder cannot be told).
status_t find_directory(directory_which which, BPath* path,
		bool createIt = false, BVolume* volume = NULL);

#endif // _FIND_DIRECTORY_H
