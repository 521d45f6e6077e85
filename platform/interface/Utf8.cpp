#include <interface/utf8.h>


namespace BPrivate {

int32
next_character(const char* text, int32 length, char32_t* value)
{
	const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
	unsigned char byte = bytes[0];
	int32 count;
	char32_t character;
	if (byte < 0x80) {
		*value = byte;
		return 1;
	} else if (byte >= 0xc2 && byte <= 0xdf) {
		count = 2;
		character = byte & 0x1f;
	} else if (byte >= 0xe0 && byte <= 0xef) {
		count = 3;
		character = byte & 0x0f;
	} else if (byte >= 0xf0 && byte <= 0xf4) {
		count = 4;
		character = byte & 0x07;
	} else {
		*value = U'\uFFFD';
		return 1;
	}

	bool valid = count <= length;
	for (int32 i = 1; valid && i < count; i++) {
		valid = (bytes[i] & 0xc0) == 0x80;
		if (valid)
			character = (character << 6) | (bytes[i] & 0x3f);
	}
	// Overlong forms, surrogates and values past Unicode are invalid.
	static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
	if (valid
			&& (character < kSmallest[count] || character > 0x10ffff
					|| (character >= 0xd800 && character <= 0xdfff)))
		valid = false;
	if (!valid) {
		*value = U'\uFFFD';
		return 1;
	}
	*value = character;
	return count;
}

} // namespace BPrivate
