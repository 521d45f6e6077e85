/*
 * BEntry: one entry of the file system, held as its absolute path. The
 * folder part is resolved, the leaf is kept as named unless the entry was
 * asked to traverse a link.
 */
#include <Entry.h>

#include <Path.h>
#include <storage/ref_paths.h>

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <new>
#include <string>


namespace {

const char*
leaf_of(const char* path)
{
	const char* leaf = strrchr(path, '/') + 1;
	// The root folder is the one entry whose name is its path.
	return leaf[0] != '\0' ? leaf : path;
}

} // namespace


BEntry::BEntry()
	: fPath(NULL)
	, fCStatus(B_NO_INIT)
{
}


BEntry::BEntry(const char* path, bool traverse)
	: fPath(NULL)
	, fCStatus(B_NO_INIT)
{
	SetTo(path, traverse);
}


BEntry::BEntry(const entry_ref* ref, bool traverse)
	: fPath(NULL)
	, fCStatus(B_NO_INIT)
{
	SetTo(ref, traverse);
}


BEntry::BEntry(const BEntry& entry)
	: fPath(NULL)
	, fCStatus(B_NO_INIT)
{
	*this = entry;
}


BEntry::~BEntry()
{
	Unset();
}


status_t
BEntry::InitCheck() const
{
	return fCStatus;
}


bool
BEntry::Exists() const
{
	struct stat st;
	return fCStatus == B_OK && lstat(fPath, &st) == 0;
}


status_t
BEntry::SetTo(const char* path, bool traverse)
{
	Unset();
	entry_ref ref;
	status_t status = get_ref_for_path(path, &ref);
	if (status != B_OK)
		return fCStatus = status;
	return SetTo(&ref, traverse);
}


status_t
BEntry::SetTo(const entry_ref* ref, bool traverse)
{
	Unset();
	if (ref == NULL)
		return fCStatus = B_BAD_VALUE;
	if (ref->name != NULL && strlen(ref->name) >= B_FILE_NAME_LENGTH)
		return fCStatus = B_NAME_TOO_LONG;

	try {
		std::string path;
		status_t status = path_for_ref(*ref, path);
		if (status != B_OK)
			return fCStatus = status;
		bool resolve = traverse || strcmp(ref->name, "..") == 0;
		return fCStatus = _SetToPath(path.c_str(), resolve);
	} catch (const std::bad_alloc&) {
		return fCStatus = B_NO_MEMORY;
	}
}


void
BEntry::Unset()
{
	free(fPath);
	fPath = NULL;
	fCStatus = B_NO_INIT;
}


status_t
BEntry::GetStat(struct stat* st) const
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	if (st == NULL)
		return B_BAD_VALUE;
	if (lstat(fPath, st) != 0)
		return status_from_errno(errno);
	return B_OK;
}


status_t
BEntry::GetRef(entry_ref* ref) const
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	return get_ref_for_path(fPath, ref);
}


status_t
BEntry::GetPath(BPath* path) const
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	if (path == NULL)
		return B_BAD_VALUE;
	return path->SetTo(fPath);
}


status_t
BEntry::GetName(char* buffer) const
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	if (buffer == NULL)
		return B_BAD_VALUE;
	const char* leaf = leaf_of(fPath);
	size_t length = strlen(leaf);
	if (length >= B_FILE_NAME_LENGTH)
		return B_NAME_TOO_LONG;
	memcpy(buffer, leaf, length + 1);
	return B_OK;
}


BEntry&
BEntry::operator=(const BEntry& entry)
{
	if (this == &entry)
		return *this;
	Unset();
	if (entry.fCStatus != B_OK) {
		fCStatus = entry.fCStatus;
		return *this;
	}
	fPath = strdup(entry.fPath);
	fCStatus = fPath != NULL ? B_OK : B_NO_MEMORY;
	return *this;
}


// The folder part of path is resolved already. Resolving the whole path
// follows a link at its end (all the way) and turns a ".." leaf into the
// folder it names.
status_t
BEntry::_SetToPath(const char* path, bool resolve)
{
	struct stat st;
	if (resolve && lstat(path, &st) == 0
			&& (S_ISLNK(st.st_mode) || S_ISDIR(st.st_mode))) {
		fPath = realpath(path, NULL);
		if (fPath == NULL)
			return status_from_errno(errno);
		return B_OK;
	}
	fPath = strdup(path);
	return fPath != NULL ? B_OK : B_NO_MEMORY;
}
