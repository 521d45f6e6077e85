/*
 * A second opinion on the character set that the umlaut codes chose. A few
 * everyday characters of one set are umlaut codes of another (the euro sign
 * and the paragraph sign of Windows are Ä and ß on a Macintosh), so the text
 * is also read as each of the four 8-bit sets shows it, and judged by
 * whether it reads as German.
 */
#ifndef CONVERT_SECOND_OPINION_H
#define CONVERT_SECOND_OPINION_H

#include <stddef.h>
#include <stdint.h>

// How a text reads in one set, from its bytes 0x80 and up with their
// neighbours: the weight of what fits a German letter, and the count of
// what does not.
struct set_reading {
	// German letters count 2; loan-word letters and the punctuation of
	// letters 1.
	uint32_t good = 0;
	// Greek, mathematics, controls; a capital or a symbol inside a word, an
	// upper-case umlaut between lower-case letters; a capital or ß that
	// stands alone.
	uint32_t against = 0;

	int64_t
	Score() const
	{
		return (int64_t)good - kAgainstWeight * (int64_t)against;
	}

	// Nothing speaks against it, or next to nothing in a long text: it may
	// stand.
	bool
	Plausible() const
	{
		return Score() >= 0;
	}

	// Something speaks for it as well: it may be taken instead.
	bool
	Convincing() const
	{
		return Score() > 0;
	}

	// In a letter, one character against a set outweighs all that fit it.
	static const int64_t kAgainstWeight = 256;
};

// Reads length bytes of data (data[length] readable) as the set style
// (TOS, PC, MAC or ANSI). A long text is judged by a bounded sample.
set_reading read_as(const uint8_t* data, size_t length, int32_t style);

struct set_opinion {
	int32_t style = 0;     // the set to convert from; 0 when no set reads
						   // as text
	int32_t nextBest = 0;  // for a doubtful choice, the set that read best
						   // beside it
	bool doubtful = false; // no set reads plausibly: the umlaut codes'
						   // choice stands all the same
};

// The set that a text of 8-bit characters is converted from, given umlaut,
// the choice of its umlaut codes (0 for none, else TOS, PC, MAC or ANSI).
// That choice stands when the text reads plausibly in it; else the set
// that reads best and convincingly, the earlier one on a tie.
set_opinion second_opinion(const uint8_t* data, size_t length, int32_t umlaut);

#endif // CONVERT_SECOND_OPINION_H
