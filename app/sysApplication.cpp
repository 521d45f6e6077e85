/*
 * Application mode: the information alert, then quit.
 */
#include "app/sysApplication.h"

#include "app/alerts.h"

#include <AppDefs.h>

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>


namespace {

const char kInformation[] = "Textwend-AddOn V0.80 \t converts Alien-Text   :)\n"
							"It's a Tracker Add-On,  so move it to:\n"
							"\t";
const char kAddOnFolder[] = "/add-ons/Tracker";
const char kUserAddOns[] = "/config/add-ons/Tracker";


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


// The add-on folder that the file-manager host searches and that this
// image belongs in: the one it already lies in (installed for everyone or
// for this user), else the user's own.
std::string
add_on_folder()
{
	std::string folder = own_folder();
	size_t suffix = sizeof(kAddOnFolder) - 1;
	if (folder.size() >= suffix
			&& folder.compare(folder.size() - suffix, suffix, kAddOnFolder)
					== 0)
		return folder;

	const char* home = getenv("HOME");
	if (home == NULL || home[0] == '\0') {
		struct passwd* user = getpwuid(getuid());
		home = user != NULL ? user->pw_dir : NULL;
	}
	if (home == NULL || home[0] == '\0')
		return std::string("~") + kUserAddOns;
	return home + std::string(kUserAddOns);
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
