/*
 * A text that is UTF-8 but for a few bytes (a line pasted from an older
 * file, a last character cut short) stays UTF-8: its valid sequences are
 * kept as they are, and each byte that belongs to none is read in the 8-bit
 * set that reads best for such bytes.
 */
#ifndef CONVERT_REPAIR_UTF8_H
#define CONVERT_REPAIR_UTF8_H

#include <stddef.h>
#include <stdint.h>

// The length bytes of data as UTF-8, each byte from 0x80 up that belongs to
// no valid sequence given the character that the set style (TOS, PC, MAC
// or ANSI) has for it; followed by a zero byte that length does not count.
// A buffer from malloc, for the caller to free; NULL when there is no
// memory for it.
char* repair_utf8(
		const uint8_t* data, size_t length, int32_t style, size_t& repaired);

#endif // CONVERT_REPAIR_UTF8_H
