/*
 * BNode: a file, folder or other node of the file system, opened for its
 * attributes rather than its data.
 */
#ifndef _NODE_H
#define _NODE_H

#include <fs_attr.h>
#include <StorageDefs.h>
#include <SupportDefs.h>

struct entry_ref;

class BNode {
public:
	BNode();
	BNode(const char* path);
	BNode(const entry_ref* ref);
	virtual ~BNode();

	status_t InitCheck() const;

	// A symbolic link is followed to the node it leads to.
	status_t SetTo(const char* path);
	status_t SetTo(const entry_ref* ref);
	virtual void Unset();

	// Read and write return the number of bytes, or a negative status.
	ssize_t ReadAttr(const char* name, type_code type, off_t offset,
			void* buffer, size_t length) const;
	ssize_t WriteAttr(const char* name, type_code type, off_t offset,
			const void* buffer, size_t length);
	status_t RemoveAttr(const char* name);
	status_t GetAttrInfo(const char* name, attr_info* info) const;

	BNode(const BNode&) = delete;
	BNode& operator=(const BNode&) = delete;

protected:
	// Takes over fd; a negative fd records the host's error instead.
	status_t _SetDescriptor(int fd);

	int fFd;
	status_t fCStatus;
};

#endif // _NODE_H
