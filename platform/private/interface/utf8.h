/*
 * Inside the interface kit only: what a character of UTF-8 text is, one
 * answer for every part of the kit that measures, draws or cuts text.
 */
#ifndef _INTERFACE_UTF8_H
#define _INTERFACE_UTF8_H

#include <SupportDefs.h>

namespace BPrivate {

// The character that starts text, of which length bytes (at least 1) may be
// read: its code point goes to *value and its length in bytes is returned.
// A byte that starts no valid sequence is a character of its own, U+FFFD,
// so that a name in another encoding still shows.
int32 next_character(const char* text, int32 length, char32_t* value);

} // namespace BPrivate

#endif // _INTERFACE_UTF8_H
