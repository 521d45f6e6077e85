/*
 * BFile: a file's data, opened from a path with one of the open modes of
 * StorageDefs.h. Destroying the object closes the file.
 */
#ifndef _FILE_H
#define _FILE_H

#include <Node.h>
#include <StorageDefs.h>
#include <SupportDefs.h>

#include <unistd.h>

class BFile : public BNode {
public:
	BFile();
	BFile(const char* path, uint32 openMode);
	BFile(const entry_ref* ref, uint32 openMode);
	virtual ~BFile();

	// A folder is not a file: B_IS_A_DIRECTORY.
	status_t SetTo(const char* path, uint32 openMode);
	status_t SetTo(const entry_ref* ref, uint32 openMode);
	virtual void Unset();

	// The number of bytes transferred, or a negative status. For a regular
	// file, Read stops short only at the end of the file.
	ssize_t Read(void* buffer, size_t size);
	ssize_t ReadAt(off_t location, void* buffer, size_t size);
	ssize_t Write(const void* buffer, size_t size);
	ssize_t WriteAt(off_t location, const void* buffer, size_t size);

	// seekMode is SEEK_SET, SEEK_CUR or SEEK_END; the new position, or a
	// negative status.
	off_t Seek(off_t offset, uint32 seekMode);
	off_t Position() const;
	status_t GetSize(off_t* size) const;

private:
	bool fRegular;
};

#endif // _FILE_H
