/*
 * The second opinion reads every special character of a text as each set
 * shows it, with what stands on either side, and weighs it against a small
 * hand-made table of what letters hold and where: a letter with an accent
 * inside a word of small letters, ß after a vowel, a euro sign beside a
 * number, © before a year, ° after a number, µ before a unit, a bullet at
 * the start of a line, quotes that open and close, frames drawn in runs.
 * Nothing is learned from a corpus: a character is judged by its class and
 * by where it stands.
 */
#include "convert/second_opinion.h"

#include "charmap/mt.h"
#include "charmap/styles.h"
#include "convert/detect.h"
#include "convert/utf8.h"

#include <string.h>


namespace {

enum Kind : uint8_t {
	kOther, // spaces, digits, ASCII punctuation: no letter
	kLower, // letters
	kUpper,
	kCaseless, // ß, which has no capital in letters
	kMark,     // punctuation of letters, between words
	kJoiner,   // punctuation that may also stand inside a word: ’ · nbsp
	kFrame,    // box drawing, as DOS frames and tables are drawn
	kAlien     // what no letter holds
};

// Where a sign stands when people use it. There it speaks for the set;
// elsewhere it tells little, and inside a word it speaks against.
enum Place : uint8_t {
	kFree,        // nowhere in particular
	kByNumber,    // € £ § ±: 12,50 €, € 30, § 3
	kAfterNumber, // ° ‰: 19 °C, 3 ‰
	kAfterUnit,   // ² ³: 78 m², 5²
	kBeforeYear,  // ©: © 1992, © Verlag
	kAfterWord,   // ® ™: Gerät™
	kBeforeUnit,  // µ: 99 µm
	kLineStart,   // •: the items of a list
	kEllipsis,    // …: after a word, or between spaces
	kOpens,       // „ ‚ « ¿: before a word, with its partner later on
	kCloses,      // ” »: after a word, with its partner before
	kQuote,       // “ ‘ ’: opens in English, closes in German
	kDash,        // – —: between spaces or numbers
};

// Letters that may end a word (città, café, Menü), and those that may be
// a word of their own (à la carte, è, é).
const uint8_t kEnds = 0x01;
const uint8_t kAlone = 0x02;
// A sign that stands only at its place: elsewhere it speaks against (the
// sides of a DOS table read as ³ in Windows).
const uint8_t kStrict = 0x04;

struct char_class {
	uint32_t first;
	uint32_t last;
	Kind kind;
	uint8_t weight;
	Place place;
	uint8_t flags;
};

// The letters of German itself weigh the most, and so does a sign at its
// place.
const uint8_t kGermanWeight = 2;
const uint8_t kPlaceWeight = 2;
// A letter in a phrase of its own (à la carte) weighs more still.
const uint8_t kPhraseWeight = 3;

// Every character from U+0080 up that letters hold; all others are alien:
// C1 controls, Greek, Hebrew, mathematics, ƒ, spacing accents, ligatures,
// Icelandic letters.
constexpr char_class kClasses[] = {
		// German letters.
		{0x00E4, 0x00E4, kLower, kGermanWeight, kFree, kEnds}, // ä
		{0x00F6, 0x00F6, kLower, kGermanWeight, kFree, kEnds}, // ö
		{0x00FC, 0x00FC, kLower, kGermanWeight, kFree, kEnds}, // ü
		{0x00C4, 0x00C4, kUpper, kGermanWeight, kFree, 0},     // Ä
		{0x00D6, 0x00D6, kUpper, kGermanWeight, kFree, 0},     // Ö
		{0x00DC, 0x00DC, kUpper, kGermanWeight, kFree, 0},     // Ü
		{0x00DF, 0x00DF, kCaseless, kGermanWeight, kFree, 0},  // ß
		// Letters of French, Italian, Spanish, Scandinavian words and of
		// loan words and names.
		{0x00E0, 0x00E0, kLower, 1, kFree, kEnds | kAlone}, // à
		{0x00E1, 0x00E1, kLower, 1, kFree, kEnds},          // á
		{0x00E2, 0x00E2, kLower, 1, kFree, 0},              // â
		{0x00E5, 0x00E7, kLower, 1, kFree, 0},              // å æ ç
		{0x00E8, 0x00E9, kLower, 1, kFree, kEnds | kAlone}, // è é
		{0x00EA, 0x00EB, kLower, 1, kFree, 0},              // ê ë
		{0x00EC, 0x00ED, kLower, 1, kFree, kEnds},          // ì í
		{0x00EE, 0x00EF, kLower, 1, kFree, 0},              // î ï
		{0x00F1, 0x00F1, kLower, 1, kFree, 0},              // ñ
		{0x00F2, 0x00F3, kLower, 1, kFree, kEnds},          // ò ó
		{0x00F4, 0x00F4, kLower, 1, kFree, 0},              // ô
		{0x00F8, 0x00F8, kLower, 1, kFree, 0},              // ø
		{0x00F9, 0x00FA, kLower, 1, kFree, kEnds},          // ù ú
		{0x00FB, 0x00FB, kLower, 1, kFree, 0},              // û
		{0x0153, 0x0153, kLower, 1, kFree, 0},              // œ
		{0x00C0, 0x00C0, kUpper, 1, kFree, kAlone},         // À
		{0x00C1, 0x00C2, kUpper, 1, kFree, 0},              // Á Â
		{0x00C5, 0x00C7, kUpper, 1, kFree, 0},              // Å Æ Ç
		{0x00C8, 0x00C9, kUpper, 1, kFree, kAlone},         // È É
		{0x00CA, 0x00CF, kUpper, 1, kFree, 0},              // Ê Ë Ì Í Î Ï
		{0x00D1, 0x00D4, kUpper, 1, kFree, 0},              // Ñ Ò Ó Ô
		{0x00D8, 0x00DB, kUpper, 1, kFree, 0},              // Ø Ù Ú Û
		{0x0152, 0x0152, kUpper, 1, kFree, 0},              // Œ
		// Letters that occur, but too seldom to speak for a set.
		{0x00E3, 0x00E3, kLower, 0, kFree, 0}, // ã
		{0x00F5, 0x00F5, kLower, 0, kFree, 0}, // õ
		{0x00FF, 0x00FF, kLower, 0, kFree, 0}, // ÿ
		{0x0161, 0x0161, kLower, 0, kFree, 0}, // š
		{0x017E, 0x017E, kLower, 0, kFree, 0}, // ž
		{0x00C3, 0x00C3, kUpper, 0, kFree, 0}, // Ã
		{0x00D5, 0x00D5, kUpper, 0, kFree, 0}, // Õ
		{0x0160, 0x0160, kUpper, 0, kFree, 0}, // Š
		{0x0178, 0x0178, kUpper, 0, kFree, 0}, // Ÿ
		{0x017D, 0x017D, kUpper, 0, kFree, 0}, // Ž
		// The punctuation and signs of letters.
		{0x00A0, 0x00A0, kJoiner, 1, kFree, 0},          // no-break space
		{0x00A1, 0x00A1, kMark, 0, kOpens, 0},           // ¡
		{0x00A2, 0x00A4, kMark, 1, kByNumber, 0},        // ¢ £ ¤ (Mac €)
		{0x00A5, 0x00A5, kMark, 0, kByNumber, 0},        // ¥
		{0x00A7, 0x00A7, kMark, 1, kByNumber, 0},        // §
		{0x00A9, 0x00A9, kMark, 1, kBeforeYear, 0},      // ©
		{0x00AA, 0x00AA, kMark, 0, kAfterNumber, 0},     // ª
		{0x00AB, 0x00AB, kMark, 1, kOpens, 0},           // «
		{0x00AD, 0x00AD, kJoiner, 0, kFree, 0},          // soft hyphen
		{0x00AE, 0x00AE, kMark, 1, kAfterWord, 0},       // ®
		{0x00B0, 0x00B0, kMark, 1, kAfterNumber, 0},     // °
		{0x00B1, 0x00B1, kMark, 1, kByNumber, 0},        // ±
		{0x00B2, 0x00B3, kMark, 1, kAfterUnit, kStrict}, // ² ³
		{0x00B4, 0x00B4, kJoiner, 1, kFree, 0},          // ´, for ’
		{0x00B5, 0x00B5, kMark, 1, kBeforeUnit, 0},      // µ
		{0x00B6, 0x00B6, kMark, 0, kFree, 0},            // ¶
		{0x00B7, 0x00B7, kJoiner, 0, kFree, 0},          // ·
		{0x00B9, 0x00B9, kMark, 1, kAfterUnit, kStrict}, // ¹
		{0x00BA, 0x00BA, kMark, 0, kAfterNumber, 0},     // º
		{0x00BB, 0x00BB, kMark, 1, kCloses, 0},          // »
		{0x00BC, 0x00BE, kMark, 1, kFree, 0},            // ¼ ½ ¾
		{0x00BF, 0x00BF, kMark, 0, kOpens, 0},           // ¿
		{0x00D7, 0x00D7, kMark, 1, kByNumber, 0},        // ×
		{0x00F7, 0x00F7, kMark, 0, kByNumber, 0},        // ÷
		{0x03BC, 0x03BC, kMark, 1, kBeforeUnit, 0},      // μ, the DOS µ
		{0x2010, 0x2010, kJoiner, 1, kFree, 0},          // ‐
		{0x2013, 0x2014, kMark, 1, kDash, 0},            // – —
		{0x2018, 0x2018, kMark, 1, kQuote, 0},           // ‘
		{0x2019, 0x2019, kJoiner, 1, kQuote, 0},         // ’
		{0x201A, 0x201A, kMark, 1, kOpens, 0},           // ‚
		{0x201C, 0x201C, kMark, 1, kQuote, 0},           // “
		{0x201D, 0x201D, kMark, 1, kCloses, 0},          // ”
		{0x201E, 0x201E, kMark, 1, kOpens, 0},           // „
		{0x2020, 0x2021, kMark, 0, kFree, 0},            // † ‡
		{0x2022, 0x2022, kMark, 1, kLineStart, 0},       // •
		{0x2026, 0x2026, kMark, 1, kEllipsis, 0},        // …
		{0x2030, 0x2030, kMark, 1, kAfterNumber, 0},     // ‰
		{0x2039, 0x2039, kMark, 1, kOpens, 0},           // ‹
		{0x203A, 0x203A, kMark, 1, kCloses, 0},          // ›
		{0x20AC, 0x20AC, kMark, 1, kByNumber, 0},        // €
		{0x2122, 0x2122, kMark, 1, kAfterWord, 0},       // ™
		// Frames and tables.
		{0x2500, 0x25A0, kFrame, 1, kFree, 0},
};

// Letters that only certain letters follow, and those that some never
// follow: ç before a, o, u; œ before u, i, e; an umlaut before a vowel but
// for äu (Häuser), öe (Böe) and the üe, üi of Spanish (pingüino).
const struct {
	uint32_t codePoint;
	const char* followedBy;
	const char* neverBy;
} kFollowers[] = {
		{0x00E7, "aouAOU", NULL}, // ç
		{0x00C7, "aouAOU", NULL}, // Ç
		{0x0153, "uieUIE", NULL}, // œ: cœur, œil, œuvre
		{0x00E4, NULL, "aeio"},   // ä
		{0x00F6, NULL, "aiou"},   // ö
		{0x00FC, NULL, "aou"},    // ü
		{0x00C4, NULL, "aeio"},   // Ä
		{0x00D6, NULL, "aiou"},   // Ö
		{0x00DC, NULL, "aou"},    // Ü
};

struct byte_class {
	Kind kind;
	uint8_t weight;
	Place place;
	uint8_t flags;
};

// What each byte is in one set: as judged, and the code point the set's
// table writes for it.
struct set_classes {
	byte_class of[256];
	uint32_t codePoint[256];
	uint32_t written[256];
};

bool
is_letter(Kind kind)
{
	return kind == kLower || kind == kUpper || kind == kCaseless;
}


bool
is_quote(const byte_class& c)
{
	return c.place == kOpens || c.place == kCloses || c.place == kQuote;
}


byte_class
class_of(uint32_t codePoint)
{
	if (codePoint < 0x80) {
		if (codePoint >= 'a' && codePoint <= 'z')
			return {kLower, 0, kFree, 0};
		if (codePoint >= 'A' && codePoint <= 'Z')
			return {kUpper, 0, kFree, 0};
		return {kOther, 0, kFree, 0};
	}
	for (const char_class& c : kClasses) {
		if (codePoint >= c.first && codePoint <= c.last)
			return {c.kind, c.weight, c.place, c.flags};
	}
	return {kAlien, 0, kFree, 0};
}


// The code point of an entry's text, which holds one character: 0 for
// none, and the byte itself where it is no UTF-8.
uint32_t
code_point_of(const mt& entry, int byte)
{
	const uint8_t* text = (const uint8_t*)entry.str;
	size_t length = strnlen(entry.str, sizeof(entry.str));
	if (length == 0)
		return 0;
	if ((length == 2 && (text[0] & 0xE0) == 0xC0)
			|| (length == 3 && (text[0] & 0xF0) == 0xE0))
		return utf8_code_point(text, length);
	return length == 1 ? text[0] : 0x100 + byte;
}


// Where the table gives a byte of Windows text a character of its own
// choosing, the character that Windows shows is judged.
const struct {
	uint8_t byte;
	uint32_t codePoint;
} kWindowsShows[] = {
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
		classes.written[c] = code_point_of(map[c], c);
		// Below 0x80 only the bytes themselves tell where a word ends.
		classes.codePoint[c] = c < 0x80 ? (uint32_t)c : classes.written[c];
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


// How far along its line a character looks for a frame or a quote.
const size_t kLineReach = 160;

bool
is_line_end(uint8_t c)
{
	return c == '\n' || c == '\r' || c == 0;
}


// Whether the line of data[at] holds, before it (direction -1) or after it
// (+1) or either (0), a character that test accepts.
template<typename Test>
bool
line_holds(
		const uint8_t* data, size_t length, size_t at, int direction, Test test)
{
	if (direction <= 0) {
		size_t from = at > kLineReach ? at - kLineReach : 0;
		for (size_t i = at; i > from && !is_line_end(data[i - 1]); i--) {
			if (test(data[i - 1]))
				return true;
		}
	}
	if (direction >= 0) {
		size_t to = length - at > kLineReach ? at + kLineReach : length;
		for (size_t i = at + 1; i < to && !is_line_end(data[i]); i++) {
			if (test(data[i]))
				return true;
		}
	}
	return false;
}


bool
is_digit(uint8_t c)
{
	return c >= '0' && c <= '9';
}


// What stands around data[at], as one set reads it.
struct surroundings {
	uint8_t before, after;   // the bytes on either side
	uint8_t before2, after2; // and one further out
	Kind left, right;        // their kinds
	bool lineStart;          // only spaces between the line's start and it
	bool sentenceStart;      // a word there begins a sentence
	bool utf8Around;         // the text around is UTF-8
};

// Whether data[end] is the last byte of a valid UTF-8 sequence.
bool
ends_sequence(const uint8_t* data, size_t length, size_t end)
{
	for (size_t back = 0; back < 4 && back <= end; back++) {
		if (data[end - back] >= 0xC0) {
			bool cut = false;
			return utf8_sequence_at(data, end - back, length, cut) == back + 1;
		}
	}
	return false;
}


// With utf8Around, the characters of UTF-8 beside a byte read as letters:
// the bytes outside UTF-8 in a text of UTF-8 stand among its words.
surroundings
look_around(const set_classes& set, const uint8_t* data, size_t length,
		size_t at, bool utf8Around)
{
	surroundings s;
	s.before = at > 0 ? data[at - 1] : '\n';
	s.before2 = at > 1 ? data[at - 2] : '\n';
	s.after = data[at + 1];
	s.after2 = at + 2 <= length ? data[at + 2] : 0;
	bool cut = false;
	if (utf8Around && s.before >= 0x80 && ends_sequence(data, length, at - 1))
		s.before = 'a';
	if (utf8Around && s.after >= 0x80
			&& utf8_sequence_at(data, at + 1, length, cut) > 0)
		s.after = 'a';
	s.utf8Around = utf8Around;
	s.left = set.of[s.before].kind;
	s.right = set.of[s.after].kind;
	size_t i = at;
	while (i > 0 && at - i < kLineReach
			&& (data[i - 1] == ' ' || data[i - 1] == '\t'))
		i--;
	uint8_t first = i > 0 ? data[i - 1] : '\n';
	s.lineStart = is_line_end(first);
	s.sentenceStart = s.lineStart
			|| (i < at
					&& (first == '.' || first == '!' || first == '?'
							|| first == ':'));
	return s;
}


bool
near_number(const surroundings& s)
{
	return is_digit(s.before) || is_digit(s.after)
			|| (s.before == ' ' && is_digit(s.before2))
			|| (s.after == ' ' && is_digit(s.after2));
}


bool
at_place(const set_classes& set, const uint8_t* data, size_t length, size_t at,
		const byte_class& c, const surroundings& s)
{
	switch (c.place) {
	case kFree:
		return false;
	case kByNumber:
		return near_number(s);
	case kAfterNumber:
		return is_digit(s.before) || (s.before == ' ' && is_digit(s.before2))
				|| s.after == 'C' || s.after == 'F';
	case kAfterUnit:
		return is_digit(s.before) || (is_letter(s.left) && !is_letter(s.right));
	case kBeforeYear:
		return is_digit(s.after)
				|| (s.after == ' '
						&& (is_digit(s.after2)
								|| set.of[s.after2].kind == kUpper));
	case kAfterWord:
		return is_letter(s.left) && !is_letter(s.right);
	case kBeforeUnit:
		return (is_digit(s.before) || s.before == ' ' || is_line_end(s.before))
				&& s.after != 0 && strchr("mglsVAFW", s.after) != NULL;
	case kLineStart:
		return s.lineStart && (s.after == ' ' || s.after == '\t');
	case kEllipsis:
		// Ends a sentence or what a bracket or quote holds, or stands
		// between words; at the end of a line after a word it may as well
		// be the last letter of già.
		return (is_letter(s.left) || s.before == ' ' || s.before == '.')
				&& ((s.after != 0 && strchr(")]\"'", s.after) != NULL)
						|| (s.after == ' '
								&& (set.of[s.after2].kind == kUpper
										|| is_line_end(s.after2)))
						|| (s.before == ' '
								&& (s.after == ' ' || is_line_end(s.after))));
	case kOpens:
	case kCloses:
	case kQuote: {
		// Also with the space inside that French puts there: « oui ».
		auto word = [&set](uint8_t b) {
			return is_letter(set.of[b].kind) || is_digit(b)
					|| (b != 0 && strchr(".!?,/", b) != NULL);
		};
		bool opens = !is_letter(s.left)
				&& (is_letter(s.right) || is_digit(s.after)
						|| set.of[s.after].place == kEllipsis
						|| (s.after == ' ' && word(s.after2)));
		bool closes = (word(s.before) || (s.before == ' ' && word(s.before2)))
				&& !is_letter(s.right);
		auto partner = [&set, &s](uint8_t b) {
			return (b < 0x80 || !s.utf8Around) && is_quote(set.of[b]);
		};
		if (c.place != kCloses && opens)
			return line_holds(data, length, at, +1, partner);
		if (c.place != kOpens && closes)
			return line_holds(data, length, at, -1, partner);
		return false;
	}
	case kDash:
		return (s.before == ' ' && (s.after == ' ' || is_line_end(s.after)))
				|| (is_digit(s.before) && is_digit(s.after));
	}
	return false;
}


// Whether the apostrophe inside a word at data[at] stands where English,
// French, Italian and German leave letters out: don’t, it’s, we’ll, I’ve;
// l’école, qu’il, dell’anno; geht’s.
bool
elides(const uint8_t* data, size_t length, size_t at)
{
	static const char* const kEndings[]
			= {"s", "t", "d", "m", "ll", "re", "ve"};
	auto letter = [](uint8_t c) {
		return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
	};
	for (const char* ending : kEndings) {
		size_t size = strlen(ending);
		if (length - at - 1 >= size && memcmp(data + at + 1, ending, size) == 0
				&& !letter(data[at + 1 + size]))
			return true;
	}
	// One letter (l’, d’, qu’), or a word in ll (dell’, all’).
	size_t start = at;
	while (start > 0 && letter(data[start - 1]))
		start--;
	size_t size = at - start;
	return size == 1 || (size == 2 && memcmp(data + start, "qu", 2) == 0)
			|| (size >= 2 && data[at - 1] == 'l' && data[at - 2] == 'l');
}


bool
is_vowel(uint32_t codePoint)
{
	return (codePoint != 0 && codePoint < 0x80
				   && strchr("aeiouyAEIOUY", (int)codePoint) != NULL)
			|| codePoint == 0x00E4 || codePoint == 0x00F6 || codePoint == 0x00FC
			|| codePoint == 0x00C4 || codePoint == 0x00D6
			|| codePoint == 0x00DC;
}


// A letter from 0x80 up that is no German one.
bool
is_foreign_letter(const set_classes& set, uint8_t byte)
{
	return byte >= 0x80 && is_letter(set.of[byte].kind)
			&& set.of[byte].weight < kGermanWeight;
}


bool
follows_rule(uint32_t codePoint, uint8_t after, Kind right)
{
	bool ascii = after < 0x80 && after != 0;
	for (const auto& rule : kFollowers) {
		if (rule.codePoint != codePoint || !is_letter(right))
			continue;
		if (rule.followedBy != NULL)
			return ascii && strchr(rule.followedBy, after) != NULL;
		return !ascii || strchr(rule.neverBy, after) == NULL;
	}
	return true;
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


void
judge_letter(const set_classes& set, const uint8_t* data, size_t length,
		size_t at, const byte_class& c, const surroundings& s,
		set_reading& reading)
{
	uint8_t byte = data[at];
	uint32_t codePoint = set.codePoint[byte];
	// Two letters of other languages side by side: only small ones, as in
	// créée or ação.
	if (is_foreign_letter(set, byte)
			&& (is_foreign_letter(set, s.before)
					|| is_foreign_letter(set, s.after))) {
		bool small = c.kind == kLower
				&& (!is_foreign_letter(set, s.before) || s.left == kLower)
				&& (!is_foreign_letter(set, s.after) || s.right == kLower);
		if (!small)
			reading.against++;
		return;
	}
	if (!follows_rule(codePoint, s.after, s.right)) {
		reading.against++;
		return;
	}
	bool before = is_letter(s.left);
	bool after = is_letter(s.right);
	switch (c.kind) {
	case kUpper:
		// schÜne, CafÄ; KÜhler, ÑZur; ÄÄÄÄ, a line of a DOS table; a
		// capital that is a word of its own, unless it opens a compound
		// (Ö-Ton) or is one (À bientôt, È vero).
		if (s.left == kLower || s.left == kCaseless || s.before == byte
				|| s.after == byte || (s.left == kUpper && s.right == kLower)
				|| (s.right == kUpper && set.of[s.after2].kind == kLower)
				|| (!before && !after && s.after != '-' && !(c.flags & kAlone)))
			reading.against++;
		else if (before || s.sentenceStart || c.weight == kGermanWeight)
			reading.good += c.weight;
		// Else a loan letter begins a name inside a sentence, where a small
		// one begins a word as well (el éxito): it tells nothing.
		break;
	case kLower:
		// äDie; a small letter seldom begins a sentence.
		if (s.right == kUpper)
			reading.against++;
		else if (before && after)
			reading.good += c.weight;
		else if (before)
			reading.good += c.flags & kEnds ? c.weight : 0;
		else if (after)
			reading.good += s.sentenceStart ? 0 : c.weight;
		else if (opens_french(set, data, length, at))
			reading.good += kPhraseWeight;
		else if ((c.flags & kAlone) && !s.sentenceStart)
			reading.good += c.weight;
		break;
	case kCaseless:
		// ß follows a long vowel or a diphthong, never a consonant; it
		// never starts a word, nor stands before a capital but in capitals.
		if (!before || !is_vowel(set.codePoint[s.before])
				|| (s.right == kUpper && s.left != kUpper))
			reading.against++;
		else
			reading.good += c.weight;
		break;
	default:
		break;
	}
}


// The byte from 0x80 up at data[at], with its neighbours, as one set reads
// it.
void
judge(const set_classes& set, const uint8_t* data, size_t length, size_t at,
		bool utf8Around, set_reading& reading)
{
	const byte_class& c = set.of[data[at]];
	surroundings s = look_around(set, data, length, at, utf8Around);
	bool inWord = is_letter(s.left) && is_letter(s.right);
	switch (c.kind) {
	case kUpper:
	case kLower:
	case kCaseless:
		judge_letter(set, data, length, at, c, s, reading);
		break;
	case kMark:
		if (inWord)
			reading.against++;
		else if (at_place(set, data, length, at, c, s))
			reading.good += kPlaceWeight;
		else if (c.flags & kStrict)
			reading.against++;
		else if (c.place == kFree)
			reading.good += c.weight;
		break;
	case kJoiner:
		// ’ in geht’s, don’t and l’école, but no other word; a no-break
		// space in z. B., but not between two letters.
		if (inWord && c.place == kQuote)
			reading.good += elides(data, length, at) ? kPlaceWeight : 0;
		else if (at_place(set, data, length, at, c, s))
			reading.good += kPlaceWeight;
		else if (!inWord)
			reading.good += c.weight;
		break;
	case kFrame: {
		// Frames and tables hold runs of them, or sides in a line with
		// more of them; one on its own in a line of words is none.
		auto frame = [&set, &s](uint8_t b) {
			return !s.utf8Around && set.of[b].kind == kFrame;
		};
		if (inWord)
			reading.against++;
		else if (s.left == kFrame || s.right == kFrame
				|| line_holds(data, length, at, 0, frame))
			reading.good += c.weight;
		else
			reading.against++;
		break;
	}
	case kAlien:
		reading.against++;
		break;
	case kOther:
		break;
	}
}


int
set_index(int32_t style)
{
	return style >= kStyleTos && style <= kStyleAnsi ? style - kStyleTos : -1;
}


// Whether two sets give the text the same characters: every byte from 0x80
// up that it holds, and the Atari table's signs below.
bool
same_text(int a, int b, const text_contexts& contexts, bool atariSigns)
{
	const int tos = set_index(kStyleTos);
	if (atariSigns && (a == tos || b == tos))
		return false;
	const set_classes& first = classes_of(a);
	const set_classes& second = classes_of(b);
	for (int byte = 0x80; byte < 0x100; byte++) {
		if (contexts.Holds((uint8_t)byte)
				&& first.written[byte] != second.written[byte])
			return false;
	}
	return true;
}


// The order in which sets win a tie, after the umlaut codes' choice: the
// order in which people's 8-bit texts are common.
const int32_t kTieOrder[] = {kStyleAnsi, kStyleMac, kStylePc, kStyleTos};

} // namespace


set_reading
read_as(const uint8_t* data, size_t length, const text_contexts& contexts,
		int32_t style)
{
	set_reading reading;
	int set = set_index(style);
	if (set < 0)
		return reading;
	for (uint64_t place : contexts.Places())
		judge(classes_of(set), data, length, place_position(place), false,
				reading);
	return reading;
}


namespace {

set_opinion
weigh(const uint8_t* data, size_t length, int32_t umlaut,
		const text_contexts& contexts, bool atariSigns, bool utf8Around)
{
	set_reading readings[kSets];
	for (uint64_t place : contexts.Places()) {
		for (int k = 0; k < kSets; k++)
			judge(classes_of(k), data, length, place_position(place),
					utf8Around, readings[k]);
	}

	int order[kSets + 1];
	int count = 0;
	int taken = set_index(umlaut);
	if (taken >= 0)
		order[count++] = taken;
	for (int32_t style : kTieOrder) {
		if (set_index(style) != taken)
			order[count++] = set_index(style);
	}
	int best = order[0];
	for (int k = 1; k < count; k++) {
		if (readings[order[k]].Score() > readings[best].Score())
			best = order[k];
	}

	set_opinion opinion;
	if (!readings[best].Plausible()) {
		// No set reads as text: the umlaut codes' choice stands, with
		// doubt; without one, the text is left alone.
		if (taken < 0)
			return opinion;
		opinion.style = umlaut;
		opinion.doubtful = true;
		opinion.nextBest = kStyleTos + (best != taken ? best : order[1]);
		return opinion;
	}
	opinion.style = kStyleTos + best;
	// Another set that reads as well: the same text, or a doubt.
	for (int k = 0; k < count; k++) {
		int other = order[k];
		if (other == best || readings[other].Score() < readings[best].Score())
			continue;
		if (same_text(best, other, contexts, atariSigns)) {
			if (opinion.sameText == 0)
				opinion.sameText = kStyleTos + other;
		} else if (!opinion.doubtful) {
			opinion.doubtful = true;
			opinion.nextBest = kStyleTos + other;
		}
	}
	return opinion;
}


} // namespace


set_opinion
second_opinion(const uint8_t* data, size_t length, int32_t umlaut,
		const text_contexts& contexts, bool atariSigns)
{
	return weigh(data, length, umlaut, contexts, atariSigns, false);
}


set_opinion
stray_opinion(const uint8_t* data, size_t length, const text_contexts& contexts,
		bool atariSigns)
{
	// Windows ANSI, the set of most such bytes, stands where none reads
	// well.
	return weigh(data, length, kStyleAnsi, contexts, atariSigns, true);
}


set_opinion
second_opinion(const uint8_t* data, size_t length, int32_t umlaut)
{
	text_contexts contexts = gather_contexts(data, length);
	bool atariSigns = scan_text(data, length, false).atariSigns;
	return second_opinion(data, length, umlaut, contexts, atariSigns);
}


set_opinion
second_opinion(
		const uint8_t* data, size_t length, const text_findings& findings)
{
	text_contexts contexts = gather_contexts(data, length);
	return second_opinion(data, length, decide_style(findings, false), contexts,
			findings.atariSigns);
}
