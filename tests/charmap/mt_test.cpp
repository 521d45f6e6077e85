// The entries of the map, the map-wide reset and the output options.
#include "charmap/map_helpers.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct EntryCase {
	const char* what;
	std::function<void(mt&)> operation;
	std::string text;
};

TEST(Entry, TextSettingOperationsReplaceTheWholeText)
{
	static char abc[] = "abc";
	static char tooLong[] = "0123456789abcdefghij";
	const EntryCase cases[] = {
			{"set2dez 5", [](mt& e) { e.set2dez(5); }, "[5]"},
			{"set2dez 200", [](mt& e) { e.set2dez(200); }, "[200]"},
			{"set2dez 256", [](mt& e) { e.set2dez(256); }, "[256]"},
			{"set2dez -7", [](mt& e) { e.set2dez(-7); }, "[-7]"},
			{"set2hex 5", [](mt& e) { e.set2hex(5); }, "[x 5]"},
			{"set2hex 10", [](mt& e) { e.set2hex(10); }, "[x A]"},
			{"set2hex 31", [](mt& e) { e.set2hex(31); }, "[x1F]"},
			{"set2hex 256", [](mt& e) { e.set2hex(256); }, "[x100]"},
			{"setStr", [](mt& e) { e.setStr(abc); }, "abc"},
			{"setStr cut to the entry", [](mt& e) { e.setStr(tooLong); },
					"0123456789a"},
			{"ud one byte", [](mt& e) { e.ud(0x41); }, "A"},
			{"ud low eight bits", [](mt& e) { e.ud(0x141); }, "A"},
			{"ud zero", [](mt& e) { e.ud(0); }, ""},
			{"ud pair", [](mt& e) { e.ud(0xC3, 0xA4); }, "\xC3\xA4"},
			{"ud pair ending in zero", [](mt& e) { e.ud(0xC3, 0); }, "\xC3"},
			{"ud letter then zero", [](mt& e) { e.ud(0x41, 0); }, "A"},
			{"ud zero then letter", [](mt& e) { e.ud(0, 0x41); }, ""},
			{"ud with hyphen", [](mt& e) { e.ud('a', 'b'); }, "a-b"},
			{"ud three", [](mt& e) { e.ud(0xE2, 0x84, 0xA2); }, "\xE2\x84\xA2"},
			{"ud three cut", [](mt& e) { e.ud(0xE2, 0, 0xA2); }, "\xE2"},
	};
	for (const EntryCase& c : cases) {
		mt entry;
		entry.setStr(abc);
		c.operation(entry);
		EXPECT_EQ(std::string(entry.str), c.text) << c.what;
		EXPECT_EQ(entry.getb(), 0) << c.what;
	}
}

TEST(Entry, StartsAsPlaceholderWithoutSkip)
{
	mt entry;
	EXPECT_STREQ(entry.str, "s-");
	EXPECT_EQ(entry.getb(), 0);
	entry.setb(3);
	EXPECT_EQ(entry.getb(), 3);
	EXPECT_EQ(entry.b, 3);
}

TEST(Entry, PrintsItsTextPlainAndBetweenBars)
{
	mt entry;
	entry.ud(0xC3, 0xA4);
	testing::internal::CaptureStdout();
	entry.sout();
	entry.nout();
	EXPECT_EQ(testing::internal::GetCapturedStdout(), "\xC3\xA4|\xC3\xA4|");
}

TEST(Clear, GivesEveryByteItsDefault)
{
	Map map(1);
	mt* entries = map.entries;
	for (int k = 0; k < 256; k++)
		entries[k].setb(7);
	entries[0].Clear();
	for (int k = 0; k < 256; k++) {
		std::string expected;
		if (k == 9)
			expected = "\t";
		else if (k >= 32)
			expected = std::string(1, (char)k);
		EXPECT_EQ(map.text(k), expected) << "byte " << k;
		EXPECT_EQ(entries[k].getb(), 0) << "byte " << k;
	}
	EXPECT_STREQ(entries[0].ext, "-N");
	EXPECT_STREQ(entries[256].str, "s-") << "the spare entry is not touched";
}

TEST(Clear, UndoesAnEarlierTableAndDump)
{
	Map map(2, Table::tos);
	map.entries[0].SetHexa();
	map.entries[0].Clear();
	Map fresh(0);
	fresh.entries[0].Clear();
	for (int k = 0; k < 256; k++)
		EXPECT_EQ(map.text(k), fresh.text(k)) << "byte " << k;
	EXPECT_STREQ(map.entries[0].ext, "-N");
}

struct OutputCase {
	std::string source;
	std::string output;
};

TEST(Clear, DropsControlBytesAndKeepsTheRest)
{
	const OutputCase cases[] = {
			{bytes({0x01, 0x41, 0x1B, 0x42}), "AB"},
			{"\xC3\xA4", "\xC3\xA4"}, // UTF-8 survives without a table
			{"\xE4", "\xE4"},
			{bytes({0x7F, 0x80, 0xFF}), bytes({0x7F, 0x80, 0xFF})},
			{"a\tb", "a\tb"},
	};
	Map map(1);
	for (const OutputCase& c : cases)
		EXPECT_EQ(reference_output(map.entries, c.source), c.output);
}

TEST(SetTab, ExpandsOnlyToOneTwoFourOrEightSpaces)
{
	const struct {
		int32_t width;
		std::string text;
	} cases[] = {
			{0, "\t"},
			{1, " "},
			{2, "  "},
			{3, "\t"},
			{4, "    "},
			{5, "\t"},
			{6, "\t"},
			{7, "\t"},
			{8, "        "},
			{9, "\t"},
			{16, "\t"},
			{-1, "\t"},
			{-4, "\t"},
	};
	for (const auto& c : cases) {
		OptionScope option(anz_tab, c.width);
		Map map(1);
		EXPECT_EQ(map.text(9), c.text) << "anz_tab " << c.width;
		EXPECT_EQ(reference_output(map.entries, "a\tb"), "a" + c.text + "b")
				<< "no alignment to tab stops, anz_tab " << c.width;
	}
	Map map(1);
	map.entries[0].SetTab(0x100000004UL);
	EXPECT_EQ(map.text(9), "\t") << "only the whole value counts";
}

TEST(SetNyl, DropsKeepsOrSpacesNul)
{
	const struct {
		int32_t mode;
		std::string text;
		std::string output;
	} cases[] = {
			{0, "", "ab"},
			{1, " ", "a b"},
			{2, "", std::string("a\0b", 3)},
			{7, "", "ab"},
			{-1, "", "ab"},
	};
	for (const auto& c : cases) {
		OptionScope option(nyl_mod, c.mode);
		Map map(1);
		EXPECT_EQ(map.text(0), c.text) << "nyl_mod " << c.mode;
		std::string source("a\0b", 3);
		EXPECT_EQ(reference_output(map.entries, source), c.output)
				<< "nyl_mod " << c.mode;
		EXPECT_EQ(flat_output(map.entries, source), c.output)
				<< "nyl_mod " << c.mode;
	}
}

TEST(SetNewline, TurnsEveryLineEndIntoLf)
{
	const struct {
		int style;
		std::string source;
		std::string output;
	} cases[] = {
			{3, "a\r\nb", "a\nb"},
			{3, "a\nb\rc\n", "a\nb\nc\n"}, // a lone CR ends its line too
			{3, "a\r\r\nb\r", "a\n\nb\n"},
			{3, "a\n\r\rb", "a\n\n\nb"},
			{2, "a\rb\r", "a\nb\n"},
			{2, "a\nb", "ab"},
			{1, "a\nb", "a\nb"},
			{1, "a\rb", "ab"},
			{0, "a\nb\r", "a\nb"},
			{5, "a\r\nb", "a\nb"}, // styles beyond the four act as LF
			{-1, "a\r\nb", "a\nb"},
	};
	for (const auto& c : cases) {
		Map map(c.style);
		EXPECT_EQ(reference_output(map.entries, c.source), c.output)
				<< "style " << c.style;
		EXPECT_EQ(flat_output(map.entries, c.source), c.output)
				<< "style " << c.style;
	}
}

TEST(Dump, HexadecimalShowsControlAndHighBytes)
{
	Map map(1, Table::pc);
	map.entries[0x41].setb(0); // skip counts stay as they were
	map.entries[0xE4].setb(2);
	map.entries[0].SetHexa();
	EXPECT_EQ(reference_output(map.entries, bytes({0x41, 0x0A, 0x01})),
			"A\n[x 1]");
	EXPECT_EQ(map.text(0xE4), "[xE4]");
	EXPECT_EQ(map.entries[0xE4].getb(), 2);
	EXPECT_EQ(map.text(0x0D), "\r");
	EXPECT_EQ(map.text(0x00), "[x 0]");
	EXPECT_EQ(map.text(0x1F), "[x1F]");
	EXPECT_EQ(map.text(0x7F), "\x7F");
	EXPECT_EQ(map.text(0x80), "[x80]");
	EXPECT_EQ(map.text(256), "[x100]");
	EXPECT_STREQ(map.entries[0].ext, "h");
}

TEST(Dump, DecimalOverridesTabAndNul)
{
	OptionScope tab(anz_tab, 8);
	OptionScope nul(nyl_mod, 1);
	Map map(2, Table::tos);
	map.entries[0].SetDezimal();
	EXPECT_EQ(map.text(9), "[9]");
	EXPECT_EQ(map.text(0), "[0]");
	EXPECT_EQ(map.text(10), "\n");
	EXPECT_EQ(map.text(13), "\r");
	EXPECT_EQ(map.text(0x84), "[132]");
	EXPECT_EQ(map.text(0x01), "[1]") << "the TOS arrow is gone";
	EXPECT_EQ(map.text(256), "[256]");
	EXPECT_STREQ(map.entries[0].ext, "d");
}

} // namespace
