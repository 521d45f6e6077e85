/*
 * BMessage: a command code and named, typed fields. This layer carries the
 * fields its callers use: entry references.
 */
#ifndef _MESSAGE_H
#define _MESSAGE_H

#include <AppDefs.h>
#include <Entry.h>
#include <SupportDefs.h>
#include <TypeConstants.h>

#include <string>
#include <vector>

class BMessage {
public:
	BMessage();
	BMessage(uint32 what);
	BMessage(const BMessage& other);
	virtual ~BMessage();

	BMessage& operator=(const BMessage& other);

	// The type and number of the items stored under name.
	status_t GetInfo(
			const char* name, type_code* type, int32* count = NULL) const;
	// Fields of the given type; B_ANY_TYPE counts them all.
	int32 CountNames(type_code type) const;
	bool IsEmpty() const;
	status_t MakeEmpty();

	status_t AddRef(const char* name, const entry_ref* ref);
	// B_OK for every index below the number of refs stored under
	// name; B_BAD_INDEX beyond them, B_NAME_NOT_FOUND when there
	// are none, B_BAD_TYPE when name holds another type.
	status_t FindRef(const char* name, entry_ref* ref) const;
	status_t FindRef(const char* name, int32 index, entry_ref* ref) const;

	uint32 what;

private:
	struct Field {
		std::string name;
		type_code type;
		std::vector<entry_ref> refs;
	};

	// The index of the field named name, or -1.
	int32 _FieldIndex(const char* name) const;

	std::vector<Field> fFields;
};

#endif // _MESSAGE_H
