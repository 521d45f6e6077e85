/*
 * Names in standard output's record. The record is the system's own, byte
 * for byte, wherever it goes; only a terminal sees a name escaped, as a
 * name may hold control sequences that retitle or clear it.
 */
#include "convert/convert.h"

#include "convert/batch.h"
#include "convert/utf8.h"

#include <stdio.h>


std::string
recorded_name(const std::string& name)
{
	if (!output_is_terminal())
		return name;
	std::string shown;
	for (size_t i = 0; i < name.size();) {
		size_t length = printable_at(name, i);
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
