/*
 * Entries of the file system: entry_ref names one by its folder and leaf,
 * BEntry stands for one.
 */
#ifndef _ENTRY_H
#define _ENTRY_H

#include <StorageDefs.h>
#include <SupportDefs.h>

#include <sys/stat.h>

struct entry_ref {
	entry_ref();
	entry_ref(dev_t dev, ino_t dir, const char* name);
	entry_ref(const entry_ref& ref);
	~entry_ref();

	status_t set_name(const char* name);

	bool operator==(const entry_ref& ref) const;
	bool operator!=(const entry_ref& ref) const;
	entry_ref& operator=(const entry_ref& ref);

	dev_t device;
	ino_t directory;
	char* name;
};

// The leaf of path is not resolved: a symbolic link stays the link.
status_t get_ref_for_path(const char* path, entry_ref* ref);

class BPath;

// An entry may be abstract: its folder exists, the entry itself need not.
class BEntry {
public:
	BEntry();
	BEntry(const char* path, bool traverse = false);
	BEntry(const entry_ref* ref, bool traverse = false);
	BEntry(const BEntry& entry);
	~BEntry();

	status_t InitCheck() const;
	bool Exists() const;

	// With traverse, a symbolic link is replaced by the entry it leads to.
	status_t SetTo(const char* path, bool traverse = false);
	status_t SetTo(const entry_ref* ref, bool traverse = false);
	void Unset();

	// The entry's own record: that of the link for a link not traversed.
	status_t GetStat(struct stat* st) const;
	status_t GetRef(entry_ref* ref) const;
	status_t GetPath(BPath* path) const;
	// buffer holds B_FILE_NAME_LENGTH bytes.
	status_t GetName(char* buffer) const;

	BEntry& operator=(const BEntry& entry);

private:
	status_t _SetToPath(const char* path, bool resolve);

	char* fPath;
	status_t fCStatus;
};

#endif // _ENTRY_H
