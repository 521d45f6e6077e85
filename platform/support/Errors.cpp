/*
 * Host errno values, seen through the kits' status codes.
 */
#include <Errors.h>

#include <errno.h>


int
status_from_errno(int error)
{
	switch (error) {
	case 0:
		return B_OK;
	case ENOMEM:
		return B_NO_MEMORY;
	case EIO:
		return B_IO_ERROR;
	case EACCES:
	case EPERM:
		return B_PERMISSION_DENIED;
	case EINVAL:
		return B_BAD_VALUE;
	case EBADF:
		return B_FILE_ERROR;
	case EBADMSG:
		return B_BAD_DATA;
	case EEXIST:
		return B_FILE_EXISTS;
	case ENOENT:
	case ENODATA:
		return B_ENTRY_NOT_FOUND;
	case ENAMETOOLONG:
		return B_NAME_TOO_LONG;
	case ENOTDIR:
		return B_NOT_A_DIRECTORY;
	case ENOTEMPTY:
		return B_DIRECTORY_NOT_EMPTY;
	case ENOSPC:
	case EDQUOT:
		return B_DEVICE_FULL;
	case EROFS:
		return B_READ_ONLY_DEVICE;
	case EISDIR:
		return B_IS_A_DIRECTORY;
	case EMFILE:
	case ENFILE:
		return B_NO_MORE_FDS;
	case EXDEV:
		return B_CROSS_DEVICE_LINK;
	case ELOOP:
		return B_LINK_LIMIT;
	case EPIPE:
		return B_BUSTED_PIPE;
	case ENOTSUP:
		return B_NOT_SUPPORTED;
	case EFBIG:
		return B_FILE_TOO_LARGE;
	case E2BIG:
	case ERANGE:
		return B_BUFFER_OVERFLOW;
	case EBUSY:
		return B_BUSY;
	case EINTR:
		return B_INTERRUPTED;
	case EAGAIN:
		return B_WOULD_BLOCK;
	case ETIMEDOUT:
		return B_TIMED_OUT;
	default:
		return B_ERROR;
	}
}
