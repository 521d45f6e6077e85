/*
 * The map-wide operations for the bytes that carry layout (NUL, TAB, the line
 * ends) and the two dump modes.
 */
#include "charmap/mt.h"

#include "charmap/options.h"
#include "charmap/styles.h"

#include <string.h>


void
mt::SetTab(unsigned long width)
{
	static char spaces[] = "        ";

	switch (width) {
	case 1:
	case 2:
	case 4:
	case 8:
		this[9].setStr(spaces + sizeof(spaces) - 1 - width);
		break;
	default:
		this[9].ud(9);
		break;
	}
}


void
mt::SetNyl(unsigned long mode)
{
	static char space[] = " ";

	if (mode == kNylModSpace)
		this[0].setStr(space);
	else
		this[0].ud(0);
}


// Only CR seen: a Mac text, whose CRs are its line ends. Both seen: each of
// them ends a line, and the writer takes a CR LF pair as one line end, since
// the two give the same text. Otherwise LF ends a line and every CR goes.
void
mt::SetNewline(int style)
{
	if (style == kLineEndCr) {
		this[10].ud(0);
		this[13].ud(10);
	} else if (style == (kLineEndLf | kLineEndCr)) {
		this[10].ud(10);
		this[13].ud(10);
	} else {
		this[10].ud(10);
		this[13].ud(0);
	}
}


namespace {

void
dump(mt* map, bool hexadecimal, const char* suffix)
{
	for (int k = 0; k < kMapSize; k++) {
		if (k >= 32 && k < 128)
			map[k].ud(k);
		else if (hexadecimal)
			map[k].set2hex(k);
		else
			map[k].set2dez(k);
	}
	map[10].ud(10);
	map[13].ud(13);
	strcpy(map[0].ext, suffix);
}

} // namespace


void
mt::SetHexa()
{
	dump(this, true, "h");
}


void
mt::SetDezimal()
{
	dump(this, false, "d");
}
