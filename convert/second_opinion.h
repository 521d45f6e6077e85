/*
 * A second opinion on the character set that the umlaut codes chose. A few
 * everyday characters of one set are umlaut codes of another (the euro sign
 * and the paragraph sign of Windows are Ä and ß on a Macintosh), and many
 * texts hold no umlaut at all, so the text is also read as each of the four
 * 8-bit sets shows it, and each reading is weighed by what speaks for it and
 * what against.
 */
#ifndef CONVERT_SECOND_OPINION_H
#define CONVERT_SECOND_OPINION_H

#include "convert/contexts.h"

#include <stddef.h>
#include <stdint.h>

// How a text reads in one set, from its special characters with their
// neighbours: the weight of what fits, and the count of what does not.
struct set_reading {
	// A character where people put it: a German letter, a sign beside a
	// number, a quote that opens or closes; loan-word letters weigh less.
	uint32_t good = 0;
	// What no text holds: Greek, mathematics, controls; a capital or a
	// symbol inside a word, a run of one capital, ß after a consonant.
	uint32_t against = 0;

	int64_t
	Score() const
	{
		return (int64_t)good - kAgainstWeight * (int64_t)against;
	}

	// Nothing speaks against it: it may stand.
	bool
	Plausible() const
	{
		return Score() >= 0;
	}

	// In a letter, one character against a set outweighs all that fit it.
	static const int64_t kAgainstWeight = 256;
};

// Reads the special characters that contexts noted in the length bytes of
// data (data[length] readable) as the set style (TOS, PC, MAC or ANSI).
set_reading read_as(const uint8_t* data, size_t length,
		const text_contexts& contexts, int32_t style);

struct set_opinion {
	int32_t style = 0;     // the set to convert from; 0 when no set reads
						   // as text
	int32_t nextBest = 0;  // for a doubtful choice, the set that read best
						   // beside it
	bool doubtful = false; // another set that gives another text reads as
						   // well, or no set reads plausibly
	int32_t sameText = 0;  // another set that gives the very same text
};

// The set that the special characters of a text are converted from, given
// umlaut, the choice of its umlaut codes (0 for none, else TOS, PC, MAC or
// ANSI), and atariSigns, whether the text holds a byte below 0x80 that the
// Atari table alone reads as a sign. The set that reads best is taken; on a
// tie the umlaut codes' choice, then Windows ANSI, Macintosh, DOS and Atari,
// the order in which people's 8-bit texts are common.
set_opinion second_opinion(const uint8_t* data, size_t length, int32_t umlaut,
		const text_contexts& contexts, bool atariSigns);

// For a text that is UTF-8 but for a few bytes, the set that those bytes
// are read in: as second_opinion, the characters of UTF-8 around them read
// as letters, Windows ANSI first; it stands, with doubt, where no set reads
// well.
set_opinion stray_opinion(const uint8_t* data, size_t length,
		const text_contexts& contexts, bool atariSigns);

// The same for a whole text in memory, with its contexts gathered here.
set_opinion second_opinion(const uint8_t* data, size_t length, int32_t umlaut);

// The same for a text in memory that the scan has read already: its umlaut
// codes and its Atari signs taken from what the scan found.
set_opinion second_opinion(
		const uint8_t* data, size_t length, const text_findings& findings);

#endif // CONVERT_SECOND_OPINION_H
