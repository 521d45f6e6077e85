/*
 * The codes by which a file's character set and line ends are told, and the
 * choice of the table that the map loads for a character set.
 */
#ifndef CHARMAP_STYLES_H
#define CHARMAP_STYLES_H

#include "charmap/mt.h"

#include <stdint.h>

// Source character set of a file, as detection finds it (ostyle).
enum {
	kStyleNone = 0,
	kStyleBe = 1, // already UTF-8
	kStyleTos = 2,
	kStylePc = 3,
	kStyleMac = 4,
	kStyleAnsi = 5,
	kStyleLatex = 6
};

// Line ends seen in a file (fstyle): flags, so both together are 3.
enum { kLineEndLf = 0x01, kLineEndCr = 0x02 };

// Loads the table of the character set style into the map, on entry 0 after
// Clear and SetNewline. Be and no set found load none, and no style does
// while pop_ind says no table.
void load_table(mt* map, int32_t style);

// The table of style, whatever pop_ind says.
void load_set(mt* map, int32_t style);

#endif // CHARMAP_STYLES_H
