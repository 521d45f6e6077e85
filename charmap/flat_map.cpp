/*
 * The writer's byte loop over a flat map. Most German text is plain ASCII, so
 * runs of bytes that map to themselves are moved sixteen at a time; every
 * other byte costs one lookup and one fixed-size copy.
 */
#include "charmap/flat_map.h"

#include "charmap/options.h"

#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif


void
flatten_map(mt* map, int32_t nylMod, flat_map& flat)
{
	bool anySkip = false;
	bool printablePlain = true;
	for (int c = 0; c < 256; c++) {
		char* text = flat.text[c];
		memset(text, 0, kFlatTextSize);
		size_t length = 0;
		if (c == 0 && nylMod == kNylModKeep)
			length = 1; // the zero byte itself; a text cannot hold it
		size_t textLength = strnlen(map[c].str, sizeof(map[c].str));
		memcpy(text + length, map[c].str, textLength);
		length += textLength;
		flat.length[c] = (uint8_t)length;
		// A negative count would hold the loop in place for ever.
		int skip = map[c].getb();
		flat.skip[c] = skip > 0 ? skip : 0;

		if (flat.skip[c] != 0)
			anySkip = true;
		if (c >= 0x20 && c < 0x7F && (length != 1 || text[0] != (char)c))
			printablePlain = false;
	}
	flat.printablePlain = printablePlain && !anySkip;
	flat.crLfAsOne = cr_lf_as_one(map);
}


bool
cr_lf_as_one(mt* map)
{
	return map['\r'].str[0] != '\0' && map['\r'].getb() == 0
			&& strncmp(map['\r'].str, map['\n'].str, sizeof(map[0].str)) == 0;
}


namespace {

// Whether the byte c, with next after it, gives its text.
inline bool
gives_text(const flat_map& flat, uint8_t c, uint8_t next)
{
	return c != '\r' || next != '\n' || !flat.crLfAsOne;
}


// One byte the way the map says, skip count included.
inline void
map_one(const flat_map& flat, const uint8_t* source, size_t length, size_t& i,
		char*& out)
{
	uint8_t c = source[i];
	uint8_t next = i + 1 < length ? source[i + 1] : 0;
	memcpy(out, flat.text[c], kFlatTextSize);
	if (gives_text(flat, c, next))
		out += flat.length[c];
	i += (size_t)flat.skip[c] + 1;
}


// Bits for the bytes of 16 that are not 0x20 to 0x7E.
inline unsigned
special_bytes(const uint8_t* block)
{
#ifdef __SSE2__
	__m128i bytes = _mm_loadu_si128((const __m128i*)block);
	// Signed: 0x80 to 0xFF are negative, so below 0x20 as well.
	__m128i low = _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20));
	__m128i del = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F));
	return (unsigned)_mm_movemask_epi8(_mm_or_si128(low, del));
#else
	unsigned mask = 0;
	for (unsigned n = 0; n < 16; n++) {
		if (block[n] < 0x20 || block[n] >= 0x7F)
			mask |= 1u << n;
	}
	return mask;
#endif
}


// One block of 16 bytes when no entry skips: the runs between its special
// bytes are copied as they are, each special byte gets its text. Reads up to
// 16 bytes beyond the block and writes up to 16 beyond what it produces.
inline char*
map_block(const flat_map& flat, const uint8_t* block, char* out)
{
	unsigned mask = special_bytes(block);
	unsigned done = 0;
	while (mask != 0) {
		unsigned special = (unsigned)__builtin_ctz(mask);
		mask &= mask - 1;
		memcpy(out, block + done, 16);
		out += special - done;
		uint8_t c = block[special];
		memcpy(out, flat.text[c], kFlatTextSize);
		if (gives_text(flat, c, block[special + 1]))
			out += flat.length[c];
		done = special + 1;
	}
	memcpy(out, block + done, 16);
	return out + 16 - done;
}

} // namespace


size_t
map_bytes(const flat_map& flat, const uint8_t* source, size_t length,
		size_t& position, char* output, size_t capacity)
{
	if (capacity < kMapBytesSlack)
		return 0;

	char* out = output;
	char* end = output + capacity - kMapBytesSlack;
	size_t i = position;

	if (flat.printablePlain) {
		// A block turns into 16 texts at the most, and stores 16 bytes more.
		const size_t blockRoom = 16 * kFlatTextSize + 16;
		while (i + 32 <= length
				&& (size_t)(out - output) + blockRoom <= capacity) {
			out = map_block(flat, source + i, out);
			i += 16;
		}
	}
	while (i < length && out <= end)
		map_one(flat, source, length, i, out);

	// A skip count may carry the position past the end.
	position = i < length ? i : length;
	return (size_t)(out - output);
}
