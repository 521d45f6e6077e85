#include "convert/stamp.h"

#include <xxhash.h>
#if defined(__x86_64__)
#define XXH_DISPATCH_DISABLE_REPLACE
#include <xxh_x86dispatch.h>
#endif

#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <memory>
#include <new>

const char kStampName[] = "user.textwend.converted";
const char kBackupSuffix[] = "-BAK";


namespace {

// A stamp is small; more is no stamp of ours.
const size_t kMaxStampSize = 4096;

const size_t kReadSize = 256 * 1024;

// The numbers of a stamp, in order, before the backup's name.
const int kNumbers = 4;


bool
all_digits(const std::string& text)
{
	if (text.empty())
		return false;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
	}
	return true;
}


bool
all_hex(const std::string& text)
{
	return text.size() == 16
			&& text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace


std::string
format_stamp(const conversion_stamp& stamp)
{
	char numbers[128];
	snprintf(numbers, sizeof(numbers),
			"2 %" PRIu64 " %016" PRIx64 " %" PRIu64 " %016" PRIx64 " ",
			stamp.size, stamp.checksum, stamp.originalSize,
			stamp.originalChecksum);
	std::string text = numbers + backup_name(std::string(), stamp.backup);
	if (!stamp.originalName.empty())
		text += " " + stamp.originalName;
	return text;
}


int
parse_stamp(const std::string& text, conversion_stamp& stamp)
{
	if (text.compare(0, 2, "1 ") == 0)
		return kEarlierStamp;
	if (text.compare(0, 2, "2 ") != 0)
		return EINVAL;
	// Sizes in decimal and checksums in hex, in turn, each followed by one
	// space.
	std::string field[kNumbers];
	size_t at = 2;
	for (int i = 0; i < kNumbers; i++) {
		size_t end = text.find(' ', at);
		if (end == std::string::npos)
			return EINVAL;
		field[i] = text.substr(at, end - at);
		bool size = i % 2 == 0;
		if (size ? !all_digits(field[i]) || field[i].size() > 20
				 : !all_hex(field[i]))
			return EINVAL;
		at = end + 1;
	}
	// The suffix, and the original's name where the file was renamed.
	size_t space = text.find(' ', at);
	int backup = backup_number(text.substr(at, space - at));
	std::string name = space != std::string::npos ? text.substr(space + 1)
												  : std::string();
	if (backup == 0 || (space != std::string::npos && name.empty())
			|| name.find('/') != std::string::npos
			|| name.find('\0') != std::string::npos)
		return EINVAL;
	uint64_t value[kNumbers];
	for (int i = 0; i < kNumbers; i++) {
		errno = 0;
		value[i] = strtoull(field[i].c_str(), NULL, i % 2 == 0 ? 10 : 16);
		if (errno != 0)
			return EINVAL;
	}
	stamp.size = value[0];
	stamp.checksum = value[1];
	stamp.originalSize = value[2];
	stamp.originalChecksum = value[3];
	stamp.backup = backup;
	stamp.originalName = name;
	return 0;
}


text_checksum::text_checksum()
	: fState(XXH3_createState())
{
	if (fState != NULL)
		XXH3_64bits_reset(fState);
}


text_checksum::~text_checksum()
{
	XXH3_freeState(fState);
}


void
text_checksum::Add(const void* data, size_t size)
{
	if (fState == NULL)
		return;
		// The same XXH3 by the widest loop the processor has: the library's
		// plain one stops at SSE2, a third of the speed in the cache.
#if defined(__x86_64__)
	XXH3_64bits_update_dispatch(fState, data, size);
#else
	XXH3_64bits_update(fState, data, size);
#endif
	fSize += size;
}


uint64_t
text_checksum::Result() const
{
	return fState != NULL ? XXH3_64bits_digest(fState) : 0;
}


int
checksum_file(int fd, uint64_t& size, uint64_t& checksum)
{
	std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadSize]);
	text_checksum sum;
	if (buffer == NULL || !sum.Ready())
		return ENOMEM;
	while (true) {
		ssize_t got = pread(fd, buffer.get(), kReadSize, (off_t)sum.Size());
		if (got < 0 && errno == EINTR)
			continue;
		if (got < 0)
			return errno;
		if (got == 0)
			break;
		sum.Add(buffer.get(), (size_t)got);
	}
	size = sum.Size();
	checksum = sum.Result();
	return 0;
}


int
write_stamp(int fd, const conversion_stamp& stamp)
{
	std::string text = format_stamp(stamp);
	if (fsetxattr(fd, kStampName, text.data(), text.size(), 0) == 0)
		return 0;
	// The host asks for write permission on a file to set its attributes,
	// and the new file may already have the original's read-only bits.
	struct stat st;
	if ((errno != EACCES && errno != EPERM) || fstat(fd, &st) != 0
			|| (st.st_mode & S_IWUSR) != 0)
		return errno;
	if (fchmod(fd, (st.st_mode & 07777) | S_IWUSR) != 0)
		return errno;
	int error = fsetxattr(fd, kStampName, text.data(), text.size(), 0) == 0
			? 0
			: errno;
	if (fchmod(fd, st.st_mode & 07777) != 0 && error == 0)
		error = errno;
	return error;
}


namespace {

// The stamp's text on the open file fd: 0, or the host's error.
int
stamp_text(int fd, std::string& text)
{
	char buffer[kMaxStampSize];
	ssize_t got = fgetxattr(fd, kStampName, buffer, sizeof(buffer));
	if (got < 0)
		return errno == ERANGE ? EINVAL : errno;
	text.assign(buffer, (size_t)got);
	return 0;
}

} // namespace


int
read_stamp(int fd, conversion_stamp& stamp)
{
	std::string text;
	int error = stamp_text(fd, text);
	return error != 0 ? error : parse_stamp(text, stamp);
}


std::string
backup_name(const std::string& leaf, int n)
{
	std::string name = leaf + kBackupSuffix;
	if (n > 1)
		name += std::to_string(n);
	return name;
}


std::string
stamped_backup(const std::string& leaf, const conversion_stamp& stamp)
{
	return backup_name(stamp.originalName.empty() ? leaf : stamp.originalName,
			stamp.backup);
}


int
backup_number(const std::string& suffix)
{
	size_t length = strlen(kBackupSuffix);
	if (suffix.compare(0, length, kBackupSuffix) != 0)
		return 0;
	std::string number = suffix.substr(length);
	if (number.empty())
		return 1;
	// Numbered backups start at 2, written without leading zeros.
	if (!all_digits(number) || number[0] == '0' || number.size() > 9)
		return 0;
	int n = atoi(number.c_str());
	return n >= 2 ? n : 0;
}


std::string
leaf_of_backup(const std::string& backup)
{
	size_t at = backup.rfind(kBackupSuffix);
	if (at == std::string::npos || at == 0
			|| backup_number(backup.substr(at)) == 0)
		return std::string();
	return backup.substr(0, at);
}


bool
is_leftover(int folder, const std::string& name)
{
	int fd = openat(folder, name.c_str(),
			O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return false;
	// "1 SIZE CHECKSUM BACKUP": the backup's name after the third space.
	std::string text;
	struct stat status;
	bool leftover = fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
			&& stamp_text(fd, text) == 0 && text.compare(0, 2, "1 ") == 0;
	size_t at = 0;
	for (int space = 0; leftover && space < 3; space++) {
		at = text.find(' ', at);
		leftover = at != std::string::npos;
		at++;
	}
	close(fd);
	return leftover && text.substr(at) == name;
}
