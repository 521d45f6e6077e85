/*
 * Where the catalogues are: relative to the image or program that holds
 * this code, as an install lays them out, so that a tree moved elsewhere
 * still finds its own; else in the folder that the build installs to.
 */
#include "app/text_domain.h"

#include <dirent.h>
#include <dlfcn.h>
#include <libintl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <mutex>
#include <string>


namespace {

// The folder of the catalogues, seen from the add-on folder and from the
// programs' folder of an install (also the build folder's), and the one the
// build installs to.
const char* const kRelativeFolders[]
		= {TEXTWEND_LOCALE_FROM_ADD_ONS, TEXTWEND_LOCALE_FROM_PROGRAMS};
const char kInstalledFolder[] = TEXTWEND_LOCALE_DIR;


// Whether folder holds a catalogue of ours in some language.
bool
has_catalogues(const std::string& folder)
{
	DIR* languages = opendir(folder.c_str());
	if (languages == NULL)
		return false;
	bool found = false;
	while (struct dirent* language = readdir(languages)) {
		std::string catalogue = folder + "/" + language->d_name
				+ "/LC_MESSAGES/" TEXTWEND_TEXT_DOMAIN ".mo";
		struct stat st;
		if (language->d_name[0] != '.' && stat(catalogue.c_str(), &st) == 0) {
			found = true;
			break;
		}
	}
	closedir(languages);
	return found;
}


// The folder of the file that holds this code, links resolved: the image,
// loaded or run, or the program. The loader names a program as it was
// started, so the kernel is asked for that one.
std::string
own_folder()
{
	Dl_info info;
	const char* file = "/proc/self/exe";
	if (dladdr(reinterpret_cast<void*>(&has_catalogues), &info) != 0
			&& info.dli_fname != NULL && info.dli_fname[0] == '/')
		file = info.dli_fname;
	char* resolved = realpath(file, NULL);
	if (resolved == NULL)
		return std::string();
	std::string path = resolved;
	free(resolved);
	return path.substr(0, path.rfind('/'));
}


void
bind()
{
	std::string folder = kInstalledFolder;
	std::string own = own_folder();
	for (const char* relative : kRelativeFolders) {
		std::string candidate = own + "/" + relative;
		if (!own.empty() && has_catalogues(candidate)) {
			folder = candidate;
			break;
		}
	}
	bindtextdomain(TEXTWEND_TEXT_DOMAIN, folder.c_str());
	bind_textdomain_codeset(TEXTWEND_TEXT_DOMAIN, "UTF-8");
}

} // namespace


void
bind_text_domain()
{
	static std::once_flag bound;
	std::call_once(bound, bind);
}


std::string
filled(const char* text, std::initializer_list<std::string> values)
{
	std::string result;
	auto value = values.begin();
	for (const char* c = text; *c != '\0'; c++) {
		if (c[0] == '%' && (c[1] == 's' || c[1] == 'd')
				&& value != values.end()) {
			result += *value++;
			c++;
		} else
			result += *c;
	}
	return result;
}
