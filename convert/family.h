/*
 * The names a run makes beside a file, all derived from the file's own name,
 * so that the next run of the same file finds what a run cut off left
 * there: it removes what another name holds as well or what can be made
 * again, and names what it removes. The original is under one of these
 * names only while a whole backup of it exists, a second name or a copy on
 * the disk; a run never removes a name that another live run has made.
 */
#ifndef CONVERT_FAMILY_H
#define CONVERT_FAMILY_H

#include "convert/source_file.h"

#include <stdint.h>

#include <string>

enum class family_member {
	// The new text before it takes the name; after an exchange of names,
	// the original until it goes.
	kHidden,
	// The new text while it is written, where the file system gives no
	// nameless files.
	kNew,
	// A copied backup while it is written and synced.
	kCopy,
	// The name's file, set aside while the new text takes the name where
	// the file system trades no names.
	kAside,
};

// The member's name for leaf: ".LEAF.textwend" and ".LEAF.textwend-new",
// "-copy", "-old"; for a leaf too long for that, its start and a checksum
// of the whole leaf.
std::string family_name(const std::string& leaf, family_member member);

// Gives what from names in folder the name to, only if to is free, and
// takes from away: one call that cannot replace where the file system has
// one, else a second name and the first given up, else a look that to is
// free and a rename. 0, EEXIST when to is taken, or the host's error. With
// stale, a first name given up after a second one was made is left to the
// caller there, to remove once it has closed the file: NFS keeps the name
// of a file still open as a hidden one of its own until then.
int move_name(int folder, const std::string& from, const std::string& to,
		std::string* stale = NULL);

// Gives what from names the family name to: in one call that cannot
// replace, else by a rename once to is seen free, which the run's mark on
// the name's file keeps so (the file stays open under its new name).
int move_into_family(
		int folder, const std::string& from, const std::string& to);

// Removes the name stale, left by move_name, where it still names the file
// seen; clears stale.
void drop_stale(int folder, std::string& stale, const struct stat& seen);

// Clears what interrupted runs left beside the file source (opened and
// marked: the original of a conversion, or the converted text of an undo),
// whose text has size bytes and the checksum checksum. What is removed is
// named in notices. Empty, or why the file is left alone: another run is
// at work there, or a leftover holds a text found nowhere else, and stays.
std::string clear_leftovers(const source_file& source, uint64_t size,
		uint64_t checksum, std::string& notices);

// Where leaf is missing from folder: puts back what a run cut off in the
// moment without the name left set aside, and says so on standard error
// (folderPath names the folder there). 0 when it is back; ENOENT when
// nothing was set aside; EBUSY when a live run holds it; or the host's
// error.
int put_back_set_aside(
		int folder, const std::string& folderPath, const std::string& leaf);

// True when the open file fd is a converted text exactly as its stamp says,
// whose stamp records as its original the text of size bytes and the
// checksum checksum: it can be made again from that text.
bool converted_from(int fd, uint64_t size, uint64_t checksum);

// Removes the backup name of leaf in folder when it holds what an undo cut
// off between its exchange of names and its last step left: a converted
// text whose stamp records as its original the text of size bytes and the
// checksum checksum (what leaf holds now), held by no live run. True when
// it was removed.
bool remove_undo_leftover(
		int folder, const std::string& name, uint64_t size, uint64_t checksum);

#endif // CONVERT_FAMILY_H
