/*
 * Typed attributes on the host's extended attributes, stored so that the
 * platform's own build tools on Linux read and write the same files: each
 * attribute is one extended attribute in the "user.haiku." namespace, its
 * value the 4-byte type code in host byte order followed by the attribute's
 * bytes. Extended attributes outside that namespace are left alone.
 */
#include <fs_attr.h>

#include <kernel/host_xattr.h>

#include <errno.h>
#include <string.h>

#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>


static_assert(sizeof(off_t) == 8, "attribute sizes are 64-bit");


namespace {

const char kNamespace[] = "user.haiku.";
const size_t kNamespaceLength = sizeof(kNamespace) - 1;
const size_t kHeaderSize = sizeof(uint32);
const size_t kMaxDataSize = kHostMaxValueSize - kHeaderSize;


struct AttrDir {
	std::vector<char> listing;
	size_t next = 0;
	struct dirent entry = {};
};

// Only directories handed out here are read or closed; anything else is
// refused instead of being taken apart.
std::mutex sAttrDirLock;
std::set<AttrDir*> sAttrDirs;


// The calls are C: an allocation failure becomes ENOMEM instead of an
// exception that crosses into the caller.
template<typename Result, typename Call>
Result
guarded(Result failure, Call call)
{
	try {
		return call();
	} catch (const std::bad_alloc&) {
		errno = ENOMEM;
		return failure;
	}
}


// '/' is written as "%\" and '%' as "%%", after the namespace.
bool
host_name(const char* name, std::string& hostName)
{
	if (name == NULL || name[0] == '\0') {
		errno = EINVAL;
		return false;
	}
	hostName = kNamespace;
	for (const char* c = name; *c != '\0'; c++) {
		if (*c == '/')
			hostName += "%\\";
		else if (*c == '%')
			hostName += "%%";
		else
			hostName += *c;
	}
	if (hostName.length() > kHostMaxNameLength) {
		errno = ENAMETOOLONG;
		return false;
	}
	return true;
}


// False for a name outside the namespace, an escape that is not one of the
// two, and an empty name: none of these is an attribute of ours.
bool
attribute_name(const char* hostName, std::string& name)
{
	if (strncmp(hostName, kNamespace, kNamespaceLength) != 0)
		return false;
	name.clear();
	for (const char* c = hostName + kNamespaceLength; *c != '\0'; c++) {
		if (*c != '%') {
			name += *c;
			continue;
		}
		c++;
		if (*c == '\\')
			name += '/';
		else if (*c == '%')
			name += '%';
		else
			return false;
	}
	return !name.empty();
}


// The whole stored value, type code included. The value may change between
// asking for its size and reading it; then ask again.
bool
read_value(int fd, const std::string& hostName, std::vector<char>& value)
{
	while (true) {
		ssize_t size = host_get_attribute(fd, hostName.c_str(), NULL, 0);
		if (size < 0)
			break;
		value.resize(size);
		ssize_t bytesRead = host_get_attribute(
				fd, hostName.c_str(), value.data(), value.size());
		if (bytesRead < 0 && errno == ERANGE)
			continue;
		if (bytesRead < 0)
			break;
		// Asked with size 0, the host answers with the size, not the value.
		if ((size_t)bytesRead > value.size())
			continue;
		value.resize(bytesRead);
		if (value.size() < kHeaderSize) {
			errno = EBADMSG;
			return false;
		}
		return true;
	}
	if (host_attribute_missing(errno))
		errno = ENOENT;
	return false;
}


uint32
value_type(const std::vector<char>& value)
{
	uint32 type;
	memcpy(&type, value.data(), sizeof(type));
	return type;
}


// Lists the names, then asks for a name of our namespace: a file system
// without extended attributes lists nothing rather than failing, but it
// refuses to look a name up.
template<typename List, typename Probe>
DIR*
open_attr_dir(List list, Probe probe)
{
	std::unique_ptr<AttrDir> dir(new AttrDir);
	while (true) {
		ssize_t size = list(NULL, 0);
		if (size < 0)
			return NULL;
		dir->listing.resize(size);
		ssize_t listed = list(dir->listing.data(), dir->listing.size());
		if (listed < 0 && errno == ERANGE)
			continue;
		if (listed < 0)
			return NULL;
		if ((size_t)listed > dir->listing.size())
			continue;
		dir->listing.resize(listed);
		break;
	}
	if (probe(kNamespace) < 0 && !host_attribute_missing(errno))
		return NULL;

	std::lock_guard<std::mutex> guard(sAttrDirLock);
	sAttrDirs.insert(dir.get());
	return reinterpret_cast<DIR*>(dir.release());
}


AttrDir*
known_attr_dir(DIR* dir)
{
	AttrDir* attrDir = reinterpret_cast<AttrDir*>(dir);
	std::lock_guard<std::mutex> guard(sAttrDirLock);
	if (sAttrDirs.count(attrDir) == 0) {
		errno = EBADF;
		return NULL;
	}
	return attrDir;
}


DIR*
open_attr_dir_by_path(const char* path, bool traverse)
{
	if (path == NULL) {
		errno = EINVAL;
		return NULL;
	}
	return guarded<DIR*>(NULL, [&] {
		return open_attr_dir(
				[&](char* buffer, size_t size) {
					return host_list_attributes(path, traverse, buffer, size);
				},
				[&](const char* name) {
					return host_get_attribute(path, traverse, name, NULL, 0);
				});
	});
}

} // namespace


ssize_t
fs_read_attr(int fd, const char* attribute, uint32 /*type*/, off_t pos,
		void* buffer, size_t readBytes)
{
	if (pos < 0 || (buffer == NULL && readBytes > 0)) {
		errno = EINVAL;
		return -1;
	}
	return guarded<ssize_t>(-1, [&]() -> ssize_t {
		std::string hostName;
		std::vector<char> value;
		if (!host_name(attribute, hostName) || !read_value(fd, hostName, value))
			return -1;

		size_t dataSize = value.size() - kHeaderSize;
		if ((uint64)pos >= dataSize)
			return 0;
		size_t count = dataSize - pos;
		if (count > readBytes)
			count = readBytes;
		memcpy(buffer, value.data() + kHeaderSize + pos, count);
		return count;
	});
}


ssize_t
fs_write_attr(int fd, const char* attribute, uint32 type, off_t pos,
		const void* buffer, size_t writeBytes)
{
	if (pos < 0 || (buffer == NULL && writeBytes > 0)) {
		errno = EINVAL;
		return -1;
	}
	if (writeBytes > kMaxDataSize || (uint64)pos > kMaxDataSize - writeBytes) {
		errno = E2BIG;
		return -1;
	}
	return guarded<ssize_t>(-1, [&]() -> ssize_t {
		std::string hostName;
		if (!host_name(attribute, hostName))
			return -1;

		// Anywhere but at position 0 the bytes around the written ones stay.
		std::vector<char> value;
		if (pos > 0 && !read_value(fd, hostName, value)) {
			if (errno != ENOENT)
				return -1;
			value.clear();
		}
		size_t end = kHeaderSize + pos + writeBytes;
		if (value.size() < end)
			value.resize(end);
		memcpy(value.data(), &type, sizeof(type));
		if (writeBytes > 0)
			memcpy(value.data() + kHeaderSize + pos, buffer, writeBytes);

		if (host_set_attribute(fd, hostName.c_str(), value.data(), value.size())
				< 0)
			return -1;
		return writeBytes;
	});
}


int
fs_remove_attr(int fd, const char* attribute)
{
	return guarded<int>(-1, [&] {
		std::string hostName;
		if (!host_name(attribute, hostName))
			return -1;
		if (host_remove_attribute(fd, hostName.c_str()) < 0) {
			if (host_attribute_missing(errno))
				errno = ENOENT;
			return -1;
		}
		return 0;
	});
}


int
fs_stat_attr(int fd, const char* attribute, struct attr_info* attrInfo)
{
	if (attrInfo == NULL) {
		errno = EINVAL;
		return -1;
	}
	return guarded<int>(-1, [&] {
		std::string hostName;
		std::vector<char> value;
		if (!host_name(attribute, hostName) || !read_value(fd, hostName, value))
			return -1;
		attrInfo->type = value_type(value);
		attrInfo->size = value.size() - kHeaderSize;
		return 0;
	});
}


DIR*
fs_open_attr_dir(const char* path)
{
	return open_attr_dir_by_path(path, true);
}


DIR*
fs_lopen_attr_dir(const char* path)
{
	return open_attr_dir_by_path(path, false);
}


DIR*
fs_fopen_attr_dir(int fd)
{
	return guarded<DIR*>(NULL, [&] {
		return open_attr_dir(
				[&](char* buffer, size_t size) {
					return host_list_attributes(fd, buffer, size);
				},
				[&](const char* name) {
					return host_get_attribute(fd, name, NULL, 0);
				});
	});
}


int
fs_close_attr_dir(DIR* dir)
{
	AttrDir* attrDir = reinterpret_cast<AttrDir*>(dir);
	{
		std::lock_guard<std::mutex> guard(sAttrDirLock);
		if (sAttrDirs.erase(attrDir) == 0) {
			errno = EBADF;
			return -1;
		}
	}
	delete attrDir;
	return 0;
}


struct dirent*
fs_read_attr_dir(DIR* dir)
{
	AttrDir* attrDir = known_attr_dir(dir);
	if (attrDir == NULL)
		return NULL;

	return guarded<struct dirent*>(
			NULL, [&]() -> struct dirent* {
				std::vector<char>& listing = attrDir->listing;
				std::string name;
				while (attrDir->next < listing.size()) {
					const char* hostName = listing.data() + attrDir->next;
					size_t length
							= strnlen(hostName, listing.size() - attrDir->next);
					if (attrDir->next + length == listing.size()) {
						// The host ends every name with a NUL; a listing that
						// does not is cut short rather than read beyond.
						attrDir->next = listing.size();
						break;
					}
					attrDir->next += length + 1;
					if (!attribute_name(hostName, name)
							|| name.length() >= sizeof(attrDir->entry.d_name))
						continue;

					struct dirent& entry = attrDir->entry;
					entry.d_ino = 0;
					entry.d_off = attrDir->next;
					entry.d_reclen = sizeof(entry);
					entry.d_type = DT_UNKNOWN;
					memcpy(entry.d_name, name.c_str(), name.length() + 1);
					return &entry;
				}
				return NULL;
			});
}


void
fs_rewind_attr_dir(DIR* dir)
{
	AttrDir* attrDir = known_attr_dir(dir);
	if (attrDir != NULL)
		attrDir->next = 0;
}
