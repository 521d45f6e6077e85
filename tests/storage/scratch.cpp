#include "storage/scratch.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>


Scratch::Scratch()
{
	char* cwd = getcwd(NULL, 0);
	if (cwd == NULL)
		return;
	std::string pattern = std::string(cwd) + "/storage-scratch-XXXXXX";
	free(cwd);
	std::vector<char> name(pattern.begin(), pattern.end());
	name.push_back('\0');
	if (mkdtemp(name.data()) == NULL)
		return;
	// The kits hand back resolved folders; so does the scratch folder.
	char* resolved = realpath(name.data(), NULL);
	if (resolved == NULL)
		return;
	fFolder = resolved;
	free(resolved);
}


Scratch::~Scratch()
{
	if (fFolder.empty())
		return;
	std::error_code error;
	std::filesystem::remove_all(fFolder, error);
}


std::string
Scratch::Path(const std::string& name) const
{
	return fFolder + "/" + name;
}


std::string
Scratch::AddFile(const std::string& name, const std::string& content)
{
	std::string path = Path(name);
	std::ofstream(path, std::ios::binary) << content;
	return path;
}


std::string
Scratch::AddFolder(const std::string& name)
{
	std::string path = Path(name);
	mkdir(path.c_str(), 0755);
	return path;
}


std::string
Scratch::AddLink(const std::string& name, const std::string& target)
{
	std::string path = Path(name);
	symlink(target.c_str(), path.c_str());
	return path;
}


std::string
Scratch::XattrTrouble() const
{
	if (fFolder.empty())
		return "no scratch folder could be made in the working directory";
	std::string probe = Path(".xattr-probe");
	std::ofstream(probe) << "";
	int result = setxattr(probe.c_str(), "user.probe", "1", 1, 0);
	int error = errno;
	unlink(probe.c_str());
	if (result == 0)
		return "";
	return fFolder + " takes no user extended attributes (" + strerror(error)
			+ ")";
}
