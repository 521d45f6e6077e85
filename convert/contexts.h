/*
 * Where the special characters of a text stand. Gathered beside the
 * detection scan, piece by piece while each piece is in the cache, so that
 * the second opinion can judge every one of them in a text of any size.
 * Bytes that belong to a valid UTF-8 sequence are only counted; every other
 * byte from 0x80 up is noted by its context (the byte itself, with the kind
 * of byte on either side), and the first few places of each context are
 * kept for the judgment: a context seen a hundred times tells no more than
 * one seen a few times, and one seen once counts all the same.
 */
#ifndef CONVERT_CONTEXTS_H
#define CONVERT_CONTEXTS_H

#include "convert/detect.h"

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

class text_contexts {
public:
	// How many places of one context are judged.
	static const unsigned kPerContext = 16;

	// So far into a text, every byte is looked at; beyond, in each piece
	// the first place of each byte value, which costs a few instructions
	// for a block of bytes seen before.
	static const size_t kWholeUpTo = 4 * 1024 * 1024;

	// Notes the positions from `from` up to `to`, counted from the start of
	// the text that data holds; the text is length bytes long, and
	// data[length] is readable. A sequence that starts before `to` is taken
	// whole; the next piece must start where no sequence goes on. Where the
	// scan found the first places of the values of a piece beyond the start
	// (from values.end on, all of it beyond), scanned holds them.
	void gather(const uint8_t* data, size_t from, size_t to, size_t length,
			const value_places* scanned = NULL);

	// For positions that hold valid UTF-8 only, counts the sequences in the
	// start of the text that is looked at whole, as gather would, but for
	// the characters of Western letters, which it takes to be those whose
	// first byte is C2, C3 or E2.
	void count_sequences(const uint8_t* data, size_t from, size_t to);

	// Takes in what next found in the positions right after this one's.
	void join(const text_contexts& next);

	// As new, keeping the memory it has taken.
	void Reset();

	// The places of the bytes that belong to no valid UTF-8 sequence, up to
	// kPerContext of each context, in the order of the text.
	const std::vector<uint64_t>&
	Places() const
	{
		return fPlaces;
	}

	// Whether the byte (from 0x80 up) stands anywhere outside a valid UTF-8
	// sequence.
	bool
	Holds(uint8_t byte) const
	{
		return (fPresent[(byte >> 6) & 1] >> (byte & 63)) & 1;
	}

	// Valid multi-byte sequences, and bytes from 0x80 up outside them, in
	// the start of the text that is looked at whole.
	uint64_t
	Sequences() const
	{
		return fSequences;
	}

	uint64_t
	Strays() const
	{
		return fStrays;
	}

	// The text ends inside a sequence that was valid so far, cut short:
	// its bytes, which count among the strays.
	uint64_t
	CutBytes() const
	{
		return fCutBytes;
	}

	// The text is UTF-8 but for a few bytes, as far as its start tells, or
	// where that is plain ASCII, the first places of the rest; the repair
	// counts them all again. Its valid sequences outweigh
	// the bytes outside them, each sequence of a character of Western
	// letters (ä, é, €, –, “, a frame) weighing four bytes and any other
	// one, such as bytes of an 8-bit text make by chance, one; a sequence
	// cut short at the end weighs four as well.
	bool MostlyUtf8() const;

private:
	size_t GatherAll(
			const uint8_t* data, size_t from, size_t to, size_t length);
	void GatherValues(const uint8_t* data, size_t from, size_t to,
			size_t length, const value_places* scanned);
	void Sample(const uint8_t* data, size_t at, size_t length);
	size_t Lead(const uint8_t* data, size_t at, size_t length);
	void Stray(const uint8_t* data, size_t at);
	void Note(const uint8_t* data, size_t at, unsigned key);

	std::vector<uint64_t> fPlaces;
	// How often each context was seen, up to kPerContext; made on the first
	// byte that needs it.
	std::unique_ptr<uint8_t[]> fSeen;
	uint64_t fPresent[2] = {0, 0};
	uint64_t fSequences = 0;
	uint64_t fLetterSequences = 0;
	uint64_t fStrays = 0;
	uint64_t fCutBytes = 0;
	// Of the first places of byte values beyond the start.
	uint64_t fSampledSequences = 0;
	uint64_t fSampledLetters = 0;
	uint64_t fSampledStrays = 0;
};

// A place as Places() gives it: the position in the text.
inline size_t
place_position(uint64_t place)
{
	return (size_t)(place & ((uint64_t(1) << 48) - 1));
}

// Gathers the contexts of a whole text at once; data[length] readable.
text_contexts gather_contexts(const uint8_t* data, size_t length);

#endif // CONVERT_CONTEXTS_H
