// Maps prepared as the writer prepares them, and their output computed two
// ways: entry by entry through mt, and through the flat byte loop.
#ifndef TESTS_CHARMAP_MAP_HELPERS_H
#define TESTS_CHARMAP_MAP_HELPERS_H

#include "charmap/flat_map.h"
#include "charmap/mt.h"
#include "charmap/options.h"
#include "charmap/styles.h"
#include "support/options.h"
#include "support/paths.h"

#include <iconv.h>
#include <string.h>

#include <string>
#include <vector>

using test::OptionScope;

enum class Table {
	none = kStyleNone,
	tos = kStyleTos,
	pc = kStylePc,
	mac = kStyleMac,
	ansi = kStyleAnsi,
	latex = kStyleLatex
};

// A map as the writer prepares it for a file of the given line ends and
// character set.
struct Map {
	mt entries[kMapSize];

	explicit Map(int lineEnds = kLineEndLf, Table table = Table::none)
	{
		entries[0].Clear();
		entries[0].SetNewline(lineEnds);
		load_table(entries, (int32_t)table);
	}

	std::string
	text(int byte) const
	{
		return entries[byte].str;
	}
};

// The writer's loop, step by step, on the entries themselves. Where CR and
// LF give the same line end, a CR LF pair gives it once.
inline std::string
reference_output(mt* map, const std::string& source)
{
	bool pairIsOne = map['\r'].str[0] != '\0' && map['\r'].getb() == 0
			&& strcmp(map['\r'].str, map['\n'].str) == 0;
	std::string out;
	size_t i = 0;
	while (i < source.size()) {
		unsigned char d = (unsigned char)source[i];
		int s = map[d].getb();
		if (d == 0 && nyl_mod == 2)
			out.push_back('\0');
		if (!(pairIsOne && d == '\r' && i + 1 < source.size()
					&& source[i + 1] == '\n'))
			out += map[d].str;
		i += 1 + (size_t)s;
	}
	return out;
}

// The loops of the flat form that this processor has, the byte loop first.
inline std::vector<map_path>
map_paths()
{
	return test::processor_paths<map_path>(kMapPaths);
}

// The same through the flat form, with an output buffer of the given size so
// that chunk boundaries are crossed, by the given loop (the widest this
// processor has unless told).
inline std::string
flat_output(mt* map, const std::string& source, size_t capacity = 1 << 16,
		map_path path = kMapVbmi2)
{
	flat_map flat;
	flatten_map(map, nyl_mod, flat);
	if (path < flat.path)
		flat.path = path;
	std::vector<char> buffer(capacity);
	std::string out;
	size_t position = 0;
	const uint8_t* bytes = (const uint8_t*)source.data();
	while (position < source.size()) {
		size_t written = map_bytes(flat, bytes, source.size(), position,
				buffer.data(), buffer.size());
		out.append(buffer.data(), written);
	}
	return out;
}

// Whether glibc's decoder takes text as UTF-8 whole: no stray, overlong or
// cut-off sequence, no surrogate, nothing beyond U+10FFFF.
inline bool
is_utf8(const std::string& text)
{
	iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
	if (cd == (iconv_t)-1)
		return false;
	std::string copy = text;
	std::vector<char> out(4 * text.size() + 4);
	char* in = copy.data();
	char* to = out.data();
	size_t inLeft = copy.size();
	size_t outLeft = out.size();
	bool valid = iconv(cd, &in, &inLeft, &to, &outLeft) != (size_t)-1
			&& inLeft == 0;
	iconv_close(cd);
	return valid;
}

inline std::string
bytes(std::initializer_list<int> values)
{
	std::string result;
	for (int value : values)
		result.push_back((char)value);
	return result;
}

#endif // TESTS_CHARMAP_MAP_HELPERS_H
