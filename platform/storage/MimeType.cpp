/*
 * BMimeType: the validity of a MIME type string.
 */
#include <MimeType.h>

#include <string.h>


namespace {

bool
is_type_char(char c)
{
	unsigned char byte = (unsigned char)c;
	return byte > ' ' && byte < 0x7F && strchr("()<>@,;:\\\"/[]?=", c) == NULL;
}

} // namespace


bool
BMimeType::IsValid(const char* string)
{
	if (string == NULL)
		return false;
	size_t length = strnlen(string, B_MIME_TYPE_LENGTH);
	if (length == 0 || length >= B_MIME_TYPE_LENGTH)
		return false;

	bool foundSlash = false;
	for (size_t i = 0; i < length; i++) {
		if (string[i] == '/') {
			if (foundSlash || i == 0 || i == length - 1)
				return false;
			foundSlash = true;
		} else if (!is_type_char(string[i]))
			return false;
	}
	return true;
}
