/*
 * Typed attributes of files: named values with a type code, beside a file's
 * data. The calls keep the C convention: -1 (or NULL) and errno on failure.
 */
#ifndef _FS_ATTR_H
#define _FS_ATTR_H

#include <SupportDefs.h>

#include <dirent.h>

typedef struct attr_info {
	uint32 type;
	off_t size;
} attr_info;

#ifdef __cplusplus
extern "C" {
#endif

// Reads up to readBytes of the value from pos on; the type is not checked.
// Returns the number of bytes read, 0 at or beyond the end of the value.
ssize_t fs_read_attr(int fd, const char* attribute, uint32 type, off_t pos,
		void* buffer, size_t readBytes);
// Writes writeBytes at pos and gives the attribute the type. Writing at
// position 0 replaces the whole value; elsewhere the value keeps what lies
// outside the bytes written, and a gap is filled with zero bytes.
ssize_t fs_write_attr(int fd, const char* attribute, uint32 type, off_t pos,
		const void* buffer, size_t writeBytes);
int fs_remove_attr(int fd, const char* attribute);
int fs_stat_attr(int fd, const char* attribute, struct attr_info* attrInfo);

// The attribute directory lists the names of a file's attributes, as they
// were when it was opened. fs_open_attr_dir follows a symbolic link at the
// end of the path, fs_lopen_attr_dir works on the link itself.
DIR* fs_open_attr_dir(const char* path);
DIR* fs_lopen_attr_dir(const char* path);
DIR* fs_fopen_attr_dir(int fd);
int fs_close_attr_dir(DIR* dir);
// The next name in d_name, or NULL at the end. The entry stays valid until
// the next call on the same directory.
struct dirent* fs_read_attr_dir(DIR* dir);
void fs_rewind_attr_dir(DIR* dir);

#ifdef __cplusplus
}
#endif

#endif // _FS_ATTR_H
