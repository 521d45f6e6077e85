/*
 * Folder names from old machines. A folder whose name is no UTF-8 takes its
 * name in UTF-8 once everything inside it is done (a walk's folderDone,
 * the deepest first), read in the set that the names and texts inside it
 * are in; where they tell nothing, in the set its name alone reads in. The
 * name it had is recorded first, in an attribute of the folder, and one
 * rename that replaces nothing then gives it the new one: cut off in
 * between, the folder has its own name and a record that names it, which
 * both ways take for a rename that never happened. Renaming it back reads
 * the record. Only a name that is no UTF-8 is ever renamed.
 */
#ifndef CONVERT_FOLDER_NAME_H
#define CONVERT_FOLDER_NAME_H

#include <stdint.h>

#include <string>

// The attribute that records the name a folder had: "1 NAME", the name's
// bytes as they were.
extern const char kRenamedFolder[]; // "user.textwend.renamed"

// What became, or would become, of a folder's name.
struct folder_rename {
	// Its name: the new one, or for a renaming back the original; empty
	// when it stays.
	std::string name;
	// The set it was read in, and another that reads it the same.
	int32_t style = 0;
	int32_t sameText = 0;
	// True once renamed.
	bool done = false;
	// Why it stays, in the person's words and language; empty where there
	// is nothing to do (a name in UTF-8, a folder never renamed).
	std::string reason;
};

// What rename_folder would do with the folder name in the open folder
// parent, without doing it.
folder_rename plan_folder_rename(int parent, const char* name);

// Gives the folder name in parent its name in UTF-8 where it has none,
// recording the one it had.
folder_rename rename_folder(int parent, const char* name);

// Gives the folder name in parent the name that rename_folder recorded,
// where name is what rename_folder made of it, and takes the record away.
folder_rename rename_folder_back(int parent, const char* name);

#endif // CONVERT_FOLDER_NAME_H
