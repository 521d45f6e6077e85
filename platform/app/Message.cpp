/*
 * BMessage and its fields.
 */
#include <Message.h>

#include <string.h>

#include <new>


BMessage::BMessage()
	: what(0)
{
}


BMessage::BMessage(uint32 command)
	: what(command)
{
}


BMessage::BMessage(const BMessage& other) = default;


BMessage::~BMessage()
{
}


BMessage& BMessage::operator=(const BMessage& other) = default;


status_t
BMessage::GetInfo(const char* name, type_code* type, int32* count) const
{
	if (name == NULL)
		return B_BAD_VALUE;

	int32 index = _FieldIndex(name);
	if (index < 0)
		return B_NAME_NOT_FOUND;

	const Field& field = fFields[index];
	if (type != NULL)
		*type = field.type;
	if (count != NULL)
		*count = static_cast<int32>(field.refs.size());
	return B_OK;
}


int32
BMessage::CountNames(type_code type) const
{
	if (type == B_ANY_TYPE)
		return static_cast<int32>(fFields.size());

	int32 count = 0;
	for (const Field& field : fFields) {
		if (field.type == type)
			count++;
	}
	return count;
}


bool
BMessage::IsEmpty() const
{
	return fFields.empty();
}


status_t
BMessage::MakeEmpty()
{
	fFields.clear();
	return B_OK;
}


status_t
BMessage::AddRef(const char* name, const entry_ref* ref)
{
	if (name == NULL || ref == NULL)
		return B_BAD_VALUE;

	entry_ref copy(*ref);
	if (ref->name != NULL && copy.name == NULL)
		return B_NO_MEMORY;

	try {
		int32 index = _FieldIndex(name);
		if (index < 0) {
			fFields.push_back(Field {name, B_REF_TYPE, {}});
			index = static_cast<int32>(fFields.size()) - 1;
		} else if (fFields[index].type != B_REF_TYPE)
			return B_BAD_TYPE;
		fFields[index].refs.push_back(copy);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	return B_OK;
}


status_t
BMessage::FindRef(const char* name, entry_ref* ref) const
{
	return FindRef(name, 0, ref);
}


status_t
BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
	if (name == NULL || ref == NULL)
		return B_BAD_VALUE;

	int32 fieldIndex = _FieldIndex(name);
	if (fieldIndex < 0)
		return B_NAME_NOT_FOUND;
	const Field& field = fFields[fieldIndex];
	if (field.type != B_REF_TYPE)
		return B_BAD_TYPE;
	if (index < 0 || static_cast<size_t>(index) >= field.refs.size())
		return B_BAD_INDEX;

	const entry_ref& stored = field.refs[index];
	*ref = stored;
	if (stored.name != NULL && ref->name == NULL)
		return B_NO_MEMORY;
	return B_OK;
}


int32
BMessage::_FieldIndex(const char* name) const
{
	for (size_t index = 0; index < fFields.size(); index++) {
		if (strcmp(fFields[index].name.c_str(), name) == 0)
			return static_cast<int32>(index);
	}
	return -1;
}
