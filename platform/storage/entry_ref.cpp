/*
 * entry_ref, and the process-wide memory of the folders refs were made in.
 */
#include <Entry.h>

#include <storage/ref_paths.h>

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <utility>


namespace {

std::mutex sFolderLock;
std::map<std::pair<dev_t, ino_t>, std::string> sFolders;


std::string
current_folder()
{
	char* cwd = getcwd(NULL, 0);
	if (cwd == NULL)
		return std::string();
	std::string result(cwd);
	free(cwd);
	return result;
}


struct SplitPath {
	std::string folder;
	std::string leaf;
};


// Splits an absolute path into folder and leaf; trailing slashes belong to
// neither. "/" itself is the folder "/" with the leaf ".". Both parts are
// built fresh rather than assigned into existing strings, which also keeps
// GCC 12's overlap analysis of std::string::replace out of the way.
SplitPath
split_path(const std::string& path)
{
	size_t end = path.find_last_not_of('/');
	if (end == std::string::npos)
		return SplitPath {std::string(1, '/'), std::string(1, '.')};
	size_t slash = path.rfind('/', end);
	size_t folderEnd = path.find_last_not_of('/', slash);
	return SplitPath {folderEnd == std::string::npos
					? std::string(1, '/')
					: path.substr(0, folderEnd + 1),
			path.substr(slash + 1, end - slash)};
}


// get_ref_for_path without its argument checks; it may throw std::bad_alloc.
status_t
ref_for_path(const char* path, entry_ref* ref)
{
	std::string absolute(path);
	if (absolute[0] != '/') {
		std::string cwd = current_folder();
		if (cwd.empty())
			return status_from_errno(errno);
		absolute = cwd + "/" + absolute;
	}

	SplitPath parts = split_path(absolute);
	if (parts.leaf == "." || parts.leaf == "..") {
		// A leaf that only names a folder relative to another: resolve it
		// whole, so the ref gets the folder's real name.
		char* resolved = realpath(absolute.c_str(), NULL);
		if (resolved == NULL)
			return status_from_errno(errno);
		absolute = resolved;
		free(resolved);
		parts = split_path(absolute);
	}

	char* resolvedFolder = realpath(parts.folder.c_str(), NULL);
	if (resolvedFolder == NULL)
		return status_from_errno(errno);
	std::string canonical(resolvedFolder);
	free(resolvedFolder);

	struct stat folderStat;
	if (stat(canonical.c_str(), &folderStat) != 0)
		return status_from_errno(errno);
	if (!S_ISDIR(folderStat.st_mode))
		return B_NOT_A_DIRECTORY;

	{
		std::lock_guard<std::mutex> guard(sFolderLock);
		sFolders[{folderStat.st_dev, folderStat.st_ino}] = canonical;
	}

	ref->device = folderStat.st_dev;
	ref->directory = folderStat.st_ino;
	return ref->set_name(parts.leaf.c_str());
}

} // namespace


entry_ref::entry_ref()
	: device(-1)
	, directory(-1)
	, name(NULL)
{
}


entry_ref::entry_ref(dev_t dev, ino_t dir, const char* leaf)
	: device(dev)
	, directory(dir)
	, name(NULL)
{
	set_name(leaf);
}


entry_ref::entry_ref(const entry_ref& ref)
	: device(ref.device)
	, directory(ref.directory)
	, name(NULL)
{
	set_name(ref.name);
}


entry_ref::~entry_ref()
{
	free(name);
}


status_t
entry_ref::set_name(const char* leaf)
{
	free(name);
	name = NULL;
	if (leaf == NULL)
		return B_OK;
	name = strdup(leaf);
	return name != NULL ? B_OK : B_NO_MEMORY;
}


bool
entry_ref::operator==(const entry_ref& ref) const
{
	if (device != ref.device || directory != ref.directory)
		return false;
	if (name == NULL || ref.name == NULL)
		return name == ref.name;
	return strcmp(name, ref.name) == 0;
}


bool
entry_ref::operator!=(const entry_ref& ref) const
{
	return !(*this == ref);
}


entry_ref&
entry_ref::operator=(const entry_ref& ref)
{
	if (this == &ref)
		return *this;
	device = ref.device;
	directory = ref.directory;
	set_name(ref.name);
	return *this;
}


status_t
get_ref_for_path(const char* path, entry_ref* ref)
{
	if (path == NULL || path[0] == '\0' || ref == NULL)
		return B_BAD_VALUE;
	try {
		return ref_for_path(path, ref);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
}


status_t
path_for_ref(const entry_ref* ref, std::string& path)
{
	if (ref == NULL)
		return B_BAD_VALUE;
	try {
		return path_for_ref(*ref, path);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
}


status_t
path_for_ref(const entry_ref& ref, std::string& path)
{
	if (ref.name == NULL || ref.name[0] == '\0'
			|| strchr(ref.name, '/') != NULL)
		return B_BAD_VALUE;

	std::string folder;
	{
		std::lock_guard<std::mutex> guard(sFolderLock);
		auto found = sFolders.find({ref.device, ref.directory});
		if (found == sFolders.end())
			return B_ENTRY_NOT_FOUND;
		folder = found->second;
	}

	// The folder may have moved since the ref was made.
	struct stat folderStat;
	if (stat(folder.c_str(), &folderStat) != 0
			|| folderStat.st_dev != ref.device
			|| folderStat.st_ino != ref.directory)
		return B_ENTRY_NOT_FOUND;

	if (strcmp(ref.name, ".") == 0) {
		path = folder;
		return B_OK;
	}
	path = folder == "/" ? folder + ref.name : folder + "/" + ref.name;
	return B_OK;
}
