/*
 * The file being converted, held by descriptors from the moment it is opened:
 * its folder, its name there, and what it was when it was read. Every later
 * step works through these, so a name swapped meanwhile redirects nothing.
 */
#ifndef CONVERT_SOURCE_FILE_H
#define CONVERT_SOURCE_FILE_H

#include <sys/stat.h>

#include <string>

struct source_file {
	source_file() = default;
	~source_file();
	source_file(const source_file&) = delete;
	source_file& operator=(const source_file&) = delete;

	int folder = -1;
	int fd = -1;
	std::string path;        // as the caller gave it, for messages
	std::string leaf;        // the name in folder
	struct stat status = {}; // as it was when opened
	bool mapped = false;     // read through a mapping, which can fault
};

// Opens the folder of path and then the file itself, read-only, without
// following a link at the leaf and without waiting on a pipe. Empty when the
// file is open and regular; else why it is left alone, in a person's words.
std::string open_source(const char* path, source_file& source);

// True when a and b are the same file with the same size and modification
// time: nobody wrote to it or replaced it in between.
bool same_version(const struct stat& a, const struct stat& b);

// True when the name still refers to the file that was read, unchanged.
bool source_unchanged(const source_file& source);

// The path under which the host reaches the open file fd, whatever its name.
std::string descriptor_path(int fd);

// AlyBFile hands the file it read to toNFile here; conversions never overlap.
extern source_file* current_source;

// Called between the steps of writing with the step just done ("read",
// "written", "backup", "checked"): tests play a neighbour there who changes
// the folder meanwhile.
extern void (*replace_step_hook)(const char* step);

#endif // CONVERT_SOURCE_FILE_H
