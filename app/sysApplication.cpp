/*
 * Application mode: the information alert, then quit.
 */
#include "app/sysApplication.h"

#include "app/alerts.h"

#include <AppDefs.h>
#include <FindDirectory.h>
#include <Path.h>

#include <stdlib.h>
#include <unistd.h>

#include <string>


namespace {

const char kInformation[] = "Textwend-AddOn V0.80 \t converts Alien-Text   :)\n"
							"It's a Tracker Add-On,  so move it to:\n"
							"\t";
// The file manager's own folder in each add-on folder.
const char kTrackerAddOns[] = "/Tracker";
// When no home folder is known.
const char kSomeUsersAddOns[] = "~/config/add-ons/Tracker";


// The folder of the running program, links resolved; empty when the
// kernel does not say.
std::string
own_folder()
{
	std::string path(256, '\0');
	while (true) {
		ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
		if (length < 0)
			return std::string();
		if (static_cast<size_t>(length) < path.size()) {
			path.resize(length);
			break;
		}
		path.resize(path.size() * 2);
	}
	return path.substr(0, path.rfind('/'));
}


// Whether folder, links resolved, is the resolved folder own.
bool
is_folder(const std::string& folder, const std::string& own)
{
	char* resolved = realpath(folder.c_str(), NULL);
	bool same = resolved != NULL && own == resolved;
	free(resolved);
	return same;
}


// The add-on folder that the file-manager host searches and that this
// image belongs in: the one it already lies in (installed for everyone or
// for this user), else the user's own.
std::string
add_on_folder()
{
	std::string own = own_folder();
	std::string user = kSomeUsersAddOns;
	for (directory_which which :
			{B_SYSTEM_ADDONS_DIRECTORY, B_USER_ADDONS_DIRECTORY}) {
		BPath folder;
		if (find_directory(which, &folder) != B_OK)
			continue;
		std::string candidate = folder.Path() + std::string(kTrackerAddOns);
		if (!own.empty() && is_folder(candidate, own))
			return own;
		if (which == B_USER_ADDONS_DIRECTORY)
			user = candidate;
	}
	return user;
}

} // namespace


sysApplication::sysApplication()
	: BApplication("application/x-tracker-add-on")
{
	AlertMess((kInformation + add_on_folder()).c_str());

	// Run() meets this first and ends the loop.
	if (be_app != NULL)
		be_app->PostMessage(B_QUIT_REQUESTED);
}


sysApplication::~sysApplication()
{
}
