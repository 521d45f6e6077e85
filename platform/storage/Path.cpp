/*
 * BPath: an absolute path, and its leaf.
 */
#include <Path.h>

#include <Entry.h>
#include <storage/ref_paths.h>

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>


namespace {

// Whether path has to go through the file system to become the absolute
// path without "." and ".." that a BPath holds.
bool
must_normalize(const std::string& path)
{
	if (path.empty() || path[0] != '/')
		return true;
	if (path.length() > 1 && path.back() == '/')
		return true;
	size_t start = 1;
	while (start < path.length()) {
		size_t end = path.find('/', start);
		if (end == std::string::npos)
			end = path.length();
		std::string component = path.substr(start, end - start);
		if (component.empty() || component == "." || component == "..")
			return true;
		start = end + 1;
	}
	return false;
}

} // namespace


BPath::BPath()
	: fName(NULL)
	, fCStatus(B_NO_INIT)
{
}


BPath::BPath(const BPath& path)
	: fName(NULL)
	, fCStatus(B_NO_INIT)
{
	*this = path;
}


BPath::BPath(const entry_ref* ref)
	: fName(NULL)
	, fCStatus(B_NO_INIT)
{
	SetTo(ref);
}


BPath::BPath(const char* dir, const char* leaf, bool normalize)
	: fName(NULL)
	, fCStatus(B_NO_INIT)
{
	SetTo(dir, leaf, normalize);
}


BPath::~BPath()
{
	Unset();
}


status_t
BPath::InitCheck() const
{
	return fCStatus;
}


status_t
BPath::SetTo(const char* path, const char* leaf, bool normalize)
{
	if (path == NULL || path[0] == '\0' || (leaf != NULL && leaf[0] == '/')) {
		Unset();
		return fCStatus = B_BAD_VALUE;
	}

	// path may be this object's own, so the new one is built before the old
	// one goes.
	char* name = NULL;
	status_t status = B_OK;
	try {
		std::string full(path);
		if (leaf != NULL && leaf[0] != '\0') {
			if (full.back() != '/')
				full += '/';
			full += leaf;
		}
		if (normalize || must_normalize(full)) {
			entry_ref ref;
			status = get_ref_for_path(full.c_str(), &ref);
			if (status == B_OK)
				status = path_for_ref(ref, full);
		}
		if (status == B_OK) {
			name = strdup(full.c_str());
			if (name == NULL)
				status = B_NO_MEMORY;
		}
	} catch (const std::bad_alloc&) {
		status = B_NO_MEMORY;
	}

	Unset();
	fName = name;
	return fCStatus = status;
}


status_t
BPath::SetTo(const entry_ref* ref)
{
	if (ref == NULL) {
		Unset();
		return fCStatus = B_BAD_VALUE;
	}
	try {
		std::string path;
		status_t status = path_for_ref(*ref, path);
		if (status != B_OK) {
			Unset();
			return fCStatus = status;
		}
		return SetTo(path.c_str());
	} catch (const std::bad_alloc&) {
		Unset();
		return fCStatus = B_NO_MEMORY;
	}
}


void
BPath::Unset()
{
	free(fName);
	fName = NULL;
	fCStatus = B_NO_INIT;
}


const char*
BPath::Path() const
{
	return fName;
}


const char*
BPath::Leaf() const
{
	if (fName == NULL)
		return NULL;
	return strrchr(fName, '/') + 1;
}


BPath&
BPath::operator=(const BPath& path)
{
	if (this == &path)
		return *this;
	if (path.fName == NULL) {
		Unset();
		fCStatus = path.fCStatus;
		return *this;
	}
	SetTo(path.fName);
	return *this;
}
