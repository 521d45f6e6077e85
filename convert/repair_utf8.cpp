#include "convert/repair_utf8.h"

#include "charmap/styles.h"
#include "convert/utf8.h"

#include <stdlib.h>
#include <string.h>


char*
repair_utf8(const uint8_t* data, size_t length, int32_t style, size_t& repaired)
{
	mt map[kMapSize];
	map[0].Clear();
	load_set(map, style);

	// A byte of any set becomes at most three.
	size_t strays = 0;
	for (size_t i = 0; i < length;) {
		bool cut = false;
		size_t size
				= data[i] < 0x80 ? 1 : utf8_sequence_at(data, i, length, cut);
		strays += size == 0;
		i += size > 0 ? size : 1;
	}
	if (strays > (SIZE_MAX - length - 1) / 2)
		return NULL;
	char* text = (char*)malloc(length + 2 * strays + 1);
	if (text == NULL)
		return NULL;

	size_t out = 0;
	for (size_t i = 0; i < length;) {
		bool cut = false;
		size_t size
				= data[i] < 0x80 ? 1 : utf8_sequence_at(data, i, length, cut);
		if (size > 0) {
			memcpy(text + out, data + i, size);
			out += size;
			i += size;
			continue;
		}
		size_t width = strnlen(map[data[i]].str, sizeof(map[data[i]].str));
		memcpy(text + out, map[data[i]].str, width);
		out += width;
		i++;
	}
	text[out] = '\0';
	repaired = out;
	return text;
}
