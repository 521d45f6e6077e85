/*
 * What is UTF-8, byte by byte: for the loops that tell UTF-8 from an 8-bit
 * set, and for names, which are shown as they are only where they are.
 */
#ifndef CONVERT_UTF8_H
#define CONVERT_UTF8_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// What a byte opens as the first of a UTF-8 sequence: how many
// continuation bytes follow, and the range of the first of them, which
// keeps out overlong forms, surrogates and code points beyond U+10FFFF.

struct Lead {
	uint8_t need; // 0: the byte cannot start a sequence
	uint8_t low;
	uint8_t high;
};

constexpr Lead
lead_of(int c)
{
	if (c >= 0xC2 && c <= 0xDF)
		return {1, 0x80, 0xBF};
	if (c == 0xE0)
		return {2, 0xA0, 0xBF};
	if (c == 0xED)
		return {2, 0x80, 0x9F};
	if (c >= 0xE1 && c <= 0xEF)
		return {2, 0x80, 0xBF};
	if (c == 0xF0)
		return {3, 0x90, 0xBF};
	if (c >= 0xF1 && c <= 0xF3)
		return {3, 0x80, 0xBF};
	if (c == 0xF4)
		return {3, 0x80, 0x8F};
	return {0, 0, 0};
}

// The same for every byte, looked up: the loops ask it per byte.
struct Leads {
	Lead lead[256];
};

constexpr Leads
make_leads()
{
	Leads leads {};
	for (int c = 0; c < 256; c++)
		leads.lead[c] = lead_of(c);
	return leads;
}

inline constexpr Leads kLeads = make_leads();


// The length of the valid UTF-8 sequence at data[at], of a text length
// bytes long; 0 when the byte there starts none (an ASCII byte among them),
// and then cut says whether the text ends inside one that was valid so far.
inline size_t
utf8_sequence_at(const uint8_t* data, size_t at, size_t length, bool& cut)
{
	const Lead& lead = kLeads.lead[data[at]];
	if (lead.need == 0)
		return 0;
	for (size_t k = 1; k <= lead.need; k++) {
		if (at + k >= length) {
			cut = true;
			return 0;
		}
		uint8_t c = data[at + k];
		if (c < (k == 1 ? lead.low : 0x80) || c > (k == 1 ? lead.high : 0xBF))
			return 0;
	}
	return (size_t)lead.need + 1;
}

// The code point of a valid sequence of size bytes.
inline uint32_t
utf8_code_point(const uint8_t* sequence, size_t size)
{
	static const uint8_t kLeadBits[] = {0x7F, 0x1F, 0x0F, 0x07};
	uint32_t codePoint = sequence[0] & kLeadBits[size - 1];
	for (size_t k = 1; k < size; k++)
		codePoint = codePoint << 6 | (sequence[k] & 0x3F);
	return codePoint;
}


// The length of the valid UTF-8 sequence at text[at] (1 for an ASCII
// byte); 0 when none starts there.
inline size_t
utf8_length_at(const std::string& text, size_t at)
{
	if ((uint8_t)text[at] < 0x80)
		return 1;
	bool cut = false;
	return utf8_sequence_at((const uint8_t*)text.data(), at, text.size(), cut);
}

// The length of the character at text[at] that may be shown as it is, to
// a terminal or in an alert; 0 for a control character (C1 among them) and
// for a byte that is no UTF-8, which are shown escaped.
inline size_t
printable_at(const std::string& text, size_t at)
{
	size_t length = utf8_length_at(text, at);
	uint8_t first = (uint8_t)text[at];
	if (length == 1 && (first < 0x20 || first == 0x7F))
		return 0;
	if (length == 2 && first == 0xC2 && (uint8_t)text[at + 1] < 0xA0)
		return 0;
	return length;
}

#endif // CONVERT_UTF8_H
