#include "convert/stamp.h"

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

#include <memory>
#include <new>

const char kStampName[] = "user.textwend.converted";


namespace {

const char kBackupSuffix[] = "-BAK";

// A stamp is small; more is no stamp of ours.
const size_t kMaxStampSize = 4096;

const size_t kReadSize = 256 * 1024;


const uint64_t kPrime = 0x9E3779B97F4A7C15ull;


uint64_t
word_at(const uint8_t* data)
{
	uint64_t word;
	memcpy(&word, data, sizeof(word));
	return le64toh(word);
}


// One lane's next state: the word, multiplied, goes into the lane's state
// turned by some bits, so that the same words in another order give another
// state, and one word changed always changes it.
uint64_t
next_lane(uint64_t lane, const uint8_t* word)
{
	return (lane << 29 | lane >> 35) + word_at(word) * kPrime;
}


// Spreads every bit of value over the whole word.
uint64_t
avalanche(uint64_t value)
{
	value ^= value >> 33;
	value *= 0xFF51AFD7ED558CCDull;
	value ^= value >> 33;
	value *= 0xC4CEB9FE1A85EC53ull;
	return value ^ value >> 33;
}


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


void
text_checksum::AddBlocks(const uint8_t* data, size_t blocks)
{
	static_assert(kLanes == 8, "one line per lane below");
	// Spelled out in locals, so that the lanes stay in registers.
	uint64_t a = fLane[0], b = fLane[1], c = fLane[2], d = fLane[3];
	uint64_t e = fLane[4], f = fLane[5], g = fLane[6], h = fLane[7];
	for (; blocks > 0; blocks--, data += kBlockSize) {
		a = next_lane(a, data);
		b = next_lane(b, data + 8);
		c = next_lane(c, data + 16);
		d = next_lane(d, data + 24);
		e = next_lane(e, data + 32);
		f = next_lane(f, data + 40);
		g = next_lane(g, data + 48);
		h = next_lane(h, data + 56);
	}
	const uint64_t lanes[kLanes] = {a, b, c, d, e, f, g, h};
	memcpy(fLane, lanes, sizeof(lanes));
}


void
text_checksum::Add(const void* data, size_t size)
{
	const uint8_t* bytes = (const uint8_t*)data;
	size_t pending = fSize % kBlockSize;
	fSize += size;
	if (pending > 0) {
		size_t fill = kBlockSize - pending < size ? kBlockSize - pending : size;
		memcpy(fPending + pending, bytes, fill);
		bytes += fill;
		size -= fill;
		if (pending + fill < kBlockSize)
			return;
		AddBlocks(fPending, 1);
	}
	AddBlocks(bytes, size / kBlockSize);
	memcpy(fPending, bytes + size / kBlockSize * kBlockSize, size % kBlockSize);
}


uint64_t
text_checksum::Result() const
{
	text_checksum last = *this;
	size_t pending = fSize % kBlockSize;
	if (pending > 0) {
		// Padded out with zeros; the size, mixed in below, tells the two
		// apart.
		memset(last.fPending + pending, 0, kBlockSize - pending);
		last.AddBlocks(last.fPending, 1);
	}
	uint64_t result = avalanche(fSize * kPrime);
	for (size_t i = 0; i < kLanes; i++)
		result = avalanche(result ^ avalanche(last.fLane[i]));
	return result;
}


int
checksum_file(int fd, uint64_t& size, uint64_t& checksum)
{
	std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadSize]);
	if (buffer == NULL)
		return ENOMEM;
	text_checksum sum;
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
	// The new file already has the original's permissions, and the host
	// asks for write permission on a file to set its attributes.
	struct stat st;
	if ((errno != EACCES && errno != EPERM) || fstat(fd, &st) != 0
			|| (st.st_mode & S_IWUSR) != 0)
		return errno;
	if (fchmod(fd, (st.st_mode & 07777) | S_IWUSR) != 0)
		return errno;
	int error = fsetxattr(fd, kStampName, text.data(), text.size(), 0) == 0
			? 0
			: errno;
	fchmod(fd, st.st_mode & 07777);
	return error;
}


void
stamp_conversion(int fd, const conversion_stamp& stamp, const char* file)
{
	int error = write_stamp(fd, stamp);
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
