/*
 * The stamp of a conversion: one extended attribute on the converted file
 * that names the backup of its original and says what the converted text
 * was (its size and a checksum of its bytes), so that the conversion can be
 * undone while the file is as it was written, and only then.
 */
#ifndef CONVERT_STAMP_H
#define CONVERT_STAMP_H

#include <stddef.h>
#include <stdint.h>

#include <string>

extern const char kStampName[]; // "user.textwend.converted"

struct conversion_stamp {
	std::string backup; // the backup's leaf name, in the same folder
	uint64_t size = 0;
	uint64_t checksum = 0;
};

// The stamp's text: "1 SIZE CHECKSUM BACKUP", the checksum in 16 hex
// digits; the backup's name last, as any byte but '/' may be in it.
std::string format_stamp(const conversion_stamp& stamp);

// False when text is no stamp of ours.
bool parse_stamp(const std::string& text, conversion_stamp& stamp);

// The checksum of a text fed in pieces of any size, the same however it is
// cut and on every host. Eight lanes take the words in turn, and in each the
// multiplication stays off the chain from one word to the next, so that the
// checksum keeps pace with the writer that feeds it.
class text_checksum {
public:
	void Add(const void* data, size_t size);

	uint64_t
	Size() const
	{
		return fSize;
	}

	// The checksum of everything added so far.
	uint64_t Result() const;

private:
	static const size_t kLanes = 8;
	static const size_t kBlockSize = kLanes * sizeof(uint64_t);

	void AddBlocks(const uint8_t* data, size_t blocks);

	uint64_t fLane[kLanes] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull,
			0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull, 0x452821E638D01377ull,
			0xBE5466CF34E90C6Cull, 0xC0AC29B7C97C50DDull,
			0x3F84D5B5B5470917ull};
	uint64_t fSize = 0;
	uint8_t fPending[kBlockSize] = {}; // the start of a block not yet whole
};

// The size and checksum of everything in the open file fd, read from its
// start; the host's error, or 0.
int checksum_file(int fd, uint64_t& size, uint64_t& checksum);

// Stamps the new file fd, just written, with stamp: 0, or the host's error.
int write_stamp(int fd, const conversion_stamp& stamp);

// write_stamp, and a line on standard error naming file when the stamp
// cannot be written where the host keeps attributes: the conversion still
// counts, it only cannot be undone.
void stamp_conversion(int fd, const conversion_stamp& stamp, const char* file);

// Reads the stamp of the open file fd: 0, ENODATA when it has none, EINVAL
// when what it has is no stamp of ours, or the host's error.
int read_stamp(int fd, conversion_stamp& stamp);

// True when backup may be the backup of leaf: leaf-BAK, leaf-BAK2, ...
bool names_backup_of(const std::string& backup, const std::string& leaf);

// The leaf whose backup name is backup ("a" for "a-BAK3"), or empty.
std::string leaf_of_backup(const std::string& backup);

#endif // CONVERT_STAMP_H
