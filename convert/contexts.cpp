/*
 * The contexts of a text's special characters. Plain ASCII is passed over
 * eight bytes at a time; a byte from 0x80 up either opens a valid UTF-8
 * sequence, which is counted and passed over whole, or stands on its own,
 * and then its context is looked up in a table of how often each was seen.
 */
#include "convert/contexts.h"

#include <endian.h>
#include <string.h>


namespace {

// The kind of the byte beside a special character: for ASCII a class that
// tells words, numbers, spaces and line ends apart; for a byte from 0x80 up
// its top bits, which tell letters from signs in most sets.
enum Neighbour : uint8_t {
	kEdge,  // a line end, or the start or end of the text
	kSpace, // a space or a tab
	kDigit,
	kSmall,   // a to z
	kCapital, // A to Z
	kOpening, // ( [ { " ' `
	kStop,    // . , ; : ! ? ) ] }
	kSign,    // any other
	kHigh,    // 8 to 15: 0x80 and up, by the byte's top bits
};

constexpr uint8_t
neighbour_of(int c)
{
	if (c >= 0x80)
		return (uint8_t)(kHigh + ((c >> 4) & 7));
	if (c == '\n' || c == '\r' || c == 0)
		return kEdge;
	if (c == ' ' || c == '\t')
		return kSpace;
	if (c >= '0' && c <= '9')
		return kDigit;
	if (c >= 'a' && c <= 'z')
		return kSmall;
	if (c >= 'A' && c <= 'Z')
		return kCapital;
	if (c == '(' || c == '[' || c == '{' || c == '"' || c == '\'' || c == '`')
		return kOpening;
	if (c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?'
			|| c == ')' || c == ']' || c == '}')
		return kStop;
	return kSign;
}

struct Neighbours {
	uint8_t of[256];
};

constexpr Neighbours
make_neighbours()
{
	Neighbours neighbours {};
	for (int c = 0; c < 256; c++)
		neighbours.of[c] = neighbour_of(c);
	return neighbours;
}

constexpr Neighbours kNeighbours = make_neighbours();

// Sixteen kinds before, the byte's low seven bits, sixteen kinds after.
const size_t kContexts = 16 * 128 * 16;
const int kKeyShift = 48;

inline unsigned
context_of(const uint8_t* data, size_t at)
{
	uint8_t before = at > 0 ? data[at - 1] : '\n';
	return (unsigned)kNeighbours.of[before] << 11
			| (unsigned)(data[at] & 0x7F) << 4 | kNeighbours.of[data[at + 1]];
}


// What a byte opens as the first of a UTF-8 sequence: how many
// continuation bytes follow, and the range of the first of them, which
// keeps out overlong forms, surrogates and code points beyond U+10FFFF.
struct Lead {
	uint8_t need;
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

constexpr Leads kLeads = make_leads();

inline size_t
sequence_at(const uint8_t* data, size_t at, size_t length, bool& cut)
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


// A character of Western letters: a letter or sign of Latin-1 or of the
// Windows set, punctuation, currency, ™, frames. Bytes of an 8-bit text
// seldom make one of these by chance.
bool
is_letter_character(const uint8_t* sequence, size_t size)
{
	if (size == 2) {
		uint32_t codePoint
				= (uint32_t)(sequence[0] & 0x1F) << 6 | (sequence[1] & 0x3F);
		return (codePoint >= 0xA0 && codePoint <= 0xFF) || codePoint == 0x152
				|| codePoint == 0x153 || codePoint == 0x160
				|| codePoint == 0x161 || codePoint == 0x178
				|| codePoint == 0x17D || codePoint == 0x17E;
	}
	if (size != 3)
		return false;
	uint32_t codePoint = (uint32_t)(sequence[0] & 0x0F) << 12
			| (uint32_t)(sequence[1] & 0x3F) << 6 | (sequence[2] & 0x3F);
	return (codePoint >= 0x2010 && codePoint <= 0x20CF) || codePoint == 0x2122
			|| (codePoint >= 0x2500 && codePoint <= 0x25FF);
}

// What one such character weighs against the bytes outside UTF-8.
const uint64_t kLetterWeight = 4;

const uint64_t kHighBits = 0x8080808080808080ull;

} // namespace


void
text_contexts::Note(const uint8_t* data, size_t at)
{
	uint8_t byte = data[at];
	fPresent[(byte >> 6) & 1] |= uint64_t(1) << (byte & 63);
	fStrays++;
	unsigned key = context_of(data, at);
	if (!fSeen)
		fSeen.reset(new uint8_t[kContexts]());
	if (fSeen[key] < kPerContext) {
		fSeen[key]++;
		fPlaces.push_back((uint64_t)key << kKeyShift | at);
	}
}


void
text_contexts::gather(
		const uint8_t* data, size_t from, size_t to, size_t length)
{
	size_t i = from;
	while (i < to) {
		// Plain ASCII says nothing: eight bytes at a time.
		if (i + 8 <= to) {
			uint64_t word;
			memcpy(&word, data + i, sizeof(word));
			uint64_t high = le64toh(word) & kHighBits;
			if (high == 0) {
				i += 8;
				continue;
			}
			i += (size_t)__builtin_ctzll(high) / 8;
		}
		if (data[i] < 0x80) {
			i++;
			continue;
		}
		bool cut = false;
		size_t size = sequence_at(data, i, length, cut);
		if (size > 0) {
			fSequences++;
			fLetterSequences += is_letter_character(data + i, size);
			i += size;
			continue;
		}
		if (cut) {
			// What is left of the text is the start of a character.
			fCutBytes = length - i;
			for (; i < length; i++)
				Note(data, i);
			return;
		}
		Note(data, i);
		i++;
	}
}


void
text_contexts::join(const text_contexts& next)
{
	fSequences += next.fSequences;
	fLetterSequences += next.fLetterSequences;
	fStrays += next.fStrays;
	fCutBytes += next.fCutBytes;
	fPresent[0] |= next.fPresent[0];
	fPresent[1] |= next.fPresent[1];
	for (uint64_t place : next.fPlaces) {
		unsigned key = (unsigned)(place >> kKeyShift);
		if (!fSeen)
			fSeen.reset(new uint8_t[kContexts]());
		if (fSeen[key] < kPerContext) {
			fSeen[key]++;
			fPlaces.push_back(place);
		}
	}
}


void
text_contexts::Reset()
{
	if (fSeen) {
		for (uint64_t place : fPlaces)
			fSeen[place >> kKeyShift] = 0;
	}
	fPlaces.clear();
	fPresent[0] = fPresent[1] = 0;
	fSequences = fLetterSequences = fStrays = fCutBytes = 0;
}


bool
text_contexts::MostlyUtf8() const
{
	uint64_t weight = fSequences + (kLetterWeight - 1) * fLetterSequences
			+ (fCutBytes > 0 ? kLetterWeight : 0);
	return weight > 0 && weight > fStrays - fCutBytes;
}


size_t
utf8_sequence_at(const uint8_t* data, size_t at, size_t length, bool& cut)
{
	return sequence_at(data, at, length, cut);
}


text_contexts
gather_contexts(const uint8_t* data, size_t length)
{
	text_contexts contexts;
	contexts.gather(data, 0, length, length);
	return contexts;
}
