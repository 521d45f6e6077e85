/*
 * BPath: an absolute path, and its leaf.
 */
#ifndef _PATH_H
#define _PATH_H

#include <StorageDefs.h>
#include <SupportDefs.h>

struct entry_ref;

class BPath {
public:
	BPath();
	BPath(const BPath& path);
	BPath(const entry_ref* ref);
	BPath(const char* dir, const char* leaf = NULL, bool normalize = false);
	~BPath();

	status_t InitCheck() const;

	// A relative path is taken from the current folder. A path that is
	// relative, holds "." or ".." or empty components, or is asked to be
	// normalized, must exist up to its folder, whose links are resolved.
	status_t SetTo(
			const char* path, const char* leaf = NULL, bool normalize = false);
	status_t SetTo(const entry_ref* ref);
	void Unset();

	// NULL while the path is not initialized.
	const char* Path() const;
	// What follows the last slash; empty for the root folder.
	const char* Leaf() const;

	BPath& operator=(const BPath& path);

private:
	char* fName;
	status_t fCStatus;
};

#endif // _PATH_H
