/*
 * BNode: a node of the file system, opened for its attributes.
 */
#include <Node.h>

#include <Entry.h>
#include <storage/ref_paths.h>

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <new>
#include <string>


BNode::BNode()
	: fFd(-1)
	, fCStatus(B_NO_INIT)
{
}


BNode::BNode(const char* path)
	: fFd(-1)
	, fCStatus(B_NO_INIT)
{
	SetTo(path);
}


BNode::BNode(const entry_ref* ref)
	: fFd(-1)
	, fCStatus(B_NO_INIT)
{
	SetTo(ref);
}


BNode::~BNode()
{
	BNode::Unset();
}


status_t
BNode::InitCheck() const
{
	return fCStatus;
}


status_t
BNode::SetTo(const char* path)
{
	Unset();
	if (path == NULL || path[0] == '\0')
		return fCStatus = B_BAD_VALUE;

	// The host sets attributes through a descriptor of any access mode, so
	// reading suffices; a node that may only be written is opened for that.
	// Nothing is read from it: a pipe or a device must not block the open.
	const int kFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
	int fd = open(path, O_RDONLY | kFlags);
	if (fd < 0 && errno == EACCES)
		fd = open(path, O_WRONLY | kFlags);
	return _SetDescriptor(fd);
}


status_t
BNode::SetTo(const entry_ref* ref)
{
	Unset();
	std::string path;
	status_t status = path_for_ref(ref, path);
	if (status != B_OK)
		return fCStatus = status;
	return SetTo(path.c_str());
}


void
BNode::Unset()
{
	if (fFd >= 0)
		close(fFd);
	fFd = -1;
	fCStatus = B_NO_INIT;
}


ssize_t
BNode::ReadAttr(const char* name, type_code type, off_t offset, void* buffer,
		size_t length) const
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	ssize_t result = fs_read_attr(fFd, name, type, offset, buffer, length);
	return result < 0 ? status_from_errno(errno) : result;
}


ssize_t
BNode::WriteAttr(const char* name, type_code type, off_t offset,
		const void* buffer, size_t length)
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	ssize_t result = fs_write_attr(fFd, name, type, offset, buffer, length);
	return result < 0 ? status_from_errno(errno) : result;
}


status_t
BNode::RemoveAttr(const char* name)
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	if (fs_remove_attr(fFd, name) != 0)
		return status_from_errno(errno);
	return B_OK;
}


status_t
BNode::GetAttrInfo(const char* name, attr_info* info) const
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	if (fs_stat_attr(fFd, name, info) != 0)
		return status_from_errno(errno);
	return B_OK;
}


status_t
BNode::_SetDescriptor(int fd)
{
	if (fd < 0)
		return fCStatus = status_from_errno(errno);
	fFd = fd;
	return fCStatus = B_OK;
}
