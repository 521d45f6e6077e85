/*
 * BNodeInfo: a node's MIME type, the string in its attribute "BEOS:TYPE"
 * of type B_MIME_STRING_TYPE, terminating NUL included.
 */
#include <NodeInfo.h>

#include <TypeConstants.h>

#include <string.h>


namespace {

const char kTypeAttribute[] = "BEOS:TYPE";

} // namespace


BNodeInfo::BNodeInfo()
	: fNode(NULL)
	, fCStatus(B_NO_INIT)
{
}


BNodeInfo::BNodeInfo(BNode* node)
	: fNode(NULL)
	, fCStatus(B_NO_INIT)
{
	SetTo(node);
}


BNodeInfo::~BNodeInfo()
{
}


status_t
BNodeInfo::SetTo(BNode* node)
{
	fNode = NULL;
	if (node == NULL || node->InitCheck() != B_OK)
		return fCStatus = B_BAD_VALUE;
	fNode = node;
	return fCStatus = B_OK;
}


status_t
BNodeInfo::InitCheck() const
{
	return fCStatus;
}


status_t
BNodeInfo::GetType(char* type) const
{
	if (fCStatus != B_OK)
		return B_NO_INIT;
	if (type == NULL)
		return B_BAD_VALUE;

	attr_info info;
	status_t status = fNode->GetAttrInfo(kTypeAttribute, &info);
	if (status != B_OK)
		return status;
	if (info.type != B_MIME_STRING_TYPE)
		return B_BAD_TYPE;
	if (info.size > B_MIME_TYPE_LENGTH)
		return B_BAD_DATA;

	// The value need not end with a NUL, and may have changed since it was
	// measured: only what was read counts, and the caller's buffer is
	// written only with a type that fits.
	char value[B_MIME_TYPE_LENGTH];
	ssize_t bytesRead = fNode->ReadAttr(
			kTypeAttribute, B_MIME_STRING_TYPE, 0, value, info.size);
	if (bytesRead < 0)
		return bytesRead;
	size_t length = strnlen(value, bytesRead);
	if (length >= B_MIME_TYPE_LENGTH)
		return B_BAD_DATA;
	memcpy(type, value, length);
	type[length] = '\0';
	return B_OK;
}


status_t
BNodeInfo::SetType(const char* type)
{
	if (fCStatus != B_OK)
		return B_NO_INIT;

	if (type == NULL) {
		status_t status = fNode->RemoveAttr(kTypeAttribute);
		return status == B_ENTRY_NOT_FOUND ? B_OK : status;
	}

	size_t length = strlen(type);
	if (length >= B_MIME_TYPE_LENGTH)
		return B_BAD_VALUE;
	ssize_t written = fNode->WriteAttr(
			kTypeAttribute, B_MIME_STRING_TYPE, 0, type, length + 1);
	return written < 0 ? (status_t)written : B_OK;
}
