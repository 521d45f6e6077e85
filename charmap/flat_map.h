/*
 * A flat copy of a prepared character map, for the writer's byte loop. The
 * mt entries stay the source of truth; this only lays their texts out so that
 * the loop can copy them without formatting anything.
 */
#ifndef CHARMAP_FLAT_MAP_H
#define CHARMAP_FLAT_MAP_H

#include "charmap/mt.h"

#include <stddef.h>
#include <stdint.h>

const size_t kFlatTextSize = 16;

// The loops that map_bytes can take, from the byte loop that every
// processor has to the widest. All give the same output; a wider one only
// takes fewer steps.
enum map_path {
	kMapBytes, // one byte at a time
	kMapSse2,  // runs of plain bytes in blocks of 16
	kMapAvx2,  // runs of plain bytes in blocks of 64
	kMapVbmi2, // blocks of 64 through the tables (AVX-512 VBMI2)
};

const int kMapPaths = kMapVbmi2 + 1;

// Whether this processor can take the path.
bool processor_has(map_path path);

struct flat_map {
	// Output of each source byte: for NUL with nyl_mod 2 a zero byte, then
	// the entry's text.
	char text[256][kFlatTextSize];
	// Its length, [1] when an LF comes next, [0] otherwise: the two differ
	// only for a CR whose pair with the LF is one line end.
	uint8_t length[2][256];
	int32_t skip[256];

	// Every byte from 0x20 to 0x7E maps to itself and no entry skips: runs
	// of such bytes can be copied whole.
	bool printablePlain;
	// LF and TAB give themselves, so runs may hold them as well.
	bool lfPlain;
	bool tabPlain;
	// So do all bytes from 0x80 up, where no table is loaded: text that is
	// UTF-8 already goes through in runs.
	bool highPlain;

	// CR and LF give the same text, so a CR right before an LF gives
	// nothing: the pair is one line end.
	bool crLfAsOne;

	// Each text split into its bytes, for the loop that looks a whole block
	// up at once: kept when every text fits three bytes and nothing skips.
	uint8_t column[3][256];
	bool tablesFit;

	// The widest loop to take: the widest this processor has. Where the map
	// does not allow it, the next narrower one that the map allows is taken.
	map_path path;
};

void flatten_map(mt* map, int32_t nylMod, flat_map& flat);

// Whether the map takes a CR LF pair as one line end (see crLfAsOne).
bool cr_lf_as_one(mt* map);

// Room that map_bytes needs beyond what it writes, so that it can always
// store whole blocks.
const size_t kMapBytesSlack = 64;

// Turns source bytes, from position, into output through the map, as far as
// the output holds; position moves on past what was done. The result is the
// number of bytes written. The output must hold at least kMapBytesSlack.
size_t map_bytes(const flat_map& flat, const uint8_t* source, size_t length,
		size_t& position, char* output, size_t capacity);

// The same for one piece of the source: stops at end, which is at most
// length; the bytes from end on are only looked at, for a CR right before
// them. Pieces so cut give together what the whole gives, where the map
// skips nothing (printablePlain).
size_t map_piece(const flat_map& flat, const uint8_t* source, size_t end,
		size_t length, size_t& position, char* output, size_t capacity);

// The longest output of one source byte.
size_t longest_text(const flat_map& flat);

#endif // CHARMAP_FLAT_MAP_H
