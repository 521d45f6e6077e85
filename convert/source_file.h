/*
 * The file being converted, held by descriptors from the moment it is opened:
 * its folder, its name there, and what it was when it was read. Every later
 * step works through these, so a name swapped meanwhile redirects nothing.
 */
#ifndef CONVERT_SOURCE_FILE_H
#define CONVERT_SOURCE_FILE_H

#include <stdint.h>
#include <sys/stat.h>

#include <string>

struct source_file {
	source_file() = default;
	~source_file();
	source_file(const source_file&) = delete;
	source_file& operator=(const source_file&) = delete;
	// A conversion that waits for the rest of its batch takes it over.
	source_file(source_file&& other);

	int folder = -1;
	int fd = -1;
	std::string path;        // as the caller gave it, for messages
	std::string leaf;        // the name in folder
	struct stat status = {}; // as it was when opened
	bool mapped = false;     // read through a mapping, which can fault
	uint64_t checksum = 0;   // of its bytes as they were read
	// Where the file is a backup (name-BAK) and its name's file had been set
	// aside by a run cut off, that name, put back on opening.
	std::string putBack;
};

// Opens the folder of path and then the file itself, read-only, without
// following a link at the leaf and without waiting on a pipe, and marks it
// as this run's (run_lock.h). Empty when the file is open, regular, and
// marked where the file system keeps locks; else why it is left alone, in
// the person's words and language. A file missing, or
// a backup whose name's file is missing, because a run was cut off in the
// moment when it was set aside, is put back under its name first.
std::string open_source(const char* path, source_file& source);

// The folder of source.path as the path gives it, up to and with its last
// '/', for messages: empty for a file in the current folder, or where the
// path does not end with the leaf.
std::string folder_path(const source_file& source);

// Why a file is opened.
enum class open_purpose {
	kChange, // to be converted or undone
	// To be looked at only: nothing is put back, it is not marked, and
	// where the host allows, reading it leaves its access time as it was.
	kLook,
};

// As open_source, for the file leaf in the open folder folder, whose whole
// path (for messages alone, of any length) is path. The folder is not
// reached by its path, so paths longer than the host takes work.
std::string open_source_at(int folder, const std::string& leaf,
		const std::string& path, source_file& source,
		open_purpose purpose = open_purpose::kChange);

// Why a flag of the file's own keeps the open file fd from being given a
// backup name and replaced (immutable, append-only), in the person's words
// and language; empty when none does.
std::string fixed_by_flag(int fd);

// True when a and b are the same file with the same size and modification
// time: nobody wrote to it or replaced it in between.
bool same_version(const struct stat& a, const struct stat& b);

// How closely a name must match a file that was seen.
enum class name_match {
	kSameFile,    // the same file, whatever was written to it since
	kSameVersion, // and unchanged since it was seen (same_version)
};

// Does name in folder still denote the file seen? The one answer to that
// question: every step that acts on a name asks it first, and again after.
bool names_file(int folder, const std::string& name, const struct stat& seen,
		name_match match);

// True when the name still refers to the file that was read, and the open
// file is unchanged.
bool source_unchanged(const source_file& source);

// Why the pages of a mapped source could not be had, in the person's words
// and language: another program cut it short (changed is what to say then,
// translated), or the disk could not give them.
std::string source_fault(const source_file& source, const char* changed);

// The path under which the host reaches the open file fd, whatever its name.
std::string descriptor_path(int fd);

// AlyBFile hands the file it read to toNFile here; conversions never overlap.
extern source_file* current_source;

// Called between the steps of reading and writing with the step just done
// ("mapped", "read", "written", "backup", "checked"): tests play a neighbour
// there who changes the file or the folder meanwhile.
extern void (*replace_step_hook)(const char* step);

// Hands step to replace_step_hook, where there is one.
void replace_step(const char* step);

#endif // CONVERT_SOURCE_FILE_H
