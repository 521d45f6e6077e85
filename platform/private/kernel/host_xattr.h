/*
 * Inside the kits only: the host's extended attributes, the one place where
 * the attribute calls meet Linux. Every call returns -1 with the host's errno
 * on failure, as the host's own calls do.
 */
#ifndef _HOST_XATTR_H
#define _HOST_XATTR_H

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/types.h>
#include <sys/xattr.h>

#include <linux/limits.h>

// The host keeps no value longer than this, whatever the file system; a name
// is at most this long, namespace included.
static const size_t kHostMaxValueSize = XATTR_SIZE_MAX;
static const size_t kHostMaxNameLength = XATTR_NAME_MAX;

// The host's "no such attribute".
static inline bool
host_attribute_missing(int error)
{
	return error == ENODATA;
}


// A descriptor opened with O_PATH (a symbolic link opened without following
// it, say) refuses the f*xattr calls; its /proc entry reaches the same node.
static inline bool
host_proc_path(int fd, char (&path)[32])
{
	int savedError = errno;
	int flags = fcntl(fd, F_GETFL);
	errno = savedError;
	if (flags < 0 || (flags & O_PATH) == 0)
		return false;
	snprintf(path, sizeof(path), "/proc/self/fd/%d", fd);
	return true;
}


static inline ssize_t
host_list_attributes(int fd, char* buffer, size_t size)
{
	ssize_t result = flistxattr(fd, buffer, size);
	char procPath[32];
	if (result < 0 && errno == EBADF && host_proc_path(fd, procPath))
		result = listxattr(procPath, buffer, size);
	return result;
}


static inline ssize_t
host_list_attributes(const char* path, bool traverse, char* buffer, size_t size)
{
	return traverse ? listxattr(path, buffer, size)
					: llistxattr(path, buffer, size);
}


static inline ssize_t
host_get_attribute(int fd, const char* name, void* buffer, size_t size)
{
	ssize_t result = fgetxattr(fd, name, buffer, size);
	char procPath[32];
	if (result < 0 && errno == EBADF && host_proc_path(fd, procPath))
		result = getxattr(procPath, name, buffer, size);
	return result;
}


static inline ssize_t
host_get_attribute(const char* path, bool traverse, const char* name,
		void* buffer, size_t size)
{
	return traverse ? getxattr(path, name, buffer, size)
					: lgetxattr(path, name, buffer, size);
}


static inline int
host_set_attribute(int fd, const char* name, const void* value, size_t size)
{
	int result = fsetxattr(fd, name, value, size, 0);
	char procPath[32];
	if (result < 0 && errno == EBADF && host_proc_path(fd, procPath))
		result = setxattr(procPath, name, value, size, 0);
	return result;
}


static inline int
host_remove_attribute(int fd, const char* name)
{
	int result = fremovexattr(fd, name);
	char procPath[32];
	if (result < 0 && errno == EBADF && host_proc_path(fd, procPath))
		result = removexattr(procPath, name);
	return result;
}

#endif // _HOST_XATTR_H
