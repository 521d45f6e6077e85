/*
 * The second opinion reads every byte from 0x80 up as each set shows it,
 * with the characters on either side, and weighs what it sees against a
 * small hand-made table of what German letters hold. No statistics of a
 * language are learned: a character is judged by its class and by where it
 * stands in its word.
 */
#include "convert/second_opinion.h"

#include "charmap/mt.h"
#include "charmap/styles.h"

#include <endian.h>
#include <string.h>


namespace {

enum Kind : uint8_t {
	kOther, // spaces, digits, ASCII punctuation: no letter
	kLower, // letters
	kUpper,
	kCaseless, // ß, which has no capital in letters
	kMark,     // punctuation of letters, between words
	kJoiner,   // punctuation that may also stand inside a word: ’ · –
	kFrame,    // box drawing, as DOS frames and tables are drawn
	kAlien     // what no German letter holds
};

struct char_class {
	uint32_t first;
	uint32_t last;
	Kind kind;
	uint8_t weight;
};

// The letters of German itself weigh the most.
const uint8_t kGermanWeight = 2;

// Every character from U+0080 up that German letters hold; all others are
// alien: C1 controls, Greek, Hebrew, mathematics, ƒ, spacing accents,
// ligatures, Icelandic letters.
constexpr char_class kClasses[] = {
		// German letters.
		{0x00E4, 0x00E4, kLower, kGermanWeight},    // ä
		{0x00F6, 0x00F6, kLower, kGermanWeight},    // ö
		{0x00FC, 0x00FC, kLower, kGermanWeight},    // ü
		{0x00C4, 0x00C4, kUpper, kGermanWeight},    // Ä
		{0x00D6, 0x00D6, kUpper, kGermanWeight},    // Ö
		{0x00DC, 0x00DC, kUpper, kGermanWeight},    // Ü
		{0x00DF, 0x00DF, kCaseless, kGermanWeight}, // ß
		// Letters of loan words and names: French, Italian, Spanish,
		// Scandinavian.
		{0x00E0, 0x00E2, kLower, 1}, // à á â
		{0x00E5, 0x00EF, kLower, 1}, // å æ ç è é ê ë ì í î ï
		{0x00F1, 0x00F4, kLower, 1}, // ñ ò ó ô
		{0x00F8, 0x00FB, kLower, 1}, // ø ù ú û
		{0x0153, 0x0153, kLower, 1}, // œ
		{0x00C0, 0x00C2, kUpper, 1}, // À Á Â
		{0x00C5, 0x00CF, kUpper, 1}, // Å Æ Ç È É Ê Ë Ì Í Î Ï
		{0x00D1, 0x00D4, kUpper, 1}, // Ñ Ò Ó Ô
		{0x00D8, 0x00DB, kUpper, 1}, // Ø Ù Ú Û
		{0x0152, 0x0152, kUpper, 1}, // Œ
		// Letters that occur, but too seldom to speak for a set.
		{0x00E3, 0x00E3, kLower, 0}, // ã
		{0x00F5, 0x00F5, kLower, 0}, // õ
		{0x00FF, 0x00FF, kLower, 0}, // ÿ
		{0x0161, 0x0161, kLower, 0}, // š
		{0x017E, 0x017E, kLower, 0}, // ž
		{0x00C3, 0x00C3, kUpper, 0}, // Ã
		{0x00D5, 0x00D5, kUpper, 0}, // Õ
		{0x0160, 0x0160, kUpper, 0}, // Š
		{0x0178, 0x0178, kUpper, 0}, // Ÿ
		{0x017D, 0x017D, kUpper, 0}, // Ž
		// The punctuation of letters.
		{0x00A0, 0x00A0, kJoiner, 1}, // no-break space
		{0x00A1, 0x00A1, kMark, 0},   // ¡
		{0x00A2, 0x00A3, kMark, 1},   // ¢ £
		{0x00A4, 0x00A4, kMark, 1},   // ¤, the Macintosh euro sign
		{0x00A5, 0x00A5, kMark, 0},   // ¥
		{0x00A7, 0x00A7, kMark, 1},   // §
		{0x00A9, 0x00A9, kMark, 1},   // ©
		{0x00AA, 0x00AA, kMark, 0},   // ª
		{0x00AB, 0x00AB, kMark, 1},   // «
		{0x00AD, 0x00AD, kJoiner, 0}, // soft hyphen
		{0x00AE, 0x00AE, kMark, 1},   // ®
		{0x00B0, 0x00B3, kMark, 1},   // ° ± ² ³
		{0x00B4, 0x00B4, kJoiner, 1}, // ´, typed for an apostrophe
		{0x00B5, 0x00B5, kLower, 1},  // µ, a letter of its own kind
		{0x00B6, 0x00B6, kMark, 0},   // ¶
		{0x00B7, 0x00B7, kJoiner, 1}, // ·
		{0x00B9, 0x00B9, kMark, 1},   // ¹
		{0x00BA, 0x00BA, kMark, 0},   // º
		{0x00BB, 0x00BE, kMark, 1},   // » ¼ ½ ¾
		{0x00BF, 0x00BF, kMark, 0},   // ¿
		{0x00D7, 0x00D7, kMark, 1},   // ×
		{0x00F7, 0x00F7, kMark, 0},   // ÷
		{0x03BC, 0x03BC, kLower, 1},  // μ, the DOS micro sign
		{0x2010, 0x2010, kJoiner, 1}, // ‐
		{0x2013, 0x2014, kMark, 1},   // – —
		{0x2018, 0x2019, kJoiner, 1}, // ‘ ’
		{0x201A, 0x201A, kMark, 1},   // ‚
		{0x201C, 0x201E, kMark, 1},   // “ ” „
		{0x2020, 0x2021, kMark, 0},   // † ‡
		{0x2022, 0x2022, kMark, 1},   // •
		{0x2026, 0x2026, kMark, 1},   // …
		{0x2030, 0x2030, kMark, 1},   // ‰
		{0x2039, 0x203A, kMark, 1},   // ‹ ›
		{0x20AC, 0x20AC, kMark, 1},   // €
		{0x2122, 0x2122, kMark, 1},   // ™
		// Frames and tables.
		{0x2500, 0x25A0, kFrame, 1},
};

struct byte_class {
	Kind kind;
	uint8_t weight;
};

// What each byte is in one set.
struct set_classes {
	byte_class of[256];
	uint32_t codePoint[256];
};

bool
is_letter(Kind kind)
{
	return kind == kLower || kind == kUpper || kind == kCaseless;
}


// A letter from 0x80 up that is no German one: two of them side by side
// (ÉÍ, èå) are no word of a German letter.
bool
is_foreign_letter(const set_classes& set, uint8_t byte)
{
	return byte >= 0x80 && is_letter(set.of[byte].kind)
			&& set.of[byte].weight < kGermanWeight;
}


byte_class
class_of(uint32_t codePoint)
{
	if (codePoint < 0x80) {
		if (codePoint >= 'a' && codePoint <= 'z')
			return {kLower, 0};
		if (codePoint >= 'A' && codePoint <= 'Z')
			return {kUpper, 0};
		return {kOther, 0};
	}
	for (const char_class& c : kClasses) {
		if (codePoint >= c.first && codePoint <= c.last)
			return {c.kind, c.weight};
	}
	return {kAlien, 0};
}


// The code point of an entry's text, which holds one character: 0 for
// none, and the byte itself where it is no UTF-8.
uint32_t
code_point_of(const mt& entry)
{
	const uint8_t* text = (const uint8_t*)entry.str;
	size_t length = strnlen(entry.str, sizeof(entry.str));
	if (length == 0)
		return 0;
	if (length == 2 && (text[0] & 0xE0) == 0xC0)
		return (uint32_t)(text[0] & 0x1F) << 6 | (text[1] & 0x3F);
	if (length == 3 && (text[0] & 0xF0) == 0xE0) {
		return (uint32_t)(text[0] & 0x0F) << 12
				| (uint32_t)(text[1] & 0x3F) << 6 | (text[2] & 0x3F);
	}
	return text[0] < 0x80 && length == 1 ? text[0] : 0x80;
}


// Where the table gives a byte of Windows text a character of its own
// choosing, the character that Windows shows is judged: a letter with a
// euro sign reads as a Windows letter whatever the table makes of it.
const struct {
	uint8_t byte;
	uint32_t codePoint;
} kWindowsShows[] = {
		{0x80, 0x20AC}, // €
		{0x92, 0x2019}, // ’
		{0x94, 0x201D}, // ”
};


// The classes of the set by the set's own table, the one that converts.
set_classes
make_classes(int32_t style)
{
	mt map[kMapSize];
	map[0].Clear();
	load_set(map, style);
	set_classes classes;
	for (int c = 0; c < 256; c++) {
		// Below 0x80 only the bytes themselves tell where a word ends.
		classes.codePoint[c] = c < 0x80 ? (uint32_t)c : code_point_of(map[c]);
	}
	if (style == kStyleAnsi) {
		for (const auto& shown : kWindowsShows)
			classes.codePoint[shown.byte] = shown.codePoint;
	}
	for (int c = 0; c < 256; c++)
		classes.of[c] = class_of(classes.codePoint[c]);
	return classes;
}


const int kSets = 4; // TOS, PC, MAC, ANSI, in the order of their styles

const set_classes&
classes_of(int set)
{
	static const set_classes sets[kSets]
			= {make_classes(kStyleTos), make_classes(kStylePc),
					make_classes(kStyleMac), make_classes(kStyleAnsi)};
	return sets[set];
}


// A frame char with none of its kind beside it is still a frame's when its
// line holds another: the sides of a table stand alone between spaces.
const size_t kLineReach = 160;

bool
line_holds_frame(
		const set_classes& set, const uint8_t* data, size_t length, size_t at)
{
	size_t from = at > kLineReach ? at - kLineReach : 0;
	size_t to = length - at > kLineReach ? at + kLineReach : length;
	for (size_t i = at; i > from && data[i - 1] != '\n'; i--) {
		if (set.of[data[i - 1]].kind == kFrame)
			return true;
	}
	for (size_t i = at + 1; i < to && data[i] != '\n'; i++) {
		if (set.of[data[i]].kind == kFrame)
			return true;
	}
	return false;
}


// True when the lone letter at data[at] is the à of à la carte, à propos,
// à jour: German letters borrow it with the word after it.
bool
opens_french(
		const set_classes& set, const uint8_t* data, size_t length, size_t at)
{
	static const char* const kAfter[]
			= {" la ", " l'", " propos", " jour", " part", " deux"};
	if (set.codePoint[data[at]] != 0x00E0)
		return false;
	for (const char* after : kAfter) {
		size_t size = strlen(after);
		if (length - at - 1 >= size && memcmp(data + at + 1, after, size) == 0)
			return true;
	}
	return false;
}


// The byte from 0x80 up at data[at], with its neighbours, as one set reads
// it.
void
judge(const set_classes& set, const uint8_t* data, size_t length, size_t at,
		set_reading& reading)
{
	uint8_t before = at > 0 ? data[at - 1] : ' ';
	uint8_t byte = data[at];
	uint8_t after = at + 1 < length ? data[at + 1] : ' ';
	byte_class c = set.of[byte];
	Kind left = set.of[before].kind;
	Kind right = set.of[after].kind;
	bool inWord = is_letter(left) && is_letter(right);
	if (is_foreign_letter(set, byte)
			&& (is_foreign_letter(set, before)
					|| is_foreign_letter(set, after))) {
		reading.against++;
		return;
	}
	switch (c.kind) {
	case kUpper:
		// schÜne and CafÄ; KÜhler and ÑZur; a capital that is a word of
		// its own, unless it opens a compound (Ö-Ton).
		if (left == kLower || left == kCaseless
				|| (left == kUpper && right == kLower)
				|| (right == kUpper && at + 2 < length
						&& set.of[data[at + 2]].kind == kLower)
				|| (!is_letter(left) && !is_letter(right) && after != '-'))
			reading.against++;
		else
			reading.good += c.weight;
		break;
	case kLower:
		// äDie; a lone small letter tells nothing, but for à la carte.
		if (right == kUpper)
			reading.against++;
		else if (is_letter(left) || is_letter(right))
			reading.good += c.weight;
		else if (opens_french(set, data, length, at))
			reading.good += kGermanWeight;
		break;
	case kCaseless:
		// ß never starts a word, nor stands before a capital.
		if (!is_letter(left) || right == kUpper)
			reading.against++;
		else
			reading.good += c.weight;
		break;
	case kMark:
		if (inWord)
			reading.against++;
		else
			reading.good += c.weight;
		break;
	case kJoiner:
		reading.good += c.weight;
		break;
	case kFrame:
		// Frames and tables hold lines of them, or sides in a line with
		// more of them; one on its own in a line of words is none.
		if (inWord)
			reading.against++;
		else if (left == kFrame || right == kFrame)
			reading.good += c.weight;
		else if (!line_holds_frame(set, data, length, at))
			reading.against++;
		break;
	case kAlien:
		reading.against++;
		break;
	case kOther:
		break;
	}
}


// A long text is judged by samples spread over it, so that the opinion
// costs the same for any size.
const size_t kWholeUpTo = 4 * 1024 * 1024;
const size_t kSamples = 32;
const size_t kSampleSize = kWholeUpTo / kSamples;
// Enough bytes from 0x80 up to tell the sets apart many times over: a
// letter holds a few hundred.
const size_t kMaxJudged = 4096;

const uint64_t kHighBits = 0x8080808080808080ull;


// The bytes from 0x80 up in [from, to), at most budget of them, judged as
// each of count sets (first, first + 1, ...) reads them.
void
read_range(const uint8_t* data, size_t length, size_t from, size_t to,
		int first, int count, set_reading* readings, size_t budget)
{
	size_t i = from;
	while (i < to && budget > 0) {
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
		if (data[i] >= 0x80) {
			for (int k = 0; k < count; k++)
				judge(classes_of(first + k), data, length, i, readings[k]);
			budget--;
		}
		i++;
	}
}


void
read_sets(const uint8_t* data, size_t length, int first, int count,
		set_reading* readings)
{
	if (length <= kWholeUpTo) {
		read_range(data, length, 0, length, first, count, readings, kMaxJudged);
		return;
	}
	size_t step = (length - kSampleSize) / (kSamples - 1);
	for (size_t s = 0; s < kSamples; s++) {
		size_t from = s * step;
		read_range(data, length, from, from + kSampleSize, first, count,
				readings, kMaxJudged / kSamples);
	}
}


int
set_index(int32_t style)
{
	return style >= kStyleTos && style <= kStyleAnsi ? style - kStyleTos : -1;
}

} // namespace


set_reading
read_as(const uint8_t* data, size_t length, int32_t style)
{
	set_reading reading;
	int set = set_index(style);
	if (set >= 0)
		read_sets(data, length, set, 1, &reading);
	return reading;
}


set_opinion
second_opinion(const uint8_t* data, size_t length, int32_t umlaut)
{
	set_opinion opinion;
	opinion.style = umlaut;
	int taken = set_index(umlaut);
	// Most texts read well in the set of their umlaut codes, and then
	// nothing more need be read.
	if (taken >= 0 && read_as(data, length, umlaut).Plausible())
		return opinion;

	set_reading readings[kSets];
	read_sets(data, length, 0, kSets, readings);

	// The best of the others, the earlier one on a tie; it must have
	// something for it, as well as nothing against it.
	int best = -1;
	for (int k = 0; k < kSets; k++) {
		if (k != taken
				&& (best < 0 || readings[k].Score() > readings[best].Score()))
			best = k;
	}
	if (readings[best].Convincing()) {
		opinion.style = kStyleTos + best;
		return opinion;
	}
	if (taken < 0) {
		opinion.style = kStyleNone;
		return opinion;
	}
	opinion.doubtful = true;
	opinion.nextBest = kStyleTos + best;
	return opinion;
}
