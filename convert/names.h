/*
 * Names from old machines. A name that came along from DOS, a Macintosh or
 * Windows through an archive or a copy that passed its bytes through is no
 * UTF-8; read in its 8-bit set it is. Only such names are ever read: a name
 * that is UTF-8 stays as it is, whatever it looks like.
 */
#ifndef CONVERT_NAMES_H
#define CONVERT_NAMES_H

#include <stdint.h>

#include <string>
#include <vector>

// True when name is valid UTF-8: no byte outside a sequence, no sequence
// cut short, overlong, a surrogate or beyond U+10FFFF. Control characters
// are characters of UTF-8 too.
bool name_is_utf8(const std::string& name);

// name read in the 8-bit set style (TOS, PC, MAC or ANSI): every byte that
// the set's table names becomes its character in UTF-8, the rest (ASCII,
// control characters among them) stays as it is. Empty when the set has no
// character for a byte of it (the five unassigned bytes of Windows ANSI,
// which it reads as control characters of their own) or when the name
// would hold a '/'.
std::string name_in_set(const std::string& name, int32_t style);

// The different names that name reads as in the four sets, the sets' order
// kept; none for a name that is UTF-8.
std::vector<std::string> readings_of(const std::string& name);

// True when name is what the name original reads as in one of the sets, or
// original itself.
bool reads_as(const std::string& original, const std::string& name);

// What a name that is no UTF-8 becomes.
struct name_plan {
	std::string name;     // in UTF-8; empty when the name stays
	int32_t style = 0;    // the set it is read in
	int32_t sameText = 0; // another set that reads it the same
	std::string reason;   // why a name that is no UTF-8 stays, in the
						  // person's words and language
};

// For a name that is no UTF-8, its name in UTF-8 read in style (an 8-bit
// set: the set of the text it names, or the one the person chose); for
// style 0, in the set that the name alone reads in, judged by the umlaut
// codes and the second opinion, and only where one set reads it better
// than any that gives another name. Nothing for a name that is UTF-8.
name_plan plan_name(const std::string& name, int32_t style);

// What the conversion of the file name, whose text is converted from
// textStyle (ostyle, as the writer takes it), makes of its name: read in
// that set where it is an 8-bit one, else in the set chosen by the images
// of a chosen set, else in the set the name alone reads in; nothing in a
// build that converts line ends only. What a check says it would do.
name_plan plan_file_name(const std::string& name, int32_t textStyle);

// How well name reads in style as a name of words: true when nothing
// speaks against it (a capital inside a word, a sign or a Greek letter
// among letters).
bool reads_well(const std::string& name, int32_t style);

#endif // CONVERT_NAMES_H
