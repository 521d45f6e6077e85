// The detection scan, the decision between candidates and the LaTeX rewrite.
#include "convert/detect.h"

#include "charmap/map_helpers.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

text_findings
scan(const std::string& text, bool latex = false,
		scan_path path = widest_scan_path())
{
	std::string padded = text + '\0';
	return scan_text((const uint8_t*)padded.data(), text.size(), latex, path);
}

// The loops of the scan that this processor has, the byte loop first.
std::vector<scan_path>
scan_paths()
{
	return test::processor_paths<scan_path>(kScanPaths);
}

// Every position on its own, by the rules written out as byte lists: what
// the scan must find, whatever it passes over.
text_findings
reference_scan(const std::string& text, bool latex)
{
	struct Rule {
		int candidate;
		int flag;
		std::string singles;
	};
	static const Rule rules[] = {
			{0, 0x02, "\xB4"},
			{0, 0x7F, "\xC2"},
			{1, 0x01, "\x84"},
			{1, 0x02, "\x81\xED"},
			{1, 0x04, "\x94"},
			{1, 0x08, "\x8E"},
			{1, 0x10, "\x9A"},
			{1, 0x20, "\x99"},
			{1, 0x40, "\x9E\x82\xBD"},
			{1, 0x7F, "\xE6\xFA"},
			{2, 0x01, "\x84"},
			{2, 0x02, "\x81\xED"},
			{2, 0x04, "\x94"},
			{2, 0x08, "\x8E"},
			{2, 0x10, "\x9A"},
			{2, 0x20, "\x99"},
			{2, 0x40, "\xE1\xF8"},
			{3, 0x01, "\x8A"},
			{3, 0x02, "\x9F"},
			{3, 0x04, "\x9A"},
			{3, 0x08, "\x80"},
			{3, 0x10, "\x86"},
			{3, 0x20, "\x85\xD5"},
			{3, 0x40, "\xA7\xA5\xAA\xD2"},
			{4, 0x01, "\xE4"},
			{4, 0x02, "\xFC\xB7"},
			{4, 0x04, "\xF6"},
			{4, 0x08, "\xC4"},
			{4, 0x10, "\xDC"},
			{4, 0x20, "\xD6\x92"},
			{4, 0x40, "\xDF"},
	};
	static const std::string utf8Seconds = "\xA4\xB6\xBC\x84\x9C\x96\x9F";
	static const std::string latexSeconds = "auoAUOs";

	text_findings found = {};
	for (size_t i = 0; i < text.size(); i++) {
		char c = text[i];
		char n = i + 1 < text.size() ? text[i + 1] : '\0';
		for (const Rule& rule : rules) {
			if (rule.singles.find(c) != std::string::npos)
				found.candidate[rule.candidate] |= rule.flag;
		}
		size_t pair;
		if (c == '\xC3' && n != '\0'
				&& (pair = utf8Seconds.find(n)) != std::string::npos)
			found.candidate[0] |= 1 << pair;
		if (latex && c == '"' && n != '\0' && (i == 0 || text[i - 1] != '\\')
				&& (pair = latexSeconds.find(n)) != std::string::npos)
			found.candidate[5] |= 1 << pair;
		if (c == '\n')
			found.lineEnds |= 0x01;
		if (c == '\r')
			found.lineEnds |= n == '\n' ? 0x03 : 0x02;
		if (std::string("\x01\x02\x03\x04\x0B\x7F").find(c)
				!= std::string::npos)
			found.atariSigns = true;
		if ((unsigned char)c >= 0x80)
			found.multiByte = true;
	}
	found.validUtf8 = is_utf8(text);
	return found;
}

void
expect_same(const text_findings& a, const text_findings& b, const char* what)
{
	for (int k = 0; k < 6; k++)
		EXPECT_EQ(a.candidate[k], b.candidate[k]) << what << " candidate " << k;
	EXPECT_EQ(a.lineEnds, b.lineEnds) << what;
	EXPECT_EQ(a.validUtf8, b.validUtf8) << what;
	EXPECT_EQ(a.validUtf8 && a.multiByte, b.validUtf8 && b.multiByte) << what;
	EXPECT_EQ(a.atariSigns, b.atariSigns) << what;
}

struct DetectCase {
	const char* what;
	std::string text;
	bool latex;
	int32_t style;
	uint8_t lineEnds;
};

TEST(Detect, ChoosesTheCandidateWithTheHighestFlags)
{
	const DetectCase cases[] = {
			{"plain ASCII", "Hallo\nWelt\n", false, 0, 1},
			{"empty", "", false, 0, 0},
			{"a lone C2 is no UTF-8", "\x84\x94\x81\xE1\xC2 \xE4\xDF", false, 3,
					0},
			{"E6 alone is TOS", "a\xE6z", false, 2, 0},
			{"FA alone is TOS", "\xFA", false, 2, 0},
			{"DOS ä ö ü ties, TOS first", "\x84\x94\x81", false, 2, 0},
			{"DOS sharp s decides for PC", "\x84\x94\x81 \xE1", false, 3, 0},
			{"Mac ä and ß", "\x8A \xA7", false, 4, 0},
			{"ANSI ä", "K\xE4se", false, 5, 0},
			{"UTF-8 Ä also sets TOS and PC ä", "\xC3\x84pfel", false, 1, 0},
			{"UTF-8 ß also sets Mac ü", "Fu\xC3\x9F", false, 1, 0},
			{"UTF-8 euro and quotes",
					"5 \xE2\x82\xAC \xE2\x80\x9E"
					"gut\xE2\x80\x9C",
					false, 1, 0},
			{"UTF-8 c cedilla", "Gar\xC3\xA7on", false, 1, 0},
			{"UTF-8 no-break space",
					"a\xC2\xA0"
					"b",
					false, 1, 0},
			{"acute accent alone", "Akzent \xB4 allein", false, 0, 0},
			{"ANSI ä with an acute accent", "K\xE4se mit Akzent \xB4", false, 5,
					0},
			{"TOS and a C2",
					"Gr\x81\x9E"
					"e \xC2",
					false, 2, 0},
			{"PC and a C2",
					"Gr\x81\xE1"
					"e \xC2",
					false, 3, 0},
			{"MAC and a C2",
					"Gr\x9F\xA7"
					"e \xC2",
					false, 4, 0},
			{"ANSI and a C2",
					"Gr\xFC\xDF"
					"e \xC2",
					false, 5, 0},
			{"a surrogate is no UTF-8", "\xC3\xA4\xED\xA0\x80", false, 4, 0},
			{"an overlong form is no UTF-8", "\xC3\xA4\xE0\x80\x80", false, 4,
					0},
			{"beyond U+10FFFF is no UTF-8", "\xC3\xA4\xF4\x90\x80\x80", false,
					4, 0},
			{"a sequence cut off at the end", "\xC3\xA4\xE2\x82", false, 2, 0},
			{"a sequence broken by ASCII", "\xC3\xA4\xE2\x82x\xAC", false, 2,
					0},
			{"UTF-8 with LaTeX pairs stays UTF-8", "\"s \xC3\xB6", true, 1, 0},
			{"LaTeX ignored without the option", "Gr\"u\"se", false, 0, 0},
			{"LaTeX ties with Mac, Mac first", "\"a \x8A", true, 4, 0},
			{"LaTeX sharp s", "Stra\"se", true, 6, 0},
			{"two quotes and a", "\"\"a", true, 6, 0},
			{"TeX's accent command is no shorthand", "Gr\\\"o\\\"se", true, 0,
					0},
			{"the shorthand after an accent command", "\\\"o \"s", true, 6, 0},
			{"final quote forms no pair", "ab\"", true, 0, 0},
			{"final C3 forms no pair", "ab\xC3", false, 0, 0},
			{"final CR is a CR", "ab\r", false, 0, 2},
			{"CR LF", "a\r\nb\r\n", false, 0, 3},
			{"CR only", "a\rb\r", false, 0, 2},
			{"LF only", "a\nb\n", false, 0, 1},
			{"CR lines and LF lines", "a\rb\nc", false, 0, 3},
	};
	for (const DetectCase& c : cases) {
		text_findings found = scan(c.text, c.latex);
		EXPECT_EQ(decide_style(found, c.latex), c.style) << c.what;
		EXPECT_EQ(found.lineEnds, c.lineEnds) << c.what;
		for (scan_path path : scan_paths())
			expect_same(scan(c.text, c.latex, path),
					reference_scan(c.text, c.latex), c.what);
	}
}

TEST(Detect, FlagValuesFollowTheLetters)
{
	text_findings found = scan("\x84\x94\x81 \xE1");
	EXPECT_EQ(found.candidate[1], 0x07);
	EXPECT_EQ(found.candidate[2], 0x47);
	found = scan("\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x9C\xC3\x96\xC3\x9F");
	EXPECT_EQ(found.candidate[0], 0x7F);
	found = scan("\x9A");
	EXPECT_EQ(found.candidate[1], 0x10);
	EXPECT_EQ(found.candidate[2], 0x10);
	EXPECT_EQ(found.candidate[3], 0x04);
}

TEST(Detect, LaterCandidatesWinOnlyWhenStrictlyHigher)
{
	text_findings found = {};
	EXPECT_EQ(decide_style(found, true), 0);
	found.candidate[4] = 0x40;
	found.candidate[5] = 0x40;
	EXPECT_EQ(decide_style(found, true), 5);
	found.candidate[5] = 0x41;
	EXPECT_EQ(decide_style(found, true), 6);
	EXPECT_EQ(decide_style(found, false), 5) << "LATEX needs the option";
	found.candidate[0] = 0x7F;
	found.candidate[1] = 0x7F;
	EXPECT_EQ(decide_style(found, true), 1);
	found.validUtf8 = false;
	EXPECT_EQ(decide_style(found, true), 2) << "not UTF-8: Be is passed over";
	found.validUtf8 = true;
	found.multiByte = true;
	found.candidate[0] = 0;
	EXPECT_EQ(decide_style(found, true), 1) << "UTF-8 whatever the flags";
}

// A text read in pieces gives what it gives whole, wherever a UTF-8
// sequence is cut.
TEST(Detect, PiecesGiveWhatTheWholeGives)
{
	const std::string texts[] = {
			"Gr\xC3\xBC\xC3\x9F"
			"e \xE2\x82\xAC \xF0\x9F\x98\x80!",
			"\xC3\xA4\xF0\x9F\x98",
			"\xC3\xA4\xE2\x82x\xAC",
			"K\xE4se\r\n\xB4",
			// Sequences across the edges of blocks of 16 and 32 bytes.
			std::string(15, 'x') + "\xC3\xA4" + std::string(14, 'y')
					+ "\xE2\x82\xAC" + std::string(30, 'z')
					+ "\xF0\x9F\x98\x80\r\n",
	};
	for (const std::string& text : texts) {
		std::string padded = text + '\0';
		const uint8_t* data = (const uint8_t*)padded.data();
		text_findings whole = scan(text, false, kScanBytes);
		for (scan_path path : scan_paths()) {
			for (size_t a = 0; a <= text.size(); a++) {
				for (size_t b = a; b <= text.size(); b++) {
					text_scanner scanner(false, path);
					scanner.scan(data, 0, a);
					scanner.scan(data, a, b);
					scanner.scan(data, b, text.size());
					expect_same(scanner.findings(), whole, text.c_str());
				}
			}
		}
	}
}

// Almost UTF-8: each a fault of its own.
const std::string kFaults[] = {
		"\xED\xA0\x80",         // a surrogate
		"\xE0\x9F\xBF",         // overlong, three bytes
		"\xF0\x8F\xBF\xBF",     // overlong, four bytes
		"\xC1\xBF",             // overlong, two bytes
		"\xF4\x90\x80\x80",     // beyond U+10FFFF
		"\xF5\x80\x80\x80",     // no lead at all
		"\xF8\x88\x80\x80\x80", // five bytes
		"\xC3\xA4\xA4",         // one continuation too many
		"\xE2\x82",             // one too few
		"\xF0\x9F\x98",         // one too few of four
};

// Texts that put every kind of byte at every offset of a block, by every
// path.
TEST(Detect, BlockwiseScanMissesNothing)
{
	std::mt19937 random(7);
	const std::string interesting = "\\\n\r\"\xC3\xC2\xE6"
									"aousAOU\x84\x81\xA7\xE4\xB7";
	const std::string sequences[] = {"\xC3\xA4", "\xE2\x82\xAC",
			"\xF0\x9F\x98\x80", "\xED\x9F\xBF", "\xF4\x8F\xBF\xBF"};
	for (int round = 0; round < 3000; round++) {
		size_t length = random() % 200;
		std::string text(length, 'x');
		int specials = random() % 4;
		for (int k = 0; k < specials && length > 0; k++) {
			text[random() % length] = random() % 3 == 0
					? (char)(random() % 256)
					: interesting[random() % interesting.size()];
		}
		// Whole sequences, so that valid UTF-8 comes up as well, and in
		// every other such text one that is not.
		if (round % 2 == 0) {
			if (round % 4 == 0)
				text.assign(length, 'x');
			for (int k = 0; k < specials; k++)
				text.insert(
						random() % (text.size() + 1), sequences[random() % 5]);
			if (round % 8 == 0)
				text.insert(random() % (text.size() + 1),
						kFaults[random() % std::size(kFaults)]);
		}
		for (bool latex : {false, true}) {
			text_findings want = reference_scan(text, latex);
			for (scan_path path : scan_paths())
				expect_same(scan(text, latex, path), want, text.c_str());
		}
	}
}

// Pairs, line ends and sequences at every place of a text of a few blocks,
// across each edge and cut by the end; after them, a byte that still sets
// something new must be seen, though the bytes before it are no longer
// looked at.
TEST(Detect, PairsStraddleEveryBlockEdge)
{
	const struct {
		std::string piece;
		bool latex;
	} cases[] = {
			{"\r\n", false},
			{"\xC3\xA4", false},
			{"\xE2\x82\xAC", false},
			{"\xF0\x9F\x98\x80", false},
			{"\x84\x94\xE1", false},
			{"\"a\"s", true},
			{"\\\"o", true},
	};
	const size_t length = 100;
	for (const std::string& fault : kFaults) {
		for (size_t at = 0; at < length; at++) {
			std::string text(length, 'x');
			text.replace(at, fault.size(), fault);
			text.resize(length);
			text += "\xC3\xBC" + std::string(40, 'w');
			text_findings want = reference_scan(text, false);
			for (scan_path path : scan_paths())
				expect_same(scan(text, false, path), want,
						("fault at " + std::to_string(at)).c_str());
		}
	}
	for (const auto& c : cases) {
		for (size_t at = 0; at < length; at++) {
			std::string text(length, 'x');
			text.replace(at, c.piece.size(), c.piece);
			text.resize(length);
			for (const std::string& more :
					{std::string(), std::string("\xC3\xB6\r")}) {
				std::string whole = text + std::string(40, 'w') + more;
				text_findings want = reference_scan(whole, c.latex);
				for (scan_path path : scan_paths())
					expect_same(scan(whole, c.latex, path), want,
							("piece at " + std::to_string(at)).c_str());
			}
		}
	}
}

TEST(Detect, Utf8TextPassesUnchanged)
{
	const std::string text = "Preis: 5 \xE2\x82\xAC, \xE2\x80\x9E"
							 "billig\xE2\x80\x9C, Gar\xC3\xA7on, K\xC3\xA4se\n";
	text_findings found = scan(text);
	Map map(found.lineEnds, (Table)decide_style(found, false));
	EXPECT_EQ(flat_output(map.entries, text), text);
}

// A letter and one more byte from 0x80 up: whatever that byte is, the
// converted text is UTF-8, and only the few bytes that outrank the letter's
// umlauts by the flag rule take it to another set.
TEST(Detect, AnyOneMoreByteStillGivesUtf8)
{
	const struct {
		const char* what;
		std::string letter;
		int32_t style;
		std::map<int, int32_t> outranking;
	} cases[] = {
			{"DOS",
					"Gr\x81\xE1"
					"e, K\x84se und \x94l\r\n",
					kStylePc,
					{{0x82, kStyleTos}, {0x9E, kStyleTos}, {0xBD, kStyleTos},
							{0xE6, kStyleTos}, {0xFA, kStyleTos}}},
			{"Windows",
					"Gr\xFC\xDF"
					"e, K\xE4se und \xD6l\r\n",
					kStyleAnsi, {{0xE6, kStyleTos}, {0xFA, kStyleTos}}},
	};
	for (const auto& c : cases) {
		for (int extra = 0x80; extra < 0x100; extra++) {
			std::string text = c.letter + (char)extra;
			text_findings found = scan(text);
			int32_t style = decide_style(found, false);
			auto other = c.outranking.find(extra);
			EXPECT_EQ(style,
					other == c.outranking.end() ? c.style : other->second)
					<< c.what << " and " << extra;
			Map map(found.lineEnds, (Table)style);
			EXPECT_TRUE(is_utf8(flat_output(map.entries, text)))
					<< c.what << " and " << extra;
		}
	}
}

TEST(Detect, LineEndFlagsComeFromAnywhereInALongText)
{
	for (scan_path path : scan_paths()) {
		std::string text(100000, 'a');
		text[99990] = '\r';
		EXPECT_EQ(scan(text, false, path).lineEnds, 0x02);
		text[5] = '\n';
		EXPECT_EQ(scan(text, false, path).lineEnds, 0x03);
		text[77777] = '\xE1';
		EXPECT_EQ(decide_style(scan(text, false, path), false), 3);
	}
}

TEST(RewriteLatex, TurnsPairsIntoUtf8InPlace)
{
	const struct {
		std::string before;
		std::string after;
	} cases[] = {
			{"Gr\"u\"se",
					"Gr\xC3\xBC\xC3\x9F"
					"e"},
			{"\"A\"O\"U\"a\"o\"u\"s",
					"Ä"
					"Ö"
					"Ü"
					"ä"
					"ö"
					"ü"
					"ß"},
			{"20\"\xB7", "20°"},
			{"\"\"a", "\"\"a"},
			{"\"x\"a", "\"xä"},
			{"a\"", "a\""},
			{"\"\"\"a", "\"\"ä"},
			{"\"e", "\"e"},
			{"\\\"o", "\\\"o"},
			{"\\\"o\"o", "\\\"oö"},
			{"\\\"\"a", "\\\"\"a"},
	};
	for (const auto& c : cases) {
		std::string text = c.before;
		rewrite_latex((uint8_t*)text.data(), text.size());
		EXPECT_EQ(text, c.after) << c.before;
	}
}

} // namespace
