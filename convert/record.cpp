/*
 * Names in standard output's record. The record is the system's own, byte
 * for byte, wherever it goes; only a terminal sees a name escaped, as a
 * name may hold control sequences that retitle or clear it.
 */
#include "convert/convert.h"

#include "convert/batch.h"

#include <stdio.h>


namespace {

// The length of the UTF-8 character at name[i] that a terminal may be
// shown as it is, or 0: controls, C1 controls, overlong forms, surrogates,
// beyond U+10FFFF and bytes that are no UTF-8 are not.
size_t
printable_length(const std::string& name, size_t i)
{
	unsigned char first = (unsigned char)name[i];
	if (first >= 0x20 && first < 0x7F)
		return 1;
	if (first < 0xC2 || first > 0xF4)
		return 0;
	size_t length = first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
	if (i + length > name.size())
		return 0;
	for (size_t k = 1; k < length; k++) {
		if (((unsigned char)name[i + k] & 0xC0) != 0x80)
			return 0;
	}
	unsigned char second = (unsigned char)name[i + 1];
	if ((first == 0xC2 && second < 0xA0) || (first == 0xE0 && second < 0xA0)
			|| (first == 0xED && second > 0x9F)
			|| (first == 0xF0 && second < 0x90)
			|| (first == 0xF4 && second > 0x8F))
		return 0;
	return length;
}

} // namespace


std::string
recorded_name(const std::string& name)
{
	if (!output_is_terminal())
		return name;
	std::string shown;
	for (size_t i = 0; i < name.size();) {
		size_t length = printable_length(name, i);
		if (name[i] == '\\') {
			shown += "\\\\";
			i++;
		} else if (length == 0) {
			char escape[8];
			snprintf(escape, sizeof(escape), "\\x%02X", (unsigned char)name[i]);
			shown += escape;
			i++;
		} else {
			shown.append(name, i, length);
			i += length;
		}
	}
	return shown;
}
