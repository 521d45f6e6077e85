// A large text on several threads: scanned and summed in pieces, it gives
// what one thread gives, wherever its pairs are cut, and a file cut short
// meanwhile stops every thread.
#include "convert/detect.h"
#include "convert/scan_pieces.h"
#include "convert/stamp.h"
#include "convert/threads.h"
#include "support/files.h"
#include "support/options.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>

#include <string>

namespace {

using test::Folder;
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

uint64_t
checksum_of(const std::string& text)
{
	text_checksum sum;
	sum.Add(text.data(), text.size());
	return sum.Result();
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
			for (size_t pieceSize : kPieceSizes) {
				for (scan_path path :
						test::processor_paths<scan_path>(kScanPaths)) {
					test::OptionScope plan(forced_plan, {kThreads, pieceSize});
					text_scanner scanner(text.latex, path);
					text_checksum sum;
					ASSERT_TRUE(scan_and_sum(data, size, scanner, sum));
					std::string what = std::string(text.what) + ", "
							+ std::to_string(size) + " bytes in pieces of "
							+ std::to_string(pieceSize) + ", path "
							+ std::to_string(path);
					expect_same(scanner.findings(), one, what);
					EXPECT_EQ(sum.Result(), checksum_of(whole)) << what;
				}
			}
		}
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
