/*
 * BFile: a file's data.
 */
#include <File.h>

#include <Entry.h>
#include <storage/ref_paths.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>


namespace {

const uint32 kAccessModes = B_READ_ONLY | B_WRITE_ONLY | B_READ_WRITE;
const uint32 kOpenModes = kAccessModes | B_FAIL_IF_EXISTS | B_CREATE_FILE
		| B_ERASE_FILE | B_OPEN_AT_END;


// The platform's open mode in the host's flags; false for a mode that has
// bits the platform does not know.
bool
host_open_flags(uint32 openMode, int& flags)
{
	if ((openMode & ~kOpenModes) != 0)
		return false;
	switch (openMode & kAccessModes) {
	case B_READ_ONLY:
		flags = O_RDONLY;
		break;
	case B_WRITE_ONLY:
		flags = O_WRONLY;
		break;
	case B_READ_WRITE:
		flags = O_RDWR;
		break;
	default:
		return false;
	}
	if ((openMode & B_FAIL_IF_EXISTS) != 0)
		flags |= O_EXCL;
	if ((openMode & B_CREATE_FILE) != 0)
		flags |= O_CREAT;
	if ((openMode & B_ERASE_FILE) != 0)
		flags |= O_TRUNC;
	if ((openMode & B_OPEN_AT_END) != 0)
		flags |= O_APPEND;
	flags |= O_CLOEXEC;
	return true;
}


size_t
clamped(size_t size)
{
	return size > SSIZE_MAX ? SSIZE_MAX : size;
}


// Repeats call(done, left) until size bytes have moved or the end came. A
// pipe or a device (whole false) gives what one call has and no more.
template<typename Call>
ssize_t
transfer(size_t size, bool whole, Call call)
{
	size = clamped(size);
	size_t done = 0;
	while (done < size) {
		ssize_t result = call(done, size - done);
		if (result < 0 && errno == EINTR)
			continue;
		if (result < 0)
			return done > 0 ? (ssize_t)done : status_from_errno(errno);
		done += result;
		if (result == 0 || !whole)
			break;
	}
	return done;
}

} // namespace


BFile::BFile()
	: fRegular(false)
{
}


BFile::BFile(const char* path, uint32 openMode)
	: fRegular(false)
{
	SetTo(path, openMode);
}


BFile::BFile(const entry_ref* ref, uint32 openMode)
	: fRegular(false)
{
	SetTo(ref, openMode);
}


BFile::~BFile()
{
}


status_t
BFile::SetTo(const char* path, uint32 openMode)
{
	Unset();
	int flags;
	if (path == NULL || path[0] == '\0' || !host_open_flags(openMode, flags))
		return fCStatus = B_BAD_VALUE;

	// A new file gets the permissions the umask leaves of rw-rw-rw-.
	int fd = open(path, flags, 0666);
	if (fd < 0)
		return fCStatus = status_from_errno(errno);

	// The host opens a folder for reading; the platform does not.
	struct stat st;
	status_t status = B_OK;
	if (fstat(fd, &st) != 0)
		status = status_from_errno(errno);
	else if (S_ISDIR(st.st_mode))
		status = B_IS_A_DIRECTORY;
	if (status != B_OK) {
		close(fd);
		return fCStatus = status;
	}
	fRegular = S_ISREG(st.st_mode);
	return _SetDescriptor(fd);
}


status_t
BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
	Unset();
	std::string path;
	status_t status = path_for_ref(ref, path);
	if (status != B_OK)
		return fCStatus = status;
	return SetTo(path.c_str(), openMode);
}


void
BFile::Unset()
{
	BNode::Unset();
	fRegular = false;
}


ssize_t
BFile::Read(void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (buffer == NULL && size > 0)
		return B_BAD_VALUE;

	return transfer(size, fRegular, [&](size_t done, size_t left) {
		return read(fFd, (char*)buffer + done, left);
	});
}


ssize_t
BFile::ReadAt(off_t location, void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (location < 0 || (buffer == NULL && size > 0))
		return B_BAD_VALUE;

	return transfer(size, fRegular, [&](size_t done, size_t left) {
		return pread(fFd, (char*)buffer + done, left, location + done);
	});
}


ssize_t
BFile::Write(const void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (buffer == NULL && size > 0)
		return B_BAD_VALUE;

	return transfer(size, true, [&](size_t done, size_t left) {
		return write(fFd, (const char*)buffer + done, left);
	});
}


ssize_t
BFile::WriteAt(off_t location, const void* buffer, size_t size)
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (location < 0 || (buffer == NULL && size > 0))
		return B_BAD_VALUE;

	return transfer(size, true, [&](size_t done, size_t left) {
		return pwrite(fFd, (const char*)buffer + done, left, location + done);
	});
}


off_t
BFile::Seek(off_t offset, uint32 seekMode)
{
	if (fCStatus != B_OK)
		return fCStatus;
	off_t position = lseek(fFd, offset, seekMode);
	return position < 0 ? status_from_errno(errno) : position;
}


off_t
BFile::Position() const
{
	if (fCStatus != B_OK)
		return fCStatus;
	off_t position = lseek(fFd, 0, SEEK_CUR);
	return position < 0 ? status_from_errno(errno) : position;
}


status_t
BFile::GetSize(off_t* size) const
{
	if (fCStatus != B_OK)
		return fCStatus;
	if (size == NULL)
		return B_BAD_VALUE;
	struct stat st;
	if (fstat(fFd, &st) != 0)
		return status_from_errno(errno);
	*size = st.st_size;
	return B_OK;
}
