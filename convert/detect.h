/*
 * The detection scan: one pass over a file's bytes that notes which umlaut
 * codes of each candidate character set occur, and which line ends.
 */
#ifndef CONVERT_DETECT_H
#define CONVERT_DETECT_H

#include <stddef.h>
#include <stdint.h>

// One byte of flags per candidate, in the order Be, TOS, PC, MAC, ANSI,
// LATEX; one flag per umlaut letter. Then the line-end flags, what the text
// is as UTF-8 (valid as a whole, and holding a multi-byte sequence), and
// whether it holds a byte that only the Atari table reads as a sign.
struct text_findings {
	uint8_t candidate[6];
	uint8_t lineEnds;
	bool validUtf8 = true;
	bool multiByte = false;
	// A byte below 0x80 that the Atari table alone gives a sign of its own.
	bool atariSigns = false;
};

// The loops that the scan can take, from the byte loop that every processor
// has to the widest. All find the same; a wider one only takes fewer steps.
enum scan_path {
	kScanBytes, // every position on its own
	kScanSse2,  // blocks of 16 bytes
	kScanAvx2,  // blocks of 32 bytes, the UTF-8 check on whole blocks
};

const int kScanPaths = kScanAvx2 + 1;

// Whether this processor can take the path, and the widest one it can.
bool processor_has(scan_path path);
scan_path widest_scan_path();

// The byte values from 0x80 up still wanted, as the rows of a table for a
// byte shuffle: by the low four bits, one bit for each of the top ones.
struct wanted_values {
	alignas(16) uint8_t rows[16]; // wanted: bit (b >> 4) & 7 of row b & 15

	bool
	Wants(uint8_t byte) const
	{
		return (rows[byte & 15] >> ((byte >> 4) & 7)) & 1;
	}

	void
	Take(uint8_t byte)
	{
		rows[byte & 15] &= (uint8_t) ~(1 << ((byte >> 4) & 7));
	}

	bool
	Any() const
	{
		uint8_t any = 0;
		for (uint8_t row : rows)
			any |= row;
		return any != 0;
	}
};

// The first place of each byte value from 0x80 up in a piece of a text
// that is no UTF-8, found by the scan where its widest path looks at blocks
// anyway: a value still wanted costs no more than a byte that can still set
// a flag. The blocks looked at so run from begin to end; what comes before
// and after is for the caller to look at.
struct value_places : wanted_values {
	size_t places[128];
	unsigned count = 0;
	size_t begin = SIZE_MAX; // none looked at yet
	size_t end = SIZE_MAX;

	void
	Take(uint8_t byte, size_t at)
	{
		wanted_values::Take(byte);
		places[count++] = at;
	}
};

// Notes the findings of a text that may come in pieces: each call looks at
// the positions from `from` up to `to`, counted from the start of the text
// that data holds, with data[to] as the look-ahead of the last one. A UTF-8
// sequence may straddle two calls. With latex false the quote pairs are not
// looked at and the LATEX flags stay 0.
class text_scanner {
public:
	explicit text_scanner(bool latex, scan_path path = widest_scan_path());

	void scan(const uint8_t* data, size_t from, size_t to);

	// From now on, where the widest path is taken and the text turns out to
	// be no UTF-8, also the first place of each value that values still
	// wants, from where that is found on; false where this scanner's path
	// cannot.
	bool track_values(value_places* values);

	// Takes in what next found in the positions right after this one's,
	// which it scanned on its own from a place that piece_start gave.
	void join(const text_scanner& next);

	// For the whole text: a sequence still open at this point makes the text
	// invalid UTF-8.
	text_findings findings() const;

	// True while all that was scanned is UTF-8, with no sequence open.
	bool
	utf8_so_far() const
	{
		return !fUtf8.invalid && fUtf8.need == 0;
	}

	// Where a UTF-8 check stands between two pieces.
	struct utf8_state {
		size_t next;  // position of the continuation byte awaited
		uint8_t need; // continuation bytes still to come
		uint8_t low;  // the range the next one must lie in
		uint8_t high;
		bool invalid;
		bool multiByte;
	};

private:
	bool fLatex;
	scan_path fPath;
	uint64_t fFound;
	value_places* fValues = NULL;
	utf8_state fUtf8;
};

// The first place from at on where no UTF-8 sequence begun before it can
// go on: past at most three continuation bytes, and at most length. A text
// cut there into pieces, each scanned on its own and joined in order, gives
// the findings of one pass.
size_t piece_start(const uint8_t* data, size_t at, size_t length);

// Scans length bytes at once; data[length] must be readable and 0, so that
// the last byte's look-ahead sees 0.
text_findings scan_text(const uint8_t* data, size_t length, bool latex,
		scan_path path = widest_scan_path());

// Valid UTF-8 with a multi-byte sequence is already UTF-8 (1). Otherwise the
// candidate (1 to 6) with the highest flag byte, the earlier one on a tie; 0
// when none has a flag. Text that is not valid UTF-8 is never taken for it,
// so then the choice is among the others. LATEX only counts when latex is
// true.
int32_t decide_style(const text_findings& findings, bool latex);

// True when a LaTeX text, rewritten, converts to UTF-8: its bytes from 0x80
// up are UTF-8, apart from each 0xB7 and 0xFF on its own, which the LaTeX
// table gives a degree sign and drops.
bool latex_output_is_utf8(const uint8_t* data, size_t length);

// Rewrites each LaTeX umlaut pair (a quote and a letter) into its two-byte
// UTF-8 form, in place. A quote right after a backslash opens no pair.
void rewrite_latex(uint8_t* data, size_t length);

#endif // CONVERT_DETECT_H
