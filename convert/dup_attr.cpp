/*
 * Carrying the attributes of the source file over to the converted file, the
 * MIME type among them. The typed attributes go through the kit, each value
 * echoed on standard output; every other extended attribute of the host (the
 * desktop's own, access lists, security labels) goes over byte for byte.
 */
#include "convert/convert.h"

#include "app/text_domain.h"
#include "convert/batch.h"
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


const char kUserNamespace[] = "user.";


// An attribute of the person's that could be read but not written leaves
// the file as it was: every one is promised byte for byte.
void
not_written(attribute_copy& copy, const char* attribute, int error)
{
	if (copy.refusal.empty())
		copy.refusal = filled(_("its attribute '%s' could not be kept: %s"),
				{attribute, strerror(error)});
}


void
not_carried_over(attribute_copy& copy, const char* file, const char* attribute,
		int error)
{
	copy.warnings += notice(file,
			filled(_("attribute '%s' not carried over: %s"),
					{attribute, strerror(error)}));
}


// Most files have no attributes or a few short ones: one call with this much
// room usually reads them all.
const size_t kFirstTry = 1024;


// The host's whole value of a listing (names or value); the value may change
// between asking for its size and reading it, then ask again.
template<typename Call>
bool
host_read(Call call, std::vector<char>& value)
{
	value.resize(value.capacity() > kFirstTry ? value.capacity() : kFirstTry);
	while (true) {
		ssize_t got = call(value.data(), value.size());
		if (got >= 0 && (size_t)got <= value.size()) {
			value.resize(got);
			return true;
		}
		if (got < 0 && errno != ERANGE)
			return false;
		ssize_t size = call(NULL, 0);
		if (size < 0)
			return false;
		value.resize((size_t)size + 1);
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
				not_written(copy, entry->d_name, errno);
		} else {
			not_carried_over(copy, file, entry->d_name, got < 0 ? errno : EIO);
		}
		free(value);
	}
	fs_close_attr_dir(attributes);
}


bool
typed(const char* name)
{
	return strncmp(name, kTypedNamespace, sizeof(kTypedNamespace) - 1) == 0;
}


// names: the host's listing of from, each name ending with a NUL.
void
copy_untyped(int from, int to, const std::vector<char>& names, const char* file,
		attribute_copy& copy)
{
	std::vector<char> value;
	for (size_t at = 0; at + 1 < names.size();
			at += strlen(names.data() + at) + 1) {
		const char* name = names.data() + at;
		if (typed(name))
			continue;
		// The source's own stamp is of another conversion.
		if (strcmp(name, kStampName) == 0)
			continue;
		if (!host_read(
					[&](char* buffer, size_t size) {
						return fgetxattr(from, name, buffer, size);
					},
					value)) {
			if (strcmp(name, kAccessList) == 0)
				copy.refusal = filled(_("its access list cannot be read: %s"),
						{strerror(errno)});
			else
				not_carried_over(copy, file, name, errno);
			continue;
		}
		if (fsetxattr(to, name, value.data(), value.size(), 0) == 0) {
			copy.accessList = copy.accessList || strcmp(name, kAccessList) == 0;
			continue;
		}
		// Without its access list the file would be open to whom the list
		// denies.
		if (strcmp(name, kAccessList) == 0)
			copy.refusal = filled(_("its access list could not be kept: %s"),
					{strerror(errno)});
		else if (strncmp(name, kUserNamespace, sizeof(kUserNamespace) - 1) == 0)
			not_written(copy, name, errno);
		else if (label_refused(name, errno))
			copy.warnings += notice(file,
					filled(_("security label '%s' not carried over: the "
							 "system keeps it to itself (%s)"),
							{name, strerror(errno)}));
		else
			not_carried_over(copy, file, name, errno);
	}
	// A new file takes the folder's default access list; the converted one
	// has the source's permissions and no others. Asked first, as most
	// folders have none and a removal is a write.
	if (!copy.accessList && fgetxattr(to, kAccessList, NULL, 0) >= 0
			&& fremovexattr(to, kAccessList) != 0)
		copy.refusal = filled(_("the folder's access list could not be taken "
								"off it: %s"),
				{strerror(errno)});
}


// A control character as a terminal must not see it, or empty.
std::string
escaped(unsigned char c)
{
	if (c == 0x1B)
		return "\\e";
	if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
		char text[8];
		snprintf(text, sizeof(text), "\\x%02X", c);
		return text;
	}
	return std::string();
}

} // namespace


attribute_copy
copy_attributes(int from, int to, const char* file)
{
	attribute_copy copy;
	std::vector<char> names;
	bool listed = host_read(
			[&](char* buffer, size_t size) {
				return flistxattr(from, buffer, size);
			},
			names);
	// Unlisted, an access list would go unnoticed.
	if (!listed && errno != ENOTSUP)
		copy.refusal = filled(
				_("its attributes cannot be listed: %s"), {strerror(errno)});
	// Every name ends with a NUL; one that does not is cut off.
	names.push_back('\0');
	bool anyTyped = false;
	for (size_t at = 0; at + 1 < names.size() && !anyTyped;
			at += strlen(names.data() + at) + 1)
		anyTyped = typed(names.data() + at);
	// The kit is asked only where the host's listing may hold its attributes.
	if (anyTyped || !listed)
		copy_typed(from, to, file, copy);
	if (listed)
		copy_untyped(from, to, names, file, copy);
	return copy;
}


void
dup_attr(char* source, char* target)
{
	int from = open(source, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
	if (from < 0)
		return;
	int to = open(target, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
	if (to >= 0) {
		attribute_copy copy = copy_attributes(from, to, source);
		echo_values(copy.echoes);
		fputs(copy.warnings.c_str(), stderr);
		close(to);
	}
	close(from);
}


void
echo_values(const std::string& echoes)
{
	if (echoes.empty())
		return;
	if (!output_is_terminal()) {
		fwrite(echoes.data(), 1, echoes.size(), stdout);
		return;
	}
	std::string shown;
	for (size_t i = 0; i < echoes.size(); i++) {
		unsigned char c = (unsigned char)echoes[i];
		// C1 controls in UTF-8 act on some terminals as well.
		if (c == 0xC2 && i + 1 < echoes.size()
				&& (unsigned char)echoes[i + 1] >= 0x80
				&& (unsigned char)echoes[i + 1] <= 0x9F) {
			char text[16];
			snprintf(text, sizeof(text), "\\xC2\\x%02X",
					(unsigned char)echoes[++i]);
			shown += text;
			continue;
		}
		std::string escape = escaped(c);
		if (escape.empty())
			shown += (char)c;
		else
			shown += escape;
	}
	fwrite(shown.data(), 1, shown.size(), stdout);
}
