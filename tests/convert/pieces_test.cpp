// A large text on several threads: scanned, summed, converted and written in
// pieces, it gives byte for byte what one thread gives, wherever its pairs
// are cut, and a file cut short meanwhile stops every thread.
#include "charmap/map_helpers.h"
#include "convert/bus_guard.h"
#include "convert/convert.h"
#include "convert/detect.h"
#include "convert/result.h"
#include "convert/scan_pieces.h"
#include "convert/stamp.h"
#include "convert/threads.h"
#include "convert/write_text.h"
#include "support/files.h"
#include "support/options.h"
#include "support/paths.h"

#include <gtest/gtest.h>
#include <xxhash.h>

#include <signal.h>
#include <sys/mman.h>

#include <string>
#include <vector>

namespace {

using test::Folder;
using test::read_file;
using test::write_file;

const int kThreads = 3;

// Piece sizes that put every pair of a short text across an edge somewhere,
// and a few past the blocks of the wide loops.
const size_t kPieceSizes[] = {1, 2, 3, 4, 5, 7, 33, 64, 97};

std::string
repeated(const std::string& unit, size_t size)
{
	std::string text;
	while (text.size() < size)
		text += unit;
	text.resize(size);
	return text;
}

// The library's own XXH3 of the whole text at once.
uint64_t
checksum_of(const std::string& text)
{
	return XXH3_64bits(text.data(), text.size());
}

// Texts whose pairs of two to four bytes fall on every edge of the pieces.
struct PairText {
	const char* what;
	std::string unit;
	bool latex;
};

const PairText kPairTexts[] = {
		{"CR LF line ends", "ab\r\n\r\r\n\n", false},
		{"DOS umlauts",
				"Gr\x81\xE1"
				"e\r\n\x99l ",
				false},
		{"UTF-8 of two, three and four bytes",
				"K\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x98\x80\r\n", false},
		{"UTF-8 cut short before ASCII", "\xC3\xA4 \xE2\x82 x", false},
		{"four continuation bytes", "\xC3\xA4\x80\x80\x80\x80 ", false},
		{"a surrogate", "\xC3\xA4\xED\xA0\x80 ", false},
		{"LaTeX pairs", "Gr\"u\"se \\\"o \"\"a\r\n", true},
		{"a Be indicator", "x\xC2y\xC3", false},
		{"the Atari table's signs", "a\x01 \x7F\x0B\x84 ", false},
};

void
expect_same(
		const text_findings& a, const text_findings& b, const std::string& what)
{
	for (int k = 0; k < 6; k++)
		EXPECT_EQ(a.candidate[k], b.candidate[k]) << what << " candidate " << k;
	EXPECT_EQ(a.lineEnds, b.lineEnds) << what;
	EXPECT_EQ(a.validUtf8, b.validUtf8) << what;
	EXPECT_EQ(a.validUtf8 && a.multiByte, b.validUtf8 && b.multiByte) << what;
	EXPECT_EQ(a.atariSigns, b.atariSigns) << what;
}

TEST(Pieces, ScannedApartTheyFindWhatOnePassFinds)
{
	for (const PairText& text : kPairTexts) {
		for (size_t size : {size_t(0), size_t(11), size_t(300)}) {
			// Valid UTF-8 stays valid only where the text is cut whole.
			std::string whole = repeated(text.unit, size);
			std::string padded = whole + '\0';
			const uint8_t* data = (const uint8_t*)padded.data();
			text_findings one = scan_text(data, size, text.latex, kScanBytes);
			text_contexts all = gather_contexts(data, size);
			for (size_t pieceSize : kPieceSizes) {
				for (scan_path path :
						test::processor_paths<scan_path>(kScanPaths)) {
					test::OptionScope plan(forced_plan, {kThreads, pieceSize});
					text_scanner scanner(text.latex, path);
					text_checksum sum;
					text_contexts contexts;
					ASSERT_TRUE(
							scan_and_sum(data, size, scanner, contexts, sum));
					std::string what = std::string(text.what) + ", "
							+ std::to_string(size) + " bytes in pieces of "
							+ std::to_string(pieceSize) + ", path "
							+ std::to_string(path);
					expect_same(scanner.findings(), one, what);
					EXPECT_EQ(contexts.Places(), all.Places()) << what;
					EXPECT_EQ(contexts.Strays(), all.Strays()) << what;
					EXPECT_EQ(contexts.MostlyUtf8(), all.MostlyUtf8()) << what;
					EXPECT_EQ(sum.Result(), checksum_of(whole)) << what;
				}
			}
		}
	}
}

// Beyond the start of a long 8-bit text, the first place of each byte value
// in every piece is judged, however it is found: by the scan's own blocks
// or by a look of its own. A character that occurs once, near the end, is
// among them.
TEST(Pieces, EveryValueOfALongTextIsFoundByEveryPath)
{
	std::string text;
	while (text.size() < text_contexts::kWholeUpTo + 1024 * 1024)
		text += "Gr\x81\xE1"
				"e aus K\x94ln, \x84 und \x8E.\r\n";
	size_t lone = text.size() - 100;
	text[lone] = '\xAB';
	std::string padded = text + '\0';
	const uint8_t* data = (const uint8_t*)padded.data();
	std::vector<uint64_t> first;
	for (scan_path path : test::processor_paths<scan_path>(kScanPaths)) {
		test::OptionScope plan(forced_plan, {kThreads, 0});
		text_scanner scanner(false, path);
		text_contexts contexts;
		text_checksum sum;
		ASSERT_TRUE(scan_and_sum(data, text.size(), scanner, contexts, sum));
		if (first.empty())
			first = contexts.Places();
		EXPECT_EQ(contexts.Places(), first) << "path " << path;
		EXPECT_TRUE(contexts.Holds(0xAB)) << "path " << path;
	}
}

// What write_converted puts into a fresh file: its bytes and the stamp's
// size and checksum of them.
struct Written {
	std::string text;
	conversion_stamp stamp;
	int error;
};

Written
write_through(Map& map, const std::string& source, const std::string& path)
{
	// A fresh file each time: one emptied would wait for the disk.
	unlink(path.c_str());
	int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
	Written written;
	written.error = write_converted(fd, map.entries,
			(const uint8_t*)source.data(), source.size(), false, written.stamp);
	close(fd);
	written.text = read_file(path);
	return written;
}

// Every length from two bytes short of each of the first edges of the
// pieces to two bytes beyond it.
std::vector<size_t>
around_edges(size_t pieceSize)
{
	std::vector<size_t> sizes;
	for (size_t edge = 0; edge <= 3 * pieceSize; edge += pieceSize) {
		size_t from = edge < 2 ? 0 : edge - 2;
		if (!sizes.empty() && from <= sizes.back())
			from = sizes.back() + 1;
		for (size_t size = from; size <= edge + 2; size++)
			sizes.push_back(size);
	}
	return sizes;
}

TEST(Pieces, WrittenApartTheyGiveWhatOneThreadGives)
{
	const struct {
		int lineEnds;
		Table table;
	} maps[] = {
			{3, Table::pc},   // CR LF gives one LF
			{2, Table::mac},  // each CR gives one
			{3, Table::none}, // UTF-8 goes through in runs
	};
	Folder folder;
	for (const auto& m : maps) {
		Map map(m.lineEnds, m.table);
		for (const PairText& text : kPairTexts) {
			for (size_t pieceSize : {1, 2, 3, 7, 97}) {
				for (size_t size : around_edges(pieceSize)) {
					std::string source = repeated(text.unit, size);
					std::string want = reference_output(map.entries, source);
					test::OptionScope plan(forced_plan, {kThreads, pieceSize});
					Written written
							= write_through(map, source, folder / "new");
					std::string what = std::string(text.what) + ", "
							+ std::to_string(size) + " bytes in pieces of "
							+ std::to_string(pieceSize);
					ASSERT_EQ(written.error, 0) << what;
					EXPECT_EQ(written.text, want) << what;
					EXPECT_EQ(written.stamp.size, want.size()) << what;
					EXPECT_EQ(written.stamp.checksum, checksum_of(want))
							<< what;
				}
			}
		}
	}
}

// A piece whose text is longer than the buffer of its thread goes in parts.
TEST(Pieces, OneLargerThanItsBufferGoesInParts)
{
	Map map(3, Table::pc);
	std::string source = repeated("\xC4\xDB\r\n", 3 * 1024 * 1024 + 5);
	std::string want = reference_output(map.entries, source);
	test::OptionScope plan(forced_plan, {kThreads, 1024 * 1024});
	Folder folder;
	Written written = write_through(map, source, folder / "new");
	EXPECT_EQ(written.error, 0);
	EXPECT_TRUE(written.text == want);
	EXPECT_EQ(written.stamp.checksum, checksum_of(want));
}

// A whole conversion, on one thread and on several: the same file, the same
// stamp.
TEST(Pieces, ConvertedOnSeveralThreadsAsOnOne)
{
	const struct {
		const char* what;
		std::string unit;
		int32_t popInd;
	} cases[] = {
			{"DOS",
					"Liebe Gr\x81\xE1"
					"e aus \x99sterreich!\r\n",
					0},
			{"UTF-8",
					"Gr\xC3\xBC\xC3\x9F"
					"e \xE2\x82\xAC\r\n",
					0},
			{"LaTeX", "Gr\"u\"se aus \"Osterreich\r\n", 3},
	};
	// Mapped, not read: a text beyond the size that is read into memory.
	const size_t size = 300 * 1024 + 7;
	for (const auto& c : cases) {
		std::string source = repeated(c.unit, size);
		test::OptionScope pop(pop_ind, c.popInd);
		std::string text[2];
		conversion_stamp stamp[2];
		for (int threads : {1, kThreads}) {
			test::OptionScope plan(
					forced_plan, {threads, threads > 1 ? size_t(4093) : 0});
			Folder folder;
			std::string path = folder / "Brief.txt";
			write_file(path, source);
			testing::internal::CaptureStdout();
			AlyBFile(path.data());
			testing::internal::GetCapturedStdout();
			ASSERT_TRUE(last_result.converted) << c.what << last_result.reason;
			int i = threads > 1;
			text[i] = read_file(path);
			int fd = open(path.c_str(), O_RDONLY);
			ASSERT_EQ(read_stamp(fd, stamp[i]), 0) << c.what;
			close(fd);
		}
		EXPECT_TRUE(text[0] == text[1]) << c.what;
		EXPECT_EQ(stamp[0].size, stamp[1].size) << c.what;
		EXPECT_EQ(stamp[0].checksum, stamp[1].checksum) << c.what;
		EXPECT_EQ(stamp[1].originalSize, size) << c.what;
		EXPECT_EQ(stamp[0].originalChecksum, stamp[1].originalChecksum)
				<< c.what;
		EXPECT_EQ(stamp[1].originalChecksum, checksum_of(source)) << c.what;
	}
}

// Touches every page of a region that is gone.
void
touch_pages(void* cookie)
{
	const volatile char* data = (const volatile char*)cookie;
	for (size_t at = 0; at < 3 * 4096; at += 4096)
		(void)data[at];
}

void
no_stop(void*)
{
}

TEST(Pieces, EveryThreadIsGuardedAndTheHandlerComesBack)
{
	Folder folder;
	std::string path = folder / "cut";
	write_file(path, std::string(3 * 4096, 'a'));
	int fd = open(path.c_str(), O_RDONLY);
	void* region = mmap(NULL, 3 * 4096, PROT_READ, MAP_PRIVATE, fd, 0);
	close(fd);
	ASSERT_NE(region, MAP_FAILED);
	truncate(path.c_str(), 0);
	struct sigaction before;
	sigaction(SIGBUS, NULL, &before);

	for (int threads : {1, kThreads}) {
		EXPECT_FALSE(run_on_threads(
				threads, region, 3 * 4096, touch_pages, no_stop, region))
				<< threads;
		struct sigaction after;
		sigaction(SIGBUS, NULL, &after);
		EXPECT_EQ(after.sa_handler, before.sa_handler) << threads;
	}
	munmap(region, 3 * 4096);
}

} // namespace
