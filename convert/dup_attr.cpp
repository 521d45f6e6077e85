/*
 * Carrying the attributes of the source file over to the converted file, the
 * MIME type among them. The typed attributes go through the kit, each value
 * echoed on standard output; every other extended attribute of the host (the
 * desktop's own, access lists, security labels) goes over byte for byte.
 */
#include "convert/convert.h"
#include "convert/stamp.h"

#include <fs_attr.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <vector>


namespace {

// Where the kit keeps the typed attributes among the host's.
const char kTypedNamespace[] = "user.haiku.";
const char kAccessList[] = "system.posix_acl_access";


void
not_carried_over(const char* file, const char* attribute, int error)
{
	fprintf(stderr, "Textwend: '%s': attribute '%s' not carried over: %s\n",
			file, attribute, strerror(error));
}


// The host's whole value of a listing (names or value); the value may change
// between asking for its size and reading it, then ask again.
template<typename Call>
bool
host_read(Call call, std::vector<char>& value)
{
	while (true) {
		ssize_t size = call(NULL, 0);
		if (size < 0)
			return false;
		value.resize(size);
		ssize_t got = call(value.data(), value.size());
		if (got < 0 && errno == ERANGE)
			continue;
		if (got < 0)
			return false;
		if ((size_t)got > value.size())
			continue;
		value.resize(got);
		return true;
	}
}


void
copy_typed(int from, int to, const char* file, std::string& echoes)
{
	DIR* attributes = fs_fopen_attr_dir(from);
	if (attributes == NULL)
		return;
	while (struct dirent* entry = fs_read_attr_dir(attributes)) {
		// Nothing is written that was not read whole.
		attr_info info;
		if (fs_stat_attr(from, entry->d_name, &info) != 0) {
			not_carried_over(file, entry->d_name, errno);
			continue;
		}
		size_t size = (size_t)info.size;
		char* value = (char*)malloc(size > 0 ? size : 1);
		if (value == NULL) {
			not_carried_over(file, entry->d_name, ENOMEM);
			continue;
		}
		ssize_t got
				= fs_read_attr(from, entry->d_name, info.type, 0, value, size);
		if (got == (ssize_t)size) {
			echoes.append(value, strnlen(value, size));
			if (fs_write_attr(to, entry->d_name, info.type, 0, value, size)
					!= (ssize_t)size)
				not_carried_over(file, entry->d_name, errno);
		} else {
			not_carried_over(file, entry->d_name, got < 0 ? errno : EIO);
		}
		free(value);
	}
	fs_close_attr_dir(attributes);
}


void
copy_untyped(int from, int to, const char* file)
{
	std::vector<char> names;
	if (!host_read(
				[&](char* buffer, size_t size) {
					return flistxattr(from, buffer, size);
				},
				names)) {
		if (errno != ENOTSUP)
			not_carried_over(file, "*", errno);
		return;
	}
	bool accessList = false;
	std::vector<char> value;
	for (size_t at = 0; at < names.size();
			at += strlen(names.data() + at) + 1) {
		const char* name = names.data() + at;
		if (strncmp(name, kTypedNamespace, sizeof(kTypedNamespace) - 1) == 0)
			continue;
		// The source's own stamp is of another conversion.
		if (strcmp(name, kStampName) == 0)
			continue;
		accessList = accessList || strcmp(name, kAccessList) == 0;
		if (!host_read(
					[&](char* buffer, size_t size) {
						return fgetxattr(from, name, buffer, size);
					},
					value)) {
			not_carried_over(file, name, errno);
			continue;
		}
		if (fsetxattr(to, name, value.data(), value.size(), 0) == 0)
			continue;
		// Security labels go over where the process may set them.
		bool allowed = strncmp(name, "security.", 9) != 0
				|| (errno != EPERM && errno != EACCES);
		if (allowed)
			not_carried_over(file, name, errno);
	}
	// A new file takes the folder's default access list; the converted one
	// has the source's permissions and no others.
	if (!accessList)
		fremovexattr(to, kAccessList);
}

} // namespace


std::string
copy_attributes(int from, int to, const char* file)
{
	std::string echoes;
	copy_typed(from, to, file, echoes);
	copy_untyped(from, to, file);
	return echoes;
}


void
dup_attr(char* source, char* target)
{
	int from = open(source, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	if (from < 0)
		return;
	int to = open(target, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
	if (to >= 0) {
		std::string echoes = copy_attributes(from, to, source);
		fwrite(echoes.data(), 1, echoes.size(), stdout);
		close(to);
	}
	close(from);
}
