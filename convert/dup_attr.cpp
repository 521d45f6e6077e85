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
const char kSecurityNamespace[] = "security.";


void
not_carried_over(attribute_copy& copy, const char* file, const char* attribute,
		int error)
{
	copy.warnings += std::string("Textwend: '") + file + "': attribute '"
			+ attribute + "' not carried over: " + strerror(error) + "\n";
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


// Security labels go over where the process may set them; elsewhere the
// refusal is the system's rule, not a fault.
bool
label_refused(const char* name, int error)
{
	return strncmp(name, kSecurityNamespace, sizeof(kSecurityNamespace) - 1)
			== 0
			&& (error == EPERM || error == EACCES);
}


void
copy_typed(int from, int to, const char* file, attribute_copy& copy)
{
	DIR* attributes = fs_fopen_attr_dir(from);
	if (attributes == NULL)
		return;
	while (struct dirent* entry = fs_read_attr_dir(attributes)) {
		// Nothing is written that was not read whole.
		attr_info info;
		if (fs_stat_attr(from, entry->d_name, &info) != 0) {
			not_carried_over(copy, file, entry->d_name, errno);
			continue;
		}
		size_t size = (size_t)info.size;
		char* value = (char*)malloc(size > 0 ? size : 1);
		if (value == NULL) {
			not_carried_over(copy, file, entry->d_name, ENOMEM);
			continue;
		}
		ssize_t got
				= fs_read_attr(from, entry->d_name, info.type, 0, value, size);
		if (got == (ssize_t)size) {
			copy.echoes.append(value, strnlen(value, size));
			if (fs_write_attr(to, entry->d_name, info.type, 0, value, size)
					!= (ssize_t)size)
				not_carried_over(copy, file, entry->d_name, errno);
		} else {
			not_carried_over(copy, file, entry->d_name, got < 0 ? errno : EIO);
		}
		free(value);
	}
	fs_close_attr_dir(attributes);
}


void
copy_untyped(int from, int to, const char* file, attribute_copy& copy)
{
	std::vector<char> names;
	if (!host_read(
				[&](char* buffer, size_t size) {
					return flistxattr(from, buffer, size);
				},
				names)) {
		if (errno != ENOTSUP)
			not_carried_over(copy, file, "*", errno);
		return;
	}
	bool accessList = false;
	std::vector<char> value;
	// Every name ends with a NUL; one that does not is cut off.
	names.push_back('\0');
	for (size_t at = 0; at + 1 < names.size();
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
			not_carried_over(copy, file, name, errno);
			continue;
		}
		if (fsetxattr(to, name, value.data(), value.size(), 0) == 0)
			continue;
		if (!label_refused(name, errno))
			not_carried_over(copy, file, name, errno);
	}
	// A new file takes the folder's default access list; the converted one
	// has the source's permissions and no others.
	if (!accessList)
		fremovexattr(to, kAccessList);
}

} // namespace


attribute_copy
copy_attributes(int from, int to, const char* file)
{
	attribute_copy copy;
	copy_typed(from, to, file, copy);
	copy_untyped(from, to, file, copy);
	return copy;
}


void
dup_attr(char* source, char* target)
{
	int from = open(source, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	if (from < 0)
		return;
	int to = open(target, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
	if (to >= 0) {
		attribute_copy copy = copy_attributes(from, to, source);
		fwrite(copy.echoes.data(), 1, copy.echoes.size(), stdout);
		fputs(copy.warnings.c_str(), stderr);
		close(to);
	}
	close(from);
}
