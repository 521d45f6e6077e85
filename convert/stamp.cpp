#include "convert/stamp.h"

#include "convert/source_file.h"

#include <endian.h>
#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <vector>

const char kStampName[] = "user.textwend.converted";


namespace {

const char kBackupSuffix[] = "-BAK";

// A stamp is small; more is no stamp of ours.
const size_t kMaxStampSize = 4096;

const size_t kReadSize = 256 * 1024;


// Eight bytes at a time, so that checking a file costs next to nothing
// beside converting it; the result is the same on every host.
struct checksum_state {
	uint64_t hash = 0x243F6A8885A308D3ull;

	void
	Add(uint64_t word)
	{
		hash = ((hash << 29 | hash >> 35) ^ word) * 0x9E3779B97F4A7C15ull;
	}
};


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

} // namespace


std::string
format_stamp(const conversion_stamp& stamp)
{
	char numbers[64];
	snprintf(numbers, sizeof(numbers), "1 %" PRIu64 " %016" PRIx64 " ",
			stamp.size, stamp.checksum);
	return numbers + stamp.backup;
}


bool
parse_stamp(const std::string& text, conversion_stamp& stamp)
{
	if (text.compare(0, 2, "1 ") != 0)
		return false;
	size_t sizeEnd = text.find(' ', 2);
	if (sizeEnd == std::string::npos)
		return false;
	std::string size = text.substr(2, sizeEnd - 2);
	std::string checksum = text.substr(sizeEnd + 1, 16);
	if (!all_digits(size) || size.size() > 20 || checksum.size() != 16
			|| checksum.find_first_not_of("0123456789abcdef")
					!= std::string::npos
			|| text.size() <= sizeEnd + 18 || text[sizeEnd + 17] != ' ')
		return false;
	std::string backup = text.substr(sizeEnd + 18);
	if (backup.find('/') != std::string::npos
			|| backup.find('\0') != std::string::npos
			|| leaf_of_backup(backup).empty())
		return false;
	errno = 0;
	stamp.size = strtoull(size.c_str(), NULL, 10);
	if (errno != 0)
		return false;
	stamp.checksum = strtoull(checksum.c_str(), NULL, 16);
	stamp.backup = backup;
	return true;
}


int
checksum_file(int fd, uint64_t& size, uint64_t& checksum)
{
	std::vector<char> buffer(kReadSize + sizeof(uint64_t));
	checksum_state state;
	uint64_t total = 0;
	size_t pending = 0; // bytes carried over that fill no word yet
	while (true) {
		ssize_t got = pread(fd, buffer.data() + pending, kReadSize, total);
		if (got < 0 && errno == EINTR)
			continue;
		if (got < 0)
			return errno;
		if (got == 0)
			break;
		total += (uint64_t)got;
		size_t available = pending + (size_t)got;
		size_t words = available / sizeof(uint64_t);
		for (size_t i = 0; i < words; i++) {
			uint64_t word;
			memcpy(&word, buffer.data() + i * sizeof(word), sizeof(word));
			state.Add(le64toh(word));
		}
		pending = available - words * sizeof(uint64_t);
		memmove(buffer.data(), buffer.data() + words * sizeof(uint64_t),
				pending);
	}
	uint64_t last = 0;
	memcpy(&last, buffer.data(), pending);
	state.Add(le64toh(last));
	state.Add(total);
	size = total;
	checksum = state.hash;
	return 0;
}


int
write_stamp(int fd, const std::string& backup)
{
	// The new file is open for writing only; it is read back through the
	// host's path of the open file.
	int reading = open(descriptor_path(fd).c_str(), O_RDONLY | O_CLOEXEC);
	if (reading < 0)
		return errno;
	conversion_stamp stamp;
	stamp.backup = backup;
	int error = checksum_file(reading, stamp.size, stamp.checksum);
	close(reading);
	if (error != 0)
		return error;
	std::string text = format_stamp(stamp);
	if (fsetxattr(fd, kStampName, text.data(), text.size(), 0) == 0)
		return 0;
	// The new file already has the original's permissions, and the host
	// asks for write permission on a file to set its attributes.
	struct stat st;
	if ((errno != EACCES && errno != EPERM) || fstat(fd, &st) != 0
			|| (st.st_mode & S_IWUSR) != 0)
		return errno;
	if (fchmod(fd, (st.st_mode & 07777) | S_IWUSR) != 0)
		return errno;
	error = fsetxattr(fd, kStampName, text.data(), text.size(), 0) == 0 ? 0
																		: errno;
	fchmod(fd, st.st_mode & 07777);
	return error;
}


void
stamp_conversion(int fd, const std::string& backup, const char* file)
{
	int error = write_stamp(fd, backup);
	if (error != 0 && error != ENOTSUP) {
		fprintf(stderr, "Textwend: '%s': attribute '%s' not written: %s\n",
				file, kStampName, strerror(error));
	}
}


int
read_stamp(int fd, conversion_stamp& stamp)
{
	char text[kMaxStampSize];
	ssize_t got = fgetxattr(fd, kStampName, text, sizeof(text));
	if (got < 0)
		return errno == ERANGE ? EINVAL : errno;
	return parse_stamp(std::string(text, (size_t)got), stamp) ? 0 : EINVAL;
}


std::string
leaf_of_backup(const std::string& backup)
{
	size_t at = backup.rfind(kBackupSuffix);
	if (at == std::string::npos || at == 0)
		return std::string();
	std::string number = backup.substr(at + sizeof(kBackupSuffix) - 1);
	// Numbered backups start at 2, written without leading zeros.
	if (!number.empty()
			&& (!all_digits(number) || number[0] == '0' || number == "1"))
		return std::string();
	return backup.substr(0, at);
}


bool
names_backup_of(const std::string& backup, const std::string& leaf)
{
	return !leaf.empty() && leaf_of_backup(backup) == leaf;
}
