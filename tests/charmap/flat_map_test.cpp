// The flat byte loop gives exactly what the entries say, byte for byte.
#include "charmap/map_helpers.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Mostly text, with runs of plain ASCII, line ends, control and high bytes,
// like a real file and its worst cases.
std::string
mixed_text(size_t size, unsigned seed)
{
	std::mt19937 random(seed);
	std::string text;
	while (text.size() < size) {
		switch (random() % 6) {
		case 0:
			text.append(random() % 40, 'a' + (char)(random() % 26));
			break;
		case 1:
			text += "\r\n";
			break;
		case 2:
			text.push_back((char)(random() % 32));
			break;
		case 3:
		case 4:
			text.push_back((char)(0x80 + random() % 128));
			break;
		default:
			text.push_back((char)(random() % 256));
			break;
		}
	}
	text.resize(size);
	return text;
}

TEST(FlatMap, AgreesWithTheEntriesForEveryTableAndOption)
{
	const Table tables[] = {Table::none, Table::tos, Table::pc, Table::mac,
			Table::ansi, Table::latex};
	unsigned seed = 1;
	for (int32_t nul : {0, 1, 2}) {
		for (int32_t tab : {0, 8}) {
			OptionScope nulOption(nyl_mod, nul);
			OptionScope tabOption(anz_tab, tab);
			for (int style = 0; style < 4; style++) {
				for (Table table : tables) {
					Map map(style, table);
					std::string source = mixed_text(5000, seed++);
					std::string want = reference_output(map.entries, source);
					for (map_path path : map_paths()) {
						EXPECT_EQ(
								flat_output(map.entries, source, 1 << 16, path),
								want);
						EXPECT_EQ(flat_output(map.entries, source, 64, path),
								want)
								<< "one text at a time";
						EXPECT_EQ(flat_output(map.entries, source, 97, path),
								want);
						EXPECT_EQ(flat_output(map.entries, source, 700, path),
								want);
					}
				}
			}
		}
	}
}

TEST(FlatMap, HandlesEveryLengthAroundTheBlockSize)
{
	Map map(3, Table::pc);
	for (size_t length = 0; length < 280; length++) {
		std::string source = mixed_text(length, (unsigned)length);
		std::string ascii(length, 'x');
		for (map_path path : map_paths()) {
			EXPECT_EQ(flat_output(map.entries, source, 1 << 16, path),
					reference_output(map.entries, source))
					<< "length " << length << " path " << path;
			EXPECT_EQ(flat_output(map.entries, ascii, 1 << 16, path), ascii);
		}
	}
}

// Line ends and letters of two and three bytes at every place of a text
// longer than a few blocks: across each block's edge, and cut by the end.
TEST(FlatMap, PairsAndLongTextsStraddleEveryBlockEdge)
{
	const struct {
		int lineEnds;
		Table table;
		std::string piece;
	} cases[] = {
			{3, Table::pc, "\r\n"},
			{3, Table::pc, "\r\r\n\n"},
			{2, Table::mac, "\r\n"},
			{3, Table::pc, "\x84\x94"},           // two bytes each
			{3, Table::pc, "\xC4\xDB"},           // three bytes each
			{1, Table::ansi, "\x01\xE4"},         // nothing, then two bytes
			{3, Table::none, "\r\n\xE2\x82\xAC"}, // UTF-8 passes in runs
			{0, Table::none, "\x7F\x80\x1B"},
	};
	const size_t length = 260;
	for (const auto& c : cases) {
		Map map(c.lineEnds, c.table);
		for (size_t at = 0; at < length; at++) {
			std::string source(length, 'x');
			source.replace(at, c.piece.size(), c.piece);
			source.resize(length);
			std::string want = reference_output(map.entries, source);
			for (map_path path : map_paths())
				EXPECT_EQ(flat_output(map.entries, source, 1 << 16, path), want)
						<< "piece at " << at << " path " << path;
		}
	}
}

TEST(FlatMap, DumpModesAndChangedLettersTakeTheByteByBytePath)
{
	Map dump(1);
	dump.entries[0].SetHexa();
	std::string source = mixed_text(3000, 99);
	EXPECT_EQ(flat_output(dump.entries, source),
			reference_output(dump.entries, source));

	Map changed(1, Table::ansi);
	static char word[] = "[A]";
	changed.entries['A'].setStr(word);
	source = "AbBA" + source + "A";
	EXPECT_EQ(flat_output(changed.entries, source),
			reference_output(changed.entries, source));
}

TEST(FlatMap, HonoursSkipCountsEvenPastTheEnd)
{
	Map map(1);
	map.entries['x'].setb(2);
	const struct {
		std::string source;
		std::string output;
	} cases[] = {
			{"axbcd", "axd"},
			{"ax", "ax"},
			{"abcx1", "abcx"},
			{std::string(40, 'a') + "x12" + std::string(20, 'b'),
					std::string(40, 'a') + "x" + std::string(20, 'b')},
	};
	for (const auto& c : cases) {
		EXPECT_EQ(reference_output(map.entries, c.source), c.output);
		EXPECT_EQ(flat_output(map.entries, c.source), c.output);
		EXPECT_EQ(flat_output(map.entries, c.source, 64), c.output);
	}
}

TEST(FlatMap, NegativeSkipCountsCannotStallTheLoop)
{
	Map map(1);
	map.entries['x'].setb(-1);
	EXPECT_EQ(flat_output(map.entries, "axb"), "axb");
}

TEST(FlatMap, NeedsRoomForItsSlack)
{
	Map map(1);
	flat_map flat;
	flatten_map(map.entries, 0, flat);
	char out[kMapBytesSlack];
	size_t position = 0;
	const uint8_t source[] = {'a', 'b'};
	EXPECT_EQ(map_bytes(flat, source, 2, position, out, sizeof(out) - 1), 0u);
	EXPECT_EQ(position, 0u);
	EXPECT_EQ(map_bytes(flat, source, 2, position, out, sizeof(out)), 1u)
			<< "the bare slack still moves on";
	EXPECT_EQ(position, 1u);
}

} // namespace
