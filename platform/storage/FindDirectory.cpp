/*
 * find_directory(): the user's folders lie below the home folder; the
 * system's lie in this install, found from where the kits' library itself
 * was loaded, so that an installed tree works wherever it is put.
 */
#include <FindDirectory.h>

#include <Errors.h>
#include <Path.h>

#include <dlfcn.h>
#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>


namespace {

// Below the home folder, as on the platform.
const char kUserAddOns[] = "/config/add-ons";
// Relative to the kits' folder; the install rules define it.
const char kSystemAddOns[] = TEXTWEND_ADD_ONS_FROM_KITS;


// The user's home folder: $HOME, or the password database's entry when it
// is unset. False when neither knows. The folder is given without a slash
// at its end, so the root folder is empty.
bool
home_folder(std::string* folder)
{
	const char* home = getenv("HOME");
	if (home == NULL || home[0] == '\0') {
		struct passwd* user = getpwuid(getuid());
		home = user != NULL ? user->pw_dir : NULL;
	}
	if (home == NULL || home[0] == '\0')
		return false;
	*folder = home;
	while (!folder->empty() && folder->back() == '/')
		folder->pop_back();
	return true;
}


// The folder that holds the kits' library, links resolved; empty when it
// cannot be told.
std::string
kits_folder()
{
	Dl_info info;
	if (dladdr(reinterpret_cast<void*>(&kits_folder), &info) == 0
			|| info.dli_fname == NULL)
		return std::string();
	char* library = realpath(info.dli_fname, NULL);
	if (library == NULL)
		return std::string();
	std::string folder(library);
	free(library);
	return folder.substr(0, folder.rfind('/'));
}


// folder joined with relative, whose leading ".." go up from folder.
std::string
joined(std::string folder, const char* relative)
{
	while (strncmp(relative, "../", 3) == 0 || strcmp(relative, "..") == 0) {
		size_t slash = folder.rfind('/');
		folder.erase(slash == std::string::npos ? 0 : slash);
		relative += relative[2] == '/' ? 3 : 2;
	}
	if (relative[0] != '\0') {
		folder += '/';
		folder += relative;
	}
	return folder.empty() ? "/" : folder;
}


// Makes the folder at path and those above it that are missing.
status_t
create_folders(const std::string& path)
{
	for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
		std::string folder = path.substr(0, end);
		if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
			return status_from_errno(errno);
		if (end == std::string::npos)
			break;
	}
	struct stat folderStat;
	if (stat(path.c_str(), &folderStat) != 0)
		return status_from_errno(errno);
	if (!S_ISDIR(folderStat.st_mode))
		return B_NOT_A_DIRECTORY;
	return B_OK;
}

} // namespace


status_t
find_directory(directory_which which, BPath* path, bool createIt, BVolume*)
{
	if (path == NULL)
		return B_BAD_VALUE;
	try {
		std::string folder;
		switch (which) {
		case B_USER_ADDONS_DIRECTORY:
			if (!home_folder(&folder))
				return B_ENTRY_NOT_FOUND;
			folder += kUserAddOns;
			break;
		case B_SYSTEM_ADDONS_DIRECTORY:
			folder = kits_folder();
			if (folder.empty())
				return B_ENTRY_NOT_FOUND;
			folder = joined(folder, kSystemAddOns);
			break;
		default:
			return B_BAD_VALUE;
		}
		if (createIt) {
			status_t status = create_folders(folder);
			if (status != B_OK)
				return status;
		}
		return path->SetTo(folder.c_str());
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
}
