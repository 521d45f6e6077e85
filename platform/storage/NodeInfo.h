/*
 * BNodeInfo: what a node says about itself; here its MIME type, kept in the
 * attribute "BEOS:TYPE".
 */
#ifndef _NODE_INFO_H
#define _NODE_INFO_H

#include <Mime.h>
#include <Node.h>
#include <SupportDefs.h>

class BNodeInfo {
public:
	BNodeInfo();
	// The node stays the caller's and must outlive this object.
	BNodeInfo(BNode* node);
	~BNodeInfo();

	status_t SetTo(BNode* node);
	status_t InitCheck() const;

	// type holds B_MIME_TYPE_LENGTH bytes. B_ENTRY_NOT_FOUND when the node
	// has no type.
	status_t GetType(char* type) const;
	// The type is stored as given, valid or not; NULL removes it.
	status_t SetType(const char* type);

private:
	BNode* fNode;
	status_t fCStatus;
};

#endif // _NODE_INFO_H
