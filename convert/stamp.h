/*
 * The stamp of a conversion: one extended attribute on the converted file
 * that says which backup holds its original and what both texts were
 * (their sizes and checksums), so that the conversion can be undone while
 * the file is as it was written and the backup is that original, and only
 * then.
 */
#ifndef CONVERT_STAMP_H
#define CONVERT_STAMP_H

#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>

#include <string>

extern const char kStampName[]; // "user.textwend.converted"

// What a backup's name ends with: name-BAK, then name-BAK2, name-BAK3...
extern const char kBackupSuffix[]; // "-BAK"

struct conversion_stamp {
	// The backup is the converted file's name followed by -BAK for 1,
	// -BAK2 for 2, ... (backup_name).
	int backup = 1;
	uint64_t size = 0; // the converted text
	uint64_t checksum = 0;
	uint64_t originalSize = 0; // the text of the original, as it was read
	uint64_t originalChecksum = 0;
	// The name the original had where it was no UTF-8 and the converted
	// text took the name in UTF-8; the backup's name then adds to this one.
	// Empty when the name stays.
	std::string originalName;
};

// The stamp's text: "2 SIZE CHECKSUM ORIGINAL-SIZE ORIGINAL-CHECKSUM
// SUFFIX", the checksums in 16 hex digits, SUFFIX what the backup's name
// adds to the converted file's ("-BAK", "-BAK2"); for a conversion that
// gave the file its name in UTF-8, followed by a space and the original's
// name, its bytes as they were, to the end ("... -BAK Br\x81cke.txt"), and
// the backup's name adds to that one. For a letter it is short enough that
// the file system keeps it in the file's own record, which costs no block
// of its own.
std::string format_stamp(const conversion_stamp& stamp);

// read_stamp's answer for a stamp of the earlier kind ("1 SIZE CHECKSUM
// BACKUP"), which said nothing of the original and had a weak checksum:
// never trusted.
const int kEarlierStamp = -2;

// 0; kEarlierStamp; or EINVAL when text is no stamp of ours.
int parse_stamp(const std::string& text, conversion_stamp& stamp);

// The 64-bit XXH3 checksum of a text fed in pieces of any size, the same
// however it is cut and on every host.
class text_checksum {
public:
	text_checksum();
	~text_checksum();
	text_checksum(const text_checksum&) = delete;
	text_checksum& operator=(const text_checksum&) = delete;

	// False when no memory could be had for its state: nothing is summed.
	bool
	Ready() const
	{
		return fState != NULL;
	}

	void Add(const void* data, size_t size);

	uint64_t
	Size() const
	{
		return fSize;
	}

	// The checksum of everything added so far.
	uint64_t Result() const;

private:
	struct XXH3_state_s* fState;
	uint64_t fSize = 0;
};

// The size and checksum of everything in the open file fd, read from its
// start; the host's error, or 0.
int checksum_file(int fd, uint64_t& size, uint64_t& checksum);

// Stamps the new file fd with stamp: 0, or the host's error (ENOTSUP where
// the file system keeps no attributes).
int write_stamp(int fd, const conversion_stamp& stamp);

// Reads the stamp of the open file fd: 0, ENODATA when it has none, EINVAL
// when what it has is no stamp of ours, kEarlierStamp, or the host's error.
int read_stamp(int fd, conversion_stamp& stamp);

// The n-th candidate for a backup name of leaf: leaf-BAK, leaf-BAK2, ...
std::string backup_name(const std::string& leaf, int n);

// Backups are looked at up to this number, while they follow each other.
const int kMaxBackups = 1000;

// The name of the backup that stamp names, for the converted file leaf: of
// the original's name where the conversion gave the file another one.
std::string stamped_backup(
		const std::string& leaf, const conversion_stamp& stamp);

// n for a suffix "-BAK" (1) or "-BAKn" (n from 2 on); 0 for anything else.
int backup_number(const std::string& suffix);

// The leaf whose backup name is backup ("a" for "a-BAK3"), or empty.
std::string leaf_of_backup(const std::string& backup);

// True when the file under name in folder is what an earlier Textwend left
// when it was interrupted between its two steps: a converted text under its
// backup's name, its stamp (of the earlier kind) naming that very name.
bool is_leftover(int folder, const std::string& name);

#endif // CONVERT_STAMP_H
