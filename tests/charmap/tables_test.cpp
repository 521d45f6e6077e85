// Every byte of every table, against sources that are not the tables
// themselves: glibc's iconv for the published code pages, with the system's
// own choices on top, and the TOS grid written out here.
#include "charmap/map_helpers.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <stdio.h>

#include <map>
#include <sstream>

namespace {

std::string
utf8(uint32_t codePoint)
{
	std::string s;
	if (codePoint < 0x80) {
		s.push_back((char)codePoint);
	} else if (codePoint < 0x800) {
		s.push_back((char)(0xC0 | codePoint >> 6));
		s.push_back((char)(0x80 | (codePoint & 0x3F)));
	} else {
		s.push_back((char)(0xE0 | codePoint >> 12));
		s.push_back((char)(0x80 | ((codePoint >> 6) & 0x3F)));
		s.push_back((char)(0x80 | (codePoint & 0x3F)));
	}
	return s;
}

// What glibc makes of one byte in the given character set; empty when it
// knows no mapping.
std::string
iconv_byte(const char* charset, int byte)
{
	iconv_t cd = iconv_open("UTF-8", charset);
	if (cd == (iconv_t)-1) {
		ADD_FAILURE() << "iconv has no " << charset;
		return "";
	}
	char in[1] = {(char)byte};
	char out[16];
	char* inPointer = in;
	char* outPointer = out;
	size_t inLeft = 1;
	size_t outLeft = sizeof(out);
	size_t result = iconv(cd, &inPointer, &inLeft, &outPointer, &outLeft);
	iconv_close(cd);
	if (result == (size_t)-1)
		return "";
	return std::string(out, outPointer);
}

// The output of a byte under the default map with LF line ends.
std::string
plain(int byte)
{
	if (byte == 9 || byte == 10 || byte >= 32)
		return std::string(1, (char)byte);
	return "";
}

using Overrides = std::map<int, std::string>;
const std::string kUnchanged = "unchanged";

void
expect_table(Table table, const char* name,
		const std::function<std::string(int)>& expected)
{
	Map map(1, table);
	for (int byte = 0; byte < 256; byte++) {
		std::string want = expected(byte);
		if (want == kUnchanged)
			want = plain(byte);
		char hex[8];
		snprintf(hex, sizeof(hex), "0x%02X", byte);
		EXPECT_EQ(map.text(byte), want) << name << " byte " << hex;
		EXPECT_EQ(map.entries[byte].getb(), 0) << name << " byte " << hex;
	}
}

std::function<std::string(int)>
iconv_with(const char* charset, const Overrides& overrides)
{
	return [charset, overrides](int byte) {
		auto found = overrides.find(byte);
		if (found != overrides.end())
			return found->second;
		if (byte < 0x80)
			return kUnchanged;
		return iconv_byte(charset, byte);
	};
}

TEST(Tables, PcIsCodePage437WithItsOwnChoices)
{
	const Overrides ownChoices = {
			{0xA9, utf8(0x00AE)},
			{0xB7, utf8(0x00B7)},
			{0xB8, utf8(0x00A9)},
			{0xE6, utf8(0x03BC)},
			{0xE8, utf8(0x03BE)},
			{0xE9, utf8(0x03B8)},
			{0xED, utf8(0x00D8)},
			{0xF9, utf8(0x02D9)},
	};
	expect_table(Table::pc, "PC", iconv_with("CP437", ownChoices));
}

TEST(Tables, MacIsMacIcelandicWithItsOwnChoices)
{
	// glibc has Mac OS Roman; Icelandic differs from it in six bytes. At
	// 0xC6 glibc keeps the Greek capital delta that Apple's published table
	// replaced by U+2206 INCREMENT, and at 0xF0 it puts the Apple logo at
	// another private code point than Apple's U+F8FF.
	const Overrides ownChoices = {
			{0xA0, utf8(0x00DD)},
			{0xDC, utf8(0x00D0)},
			{0xDD, utf8(0x00F0)},
			{0xDE, utf8(0x00DE)},
			{0xDF, utf8(0x00FE)},
			{0xE0, utf8(0x00FD)},
			{0xC6, utf8(0x2206)},
			{0xDB, utf8(0x00A4)},
			{0xFB, utf8(0x00B0)},
			{0xF0, utf8(0xF8FF)},
	};
	expect_table(Table::mac, "MAC", iconv_with("MACINTOSH", ownChoices));
}

TEST(Tables, AnsiIsWindows1252WithItsOwnChoices)
{
	// Where Windows-1252 assigns nothing, the control character of the
	// byte's value.
	const Overrides ownChoices = {
			{0x81, utf8(0x0081)},
			{0x8D, utf8(0x008D)},
			{0x8F, utf8(0x008F)},
			{0x90, utf8(0x0090)},
			{0x9D, utf8(0x009D)},
			{0x92, utf8(0x00B4)},
			{0x94, "\""},
	};
	expect_table(Table::ansi, "ANSI", iconv_with("CP1252", ownChoices));
}

// The TOS character set, row by row from 0x80.
// clang-format off
const char* const kTosGrid[8] = {
	"00C7 00FC 00E9 00E2 00E4 00E0 00E5 00E7 00EA 00EB 00E8 00EF 00EE 00EC 00C4 00C5",
	"00C9 00E6 00C6 00F4 00F6 00F2 00FB 00F9 00FF 00D6 00DC 00A2 00A3 00A5 00DF 0192",
	"00E1 00ED 00F3 00FA 00F1 00D1 00AA 00BA 00BF 2310 00AC 00BD 00BC 00A1 00AB 00BB",
	"00E3 00F5 00D8 00F8 0153 0152 00C0 00C3 00D5 00A8 00B4 2020 00B6 00A9 00AE 2122",
	"0133 0132 05D0 05D1 05D2 05D3 05D4 05D5 05D6 05D7 05D8 05D9 05DB 05DC 05DE 05E0",
	"05E1 05E2 05E4 05E6 05E7 05E8 05E9 05EA 05DF 05DA 05DD 05E3 05E5 00A7 005E 221E",
	"03B1 00DF 0393 03C0 2211 03C3 00B5 03C4 03A6 0398 03A9 03B4 222E 00D8 2208 220F",
	"2261 00B1 2265 2264 2320 2321 00F7 2248 00B0 2022 00B7 221A 207F 00B2 00B3 00AF",
};
// clang-format on

TEST(Tables, TosFollowsItsGrid)
{
	Overrides grid = {
			{0x01, utf8(0x2191)},
			{0x02, utf8(0x2193)},
			{0x03, utf8(0x2192)},
			{0x04, utf8(0x2190)},
			{0x0B, utf8(0x266A)},
			{0x7F, utf8(0x2206)},
	};
	for (int row = 0; row < 8; row++) {
		std::istringstream cells(kTosGrid[row]);
		std::string cell;
		int column = 0;
		while (cells >> cell) {
			grid[0x80 + row * 16 + column]
					= utf8((uint32_t)std::stoul(cell, nullptr, 16));
			column++;
		}
		ASSERT_EQ(column, 16) << "row " << row;
	}
	expect_table(Table::tos, "TOS", [&grid](int byte) {
		auto found = grid.find(byte);
		return found != grid.end() ? found->second : kUnchanged;
	});
}

TEST(Tables, LatexNamesOnlyTheDegreeSignAndDropsFf)
{
	expect_table(Table::latex, "LATEX", [](int byte) {
		if (byte == 0xB7)
			return utf8(0x00B0);
		if (byte == 0xFF)
			return std::string();
		return kUnchanged;
	});
}

TEST(Tables, SampleBytes)
{
	const struct {
		Table table;
		int byte;
		std::string text;
	} cases[] = {
			{Table::ansi, 0xE4, "ä"},
			{Table::ansi, 0x80, "€"},
			{Table::ansi, 0x93, "“"},
			{Table::ansi, 0x92, "´"},
			{Table::ansi, 0x94, "\""},
			{Table::pc, 0x84, "ä"},
			{Table::pc, 0xE1, "ß"},
			{Table::pc, 0xB3, "│"},
			{Table::pc, 0xE6, "μ"},
			{Table::pc, 0xEE, "ε"},
			{Table::mac, 0x8A, "ä"},
			{Table::mac, 0xA7, "ß"},
			{Table::mac, 0xA0, "Ý"},
			{Table::mac, 0xDB, "¤"},
			{Table::mac, 0xFF, "ˇ"},
			{Table::tos, 0x84, "ä"},
			{Table::tos, 0x9E, "ß"},
			{Table::tos, 0xE1, "ß"},
			{Table::tos, 0x01, "↑"},
			{Table::tos, 0x7F, "∆"},
			{Table::tos, 0xDE, "^"},
			{Table::tos, 0xC5, "ד"},
			{Table::tos, 0x05, ""},
			{Table::tos, 0x0C, ""},
			{Table::latex, 0xB7, "°"},
			{Table::latex, 0xFF, ""},
			{Table::latex, 0xE4, "\xE4"},
	};
	for (const auto& c : cases) {
		Map map(1, c.table);
		EXPECT_EQ(map.text(c.byte), c.text) << "byte " << c.byte;
	}
}

TEST(Tables, EveryByteOfACodePageGivesUtf8)
{
	std::string all;
	for (int byte = 0; byte < 256; byte++)
		all.push_back((char)byte);
	for (Table table : {Table::tos, Table::pc, Table::mac, Table::ansi}) {
		Map map(1, table);
		EXPECT_TRUE(is_utf8(reference_output(map.entries, all)))
				<< "table " << (int)table;
	}
}

TEST(Tables, LeaveNulTabAndLineEndsToTheOptions)
{
	const Table tables[]
			= {Table::tos, Table::pc, Table::mac, Table::ansi, Table::latex};
	for (int32_t tab : {0, 4}) {
		for (int32_t nul : {0, 1, 2}) {
			OptionScope tabOption(anz_tab, tab);
			OptionScope nulOption(nyl_mod, nul);
			for (int style = 0; style < 4; style++) {
				Map base(style);
				for (Table table : tables) {
					Map loaded(style, table);
					for (int byte : {0, 9, 10, 13})
						EXPECT_EQ(loaded.text(byte), base.text(byte))
								<< "byte " << byte << " style " << style;
				}
			}
		}
	}
}

} // namespace
