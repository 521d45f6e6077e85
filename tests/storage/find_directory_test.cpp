/*
 * find_directory(): the user's add-on folder below the home folder, the
 * system's beside the kits, created on request.
 */
#include "support/files.h"

#include <FindDirectory.h>
#include <Path.h>

#include <gtest/gtest.h>

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>


namespace {

// HOME as the test sets it, restored at the end.
class HomeScope {
public:
	HomeScope()
	{
		const char* home = getenv("HOME");
		if (home != NULL)
			fOld = home;
	}
	~HomeScope()
	{
		if (fOld)
			setenv("HOME", fOld->c_str(), 1);
		else
			unsetenv("HOME");
	}

private:
	std::optional<std::string> fOld;
};


std::string
password_home()
{
	struct passwd* user = getpwuid(getuid());
	return user != NULL ? user->pw_dir : "";
}

} // namespace


TEST(FindDirectoryTest, NamesTheUsersAndTheSystemsAddOnFolders)
{
	test::Folder scratch;
	std::string home = scratch / "Grüße home";
	std::string slashed = home + "//";
	std::string file = scratch.add_file("file", "");
	std::string kits = std::filesystem::canonical(TEXTWEND_KITS_FOLDER);
	std::string system = kits.substr(0, kits.rfind('/')) + "/add-ons";
	const char* kUnset = NULL;

	struct {
		directory_which which;
		const char* home;
		bool createIt;
		std::string found;
	} cases[] = {
			{B_USER_ADDONS_DIRECTORY, home.c_str(), false,
					home + "/config/add-ons"},
			{B_USER_ADDONS_DIRECTORY, slashed.c_str(), false,
					home + "/config/add-ons"},
			// Without HOME, the password database knows the home folder.
			{B_USER_ADDONS_DIRECTORY, kUnset, false,
					password_home() + "/config/add-ons"},
			{B_USER_ADDONS_DIRECTORY, "", false,
					password_home() + "/config/add-ons"},
			{B_USER_ADDONS_DIRECTORY, home.c_str(), true,
					home + "/config/add-ons (a folder)"},
			{B_USER_ADDONS_DIRECTORY, file.c_str(), true, "not a folder"},
			{B_SYSTEM_ADDONS_DIRECTORY, home.c_str(), false, system},
			{static_cast<directory_which>(3000), home.c_str(), false,
					"bad value"},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(std::to_string(test.which)
				+ " HOME=" + (test.home != NULL ? test.home : "(unset)"));
		HomeScope scope;
		if (test.home != NULL)
			setenv("HOME", test.home, 1);
		else
			unsetenv("HOME");

		BPath path;
		status_t status = find_directory(test.which, &path, test.createIt);
		std::string found;
		if (status == B_BAD_VALUE)
			found = "bad value";
		else if (status == B_NOT_A_DIRECTORY)
			found = "not a folder";
		else if (status != B_OK)
			found = "status " + std::to_string(status);
		else {
			found = path.Path();
			struct stat folder;
			if (test.createIt && stat(path.Path(), &folder) == 0
					&& S_ISDIR(folder.st_mode))
				found += " (a folder)";
		}
		EXPECT_EQ(found, test.found);
	}
}
