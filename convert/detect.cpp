/*
 * The detection scan. Each byte that can mean something is looked up once in
 * a table that holds, packed into one word, the flags it sets for every
 * candidate; a quote or a C3 also looks at the byte after it. The same bytes
 * tell whether the text is valid UTF-8. Plain ASCII means nothing here, so
 * blocks of it are passed over sixteen at a time (SSE2). With AVX2, blocks of
 * 32 are checked against the set of bytes that can still tell something new,
 * a set that shrinks as the flags fill: in most text, after the first lines,
 * no byte is looked at again. The UTF-8 check then runs on whole blocks as
 * well, and its state is handed on byte by byte where a piece ends.
 */
#include "convert/detect.h"

#include "charmap/processor.h"
#include "charmap/styles.h"
#include "convert/utf8.h"

#include <string.h>

#include <iterator>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TEXTWEND_X86 1
#endif


namespace {

enum Lane { kBe, kTos, kPc, kMac, kAnsi, kLatex, kLines, kAtariSigns };

const uint8_t kAllSeven = 0x7F;

struct Code {
	uint8_t byte;
	Lane lane;
	uint8_t flags;
};

// Bytes that stand for an umlaut on their own: 0x01 ä, 0x02 ü, 0x04 ö,
// 0x08 Ä, 0x10 Ü, 0x20 Ö, 0x40 ß (for Be, 0x02 is ö and 0x04 ü).
constexpr Code kSingleCodes[] = {
		{0xB4, kBe, 0x02},
		{0xC2, kBe, kAllSeven},

		{0x84, kTos, 0x01},
		{0x81, kTos, 0x02},
		{0xED, kTos, 0x02},
		{0x94, kTos, 0x04},
		{0x8E, kTos, 0x08},
		{0x9A, kTos, 0x10},
		{0x99, kTos, 0x20},
		{0x9E, kTos, 0x40},
		{0x82, kTos, 0x40},
		{0xBD, kTos, 0x40},
		{0xE6, kTos, kAllSeven},
		{0xFA, kTos, kAllSeven},

		{0x84, kPc, 0x01},
		{0x81, kPc, 0x02},
		{0xED, kPc, 0x02},
		{0x94, kPc, 0x04},
		{0x8E, kPc, 0x08},
		{0x9A, kPc, 0x10},
		{0x99, kPc, 0x20},
		{0xE1, kPc, 0x40},
		{0xF8, kPc, 0x40},

		{0x8A, kMac, 0x01},
		{0x9F, kMac, 0x02},
		{0x9A, kMac, 0x04},
		{0x80, kMac, 0x08},
		{0x86, kMac, 0x10},
		{0x85, kMac, 0x20},
		{0xD5, kMac, 0x20},
		{0xA7, kMac, 0x40},
		{0xA5, kMac, 0x40},
		{0xAA, kMac, 0x40},
		{0xD2, kMac, 0x40},

		{0xE4, kAnsi, 0x01},
		{0xFC, kAnsi, 0x02},
		{0xB7, kAnsi, 0x02},
		{0xF6, kAnsi, 0x04},
		{0xC4, kAnsi, 0x08},
		{0xDC, kAnsi, 0x10},
		{0xD6, kAnsi, 0x20},
		{0x92, kAnsi, 0x20},
		{0xDF, kAnsi, 0x40},

		{0x0A, kLines, 0x01},
		{0x0D, kLines, 0x02},

		// Below 0x80, the bytes that the Atari table alone gives signs of
		// their own (arrows, a note, ∆): where one occurs, an Atari text
		// reads differently from a DOS one.
		{0x01, kAtariSigns, 0x01},
		{0x02, kAtariSigns, 0x01},
		{0x03, kAtariSigns, 0x01},
		{0x04, kAtariSigns, 0x01},
		{0x0B, kAtariSigns, 0x01},
		{0x7F, kAtariSigns, 0x01},
};

// Second bytes of the pairs opened by C3 (UTF-8) and by the quote (LaTeX).
constexpr Code kUtf8Pairs[] = {
		{0xA4, kBe, 0x01},
		{0xB6, kBe, 0x02},
		{0xBC, kBe, 0x04},
		{0x84, kBe, 0x08},
		{0x9C, kBe, 0x10},
		{0x96, kBe, 0x20},
		{0x9F, kBe, 0x40},
};
constexpr Code kLatexPairs[] = {
		{'a', kLatex, 0x01},
		{'u', kLatex, 0x02},
		{'o', kLatex, 0x04},
		{'A', kLatex, 0x08},
		{'U', kLatex, 0x10},
		{'O', kLatex, 0x20},
		{'s', kLatex, 0x40},
};
constexpr Code kCrPairs[] = {{0x0A, kLines, 0x01}};

constexpr uint64_t
lane_bits(const Code& code)
{
	return (uint64_t)code.flags << (8 * code.lane);
}

struct Table {
	uint64_t bits[256];
};

template<size_t N>
constexpr Table
make_table(const Code (&codes)[N])
{
	Table table {};
	for (const Code& code : codes)
		table.bits[code.byte] |= lane_bits(code);
	return table;
}

constexpr Table kSingle = make_table(kSingleCodes);

// Which pair table a byte opens: 0 none, then the tables below.
enum Opener : uint8_t { kNoPair, kUtf8Pair, kLatexPair, kCrPair };
constexpr Table kPairs[] = {
		Table {},
		make_table(kUtf8Pairs),
		make_table(kLatexPairs),
		make_table(kCrPairs),
};

struct Openers {
	uint8_t kind[256];
};

constexpr Openers
make_openers(bool latex)
{
	Openers openers {};
	openers.kind[0xC3] = kUtf8Pair;
	openers.kind[0x0D] = kCrPair;
	if (latex)
		openers.kind['"'] = kLatexPair;
	return openers;
}

constexpr Openers kOpeners[2] = {make_openers(false), make_openers(true)};

// Every flag that a byte can ever set, on its own or as the opener of a
// pair, with the LaTeX pairs (1) or without (0).
constexpr uint64_t
all_bits(const Table& table)
{
	uint64_t bits = 0;
	for (uint64_t word : table.bits)
		bits |= word;
	return bits;
}

constexpr Table
make_could(bool latex)
{
	uint64_t pairBits[std::size(kPairs)] = {};
	for (size_t kind = 0; kind < std::size(kPairs); kind++)
		pairBits[kind] = all_bits(kPairs[kind]);
	Table could {};
	for (int c = 0; c < 256; c++) {
		could.bits[c]
				= kSingle.bits[c] | pairBits[kOpeners[latex ? 1 : 0].kind[c]];
	}
	return could;
}

constexpr Table kCould[2] = {make_could(false), make_could(true)};


// A quote right after a backslash is TeX's accent command, not the
// shorthand.
template<bool kLatex>
inline uint64_t
look_at(const uint8_t* data, size_t p, const Openers& openers)
{
	uint8_t kind = openers.kind[data[p]];
	if (kLatex && kind == kLatexPair && p > 0 && data[p - 1] == '\\')
		kind = kNoPair;
	return kSingle.bits[data[p]] | kPairs[kind].bits[data[p + 1]];
}


const uint64_t kLfSeen = (uint64_t)0x01 << (8 * kLines);
const uint64_t kCrSeen = (uint64_t)0x02 << (8 * kLines);
const uint64_t kAtariSignSeen = (uint64_t)0x01 << (8 * kAtariSigns);


// One byte from 0x80 up at position p. Only these need a look: an ASCII byte
// where a continuation was awaited shows when the next high byte is not at
// the awaited position, or when the text ends with the sequence open.
inline void
check_utf8(text_scanner::utf8_state& state, uint8_t c, size_t p)
{
	if (state.invalid)
		return;
	if (state.need > 0) {
		if (p != state.next || c < state.low || c > state.high) {
			state.invalid = true;
			return;
		}
		state.need--;
		state.next = p + 1;
		state.low = 0x80;
		state.high = 0xBF;
		return;
	}
	const Lead& lead = kLeads.lead[c];
	if (lead.need == 0) {
		state.invalid = true;
		return;
	}
	state.need = lead.need;
	state.next = p + 1;
	state.low = lead.low;
	state.high = lead.high;
	state.multiByte = true;
}


#ifdef TEXTWEND_X86

// The bytes that can still tell something: each byte that can set a flag
// not yet found. As the tables of a byte shuffle: by the low four bits, the
// high ones, a bit each, of the bytes below 0x80 (low) and from 0x80 up
// (high).
struct wanted_bytes {
	__m256i low;
	__m256i high;
};

// For each flag, the rows of the bytes that can set it; the rows of the
// wanted bytes are those of the flags not yet found, OR-ed.
struct rows_by_flag {
	uint64_t any; // the flags some byte can set
	alignas(16) uint8_t rows[64][2][16];
};

rows_by_flag
make_rows_by_flag(bool latex)
{
	rows_by_flag table = {};
	for (int c = 0; c < 256; c++) {
		uint64_t bits = kCould[latex ? 1 : 0].bits[c];
		table.any |= bits;
		for (; bits != 0; bits &= bits - 1) {
			table.rows[__builtin_ctzll(bits)][c >> 7][c & 15]
					|= (uint8_t)(1 << ((c >> 4) & 7));
		}
	}
	return table;
}

const rows_by_flag kRowsByFlag[2]
		= {make_rows_by_flag(false), make_rows_by_flag(true)};


TEXTWEND_AVX2 wanted_bytes
make_wanted(uint64_t found, bool latex)
{
	const rows_by_flag& table = kRowsByFlag[latex ? 1 : 0];
	__m128i low = _mm_setzero_si128();
	__m128i high = _mm_setzero_si128();
	for (uint64_t left = table.any & ~found; left != 0; left &= left - 1) {
		const uint8_t(*rows)[16] = table.rows[__builtin_ctzll(left)];
		low = _mm_or_si128(low, _mm_load_si128((const __m128i*)rows[0]));
		high = _mm_or_si128(high, _mm_load_si128((const __m128i*)rows[1]));
	}
	return {_mm256_broadcastsi128_si256(low),
			_mm256_broadcastsi128_si256(high)};
}


// The bytes that can still set a flag, and the values still wanted.
TEXTWEND_AVX2 wanted_bytes
wanted_with(uint64_t found, bool latex, const value_places* values)
{
	wanted_bytes wanted = make_wanted(found, latex);
	if (values != NULL)
		wanted.high = _mm256_or_si256(wanted.high,
				_mm256_broadcastsi128_si256(
						_mm_load_si128((const __m128i*)values->rows)));
	return wanted;
}


// One bit for each wanted byte of a block of 32.
TEXTWEND_AVX2 inline uint32_t
wanted_in(const wanted_bytes& wanted, __m256i bytes)
{
	// The bit of each high four-bit value in its row.
	const __m256i bitOf = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, (char)128, 1,
			2, 4, 8, 16, 32, 64, (char)128, 1, 2, 4, 8, 16, 32, 64, (char)128,
			1, 2, 4, 8, 16, 32, 64, (char)128);
	// A shuffle gives 0 where the index has its top bit set: the low table
	// answers only for bytes below 0x80, the high one only from 0x80 up.
	__m256i row = _mm256_or_si256(_mm256_shuffle_epi8(wanted.low, bytes),
			_mm256_shuffle_epi8(wanted.high,
					_mm256_xor_si256(bytes, _mm256_set1_epi8((char)0x80))));
	__m256i high = _mm256_and_si256(
			_mm256_srli_epi16(bytes, 4), _mm256_set1_epi8(0x0F));
	__m256i bit = _mm256_shuffle_epi8(bitOf, high);
	return (uint32_t)_mm256_movemask_epi8(
			_mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit));
}


// The UTF-8 check of 32 bytes at once. Each fault of a byte and the byte
// before it shows in three of its parts alone: the high four bits of the
// first, its low four bits and the high four bits of the second. A table
// for each part gives the faults that part allows, one bit each, and a fault
// is there where all three tables have its bit. What takes three or four
// bytes, a continuation that a lead two or three bytes back asks for, is
// checked beside it.
struct Utf8Fault {
	uint8_t bit;
	uint16_t firstHigh; // one bit per value of the part
	uint16_t firstLow;
	uint16_t secondHigh;
};

const uint16_t kAnyPart = 0xFFFF;
const uint16_t kAscii = 0x00FF;        // 0 to 7: below 0x80
const uint16_t kContinuation = 0x0F00; // 8 to B: 0x80 to 0xBF
const uint16_t kLead = 0xF000;         // C to F: 0xC0 and up

constexpr uint16_t
parts(int from, int to)
{
	uint16_t set = 0;
	for (int part = from; part <= to; part++)
		set |= (uint16_t)(1 << part);
	return set;
}

// A continuation right after a continuation is a fault only where no lead
// asks for it; that check flips this bit, so it must be the top one.
const uint8_t kTwoContinuations = 0x80;

constexpr Utf8Fault kUtf8Faults[] = {
		// A lead without its continuation.
		{0x01, kLead, kAnyPart, kAscii | kLead},
		// A continuation after ASCII.
		{0x02, kAscii, kAnyPart, kContinuation},
		{kTwoContinuations, kContinuation, kAnyPart, kContinuation},
		// Overlong: C0 and C1, E0 80 to E0 9F, F0 80 to F0 8F.
		{0x04, parts(0xC, 0xC), parts(0, 1), kContinuation},
		{0x08, parts(0xE, 0xE), parts(0, 0), parts(8, 9)},
		// F0 80 to F0 8F as above; F5 and up are no lead at all.
		{0x10, parts(0xF, 0xF), parts(0, 0) | parts(5, 15), parts(8, 8)},
		// Surrogates: ED A0 to ED BF.
		{0x20, parts(0xE, 0xE), parts(0xD, 0xD), parts(0xA, 0xB)},
		// Beyond U+10FFFF: F4 90 and up, and again F5 and up.
		{0x40, parts(0xF, 0xF), parts(4, 15), parts(9, 0xB)},
};

struct Utf8Tables {
	uint8_t firstHigh[16];
	uint8_t firstLow[16];
	uint8_t secondHigh[16];
};

constexpr Utf8Tables
make_utf8_tables()
{
	Utf8Tables tables {};
	for (const Utf8Fault& fault : kUtf8Faults) {
		for (int part = 0; part < 16; part++) {
			if (fault.firstHigh & (1 << part))
				tables.firstHigh[part] |= fault.bit;
			if (fault.firstLow & (1 << part))
				tables.firstLow[part] |= fault.bit;
			if (fault.secondHigh & (1 << part))
				tables.secondHigh[part] |= fault.bit;
		}
	}
	return tables;
}

constexpr Utf8Tables kUtf8Tables = make_utf8_tables();


TEXTWEND_AVX2 inline __m256i
both_lanes(const uint8_t (&table)[16])
{
	return _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i*)table));
}


// The bytes of a block moved on by n: each position holds the byte n before
// it, from the block before where it reaches back.
template<int kBack>
TEXTWEND_AVX2 inline __m256i
earlier(__m256i bytes, __m256i before)
{
	return _mm256_alignr_epi8(
			bytes, _mm256_permute2x128_si256(before, bytes, 0x21), 16 - kBack);
}


TEXTWEND_AVX2 inline __m256i
high_part(__m256i bytes)
{
	return _mm256_and_si256(
			_mm256_srli_epi16(bytes, 4), _mm256_set1_epi8(0x0F));
}


struct utf8_blocks {
	__m256i firstHigh, firstLow, secondHigh;
	__m256i before;    // the block before, 0 at the start
	__m256i open;      // where the block before leaves a sequence open
	__m256i faults;    // any bit set: no UTF-8
	__m256i openLimit; // the last three bytes: above these, a lead is open

	TEXTWEND_AVX2
	utf8_blocks()
		: firstHigh(both_lanes(kUtf8Tables.firstHigh))
		, firstLow(both_lanes(kUtf8Tables.firstLow))
		, secondHigh(both_lanes(kUtf8Tables.secondHigh))
		, before(_mm256_setzero_si256())
		, open(_mm256_setzero_si256())
		, faults(_mm256_setzero_si256())
		, openLimit(_mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
				  -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
				  -1, -1, -1, (char)(0xF0 - 1), (char)(0xE0 - 1),
				  (char)(0xC0 - 1)))
	{
	}

	TEXTWEND_AVX2 void
	Check(__m256i bytes, bool ascii)
	{
		if (ascii) {
			// Nothing can finish what the block before left open.
			faults = _mm256_or_si256(faults, open);
			before = bytes;
			open = _mm256_setzero_si256();
			return;
		}
		__m256i previous = earlier<1>(bytes, before);
		__m256i found = _mm256_and_si256(
				_mm256_and_si256(
						_mm256_shuffle_epi8(firstHigh, high_part(previous)),
						_mm256_shuffle_epi8(firstLow,
								_mm256_and_si256(
										previous, _mm256_set1_epi8(0x0F)))),
				_mm256_shuffle_epi8(secondHigh, high_part(bytes)));
		// A lead two bytes back from E0 up, or three back from F0 up, asks
		// for a continuation here: the top bit after these subtractions.
		__m256i asked = _mm256_and_si256(
				_mm256_or_si256(_mm256_subs_epu8(earlier<2>(bytes, before),
										_mm256_set1_epi8((char)(0xE0 - 0x80))),
						_mm256_subs_epu8(earlier<3>(bytes, before),
								_mm256_set1_epi8((char)(0xF0 - 0x80)))),
				_mm256_set1_epi8((char)kTwoContinuations));
		faults = _mm256_or_si256(faults, _mm256_xor_si256(found, asked));
		before = bytes;
		open = _mm256_subs_epu8(bytes, openLimit);
	}

	TEXTWEND_AVX2 bool
	Invalid() const
	{
		return !_mm256_testz_si256(faults, faults);
	}
};


// After blocks found valid so far, what the last bytes before end leave
// open, as the byte by byte check would hold it. Looks back no further than
// start.
inline void
open_sequence(text_scanner::utf8_state& state, const uint8_t* data,
		size_t start, size_t end)
{
	for (size_t back = 1; back <= 3 && back <= end - start; back++) {
		uint8_t c = data[end - back];
		if (c < 0x80)
			return;
		if (c < 0xC0)
			continue;
		const Lead& lead = kLeads.lead[c];
		if (lead.need == 0)
			state.invalid = true; // C0, C1 or F5 and up, cut off by end
		else if ((size_t)lead.need + 1 > back) {
			state.need = (uint8_t)(lead.need + 1 - back);
			state.next = end;
			state.low = back == 1 ? lead.low : 0x80;
			state.high = back == 1 ? lead.high : 0xBF;
		}
		return;
	}
}


// Blocks of 32 bytes as long as whole ones are left, from i on; only the
// wanted bytes are looked at. Stops early where the text turns out to be no
// UTF-8, so that the rest goes without the check.
template<bool kLatex, bool kCheckUtf8>
TEXTWEND_AVX2 size_t
scan_blocks_avx2(const uint8_t* data, size_t i, size_t to, uint64_t& foundSoFar,
		text_scanner::utf8_state& utf8SoFar, value_places* values)
{
	const Openers& openers = kOpeners[kLatex ? 1 : 0];
	uint64_t found = foundSoFar;
	text_scanner::utf8_state utf8 = utf8SoFar;
	// A sequence that the piece before left open is finished byte by byte,
	// so that the blocks start on a whole character.
	for (; kCheckUtf8 && utf8.need > 0 && !utf8.invalid && i < to; i++) {
		found |= look_at<kLatex>(data, i, openers);
		if (data[i] >= 0x80)
			check_utf8(utf8, data[i], i);
		else
			utf8.invalid = true;
	}
	const size_t start = i;
	utf8_blocks blocks;
	// The blocks check UTF-8 themselves: only bytes that can set a flag
	// need a look, and the values still wanted.
	// Once the text is no UTF-8, from where the blocks of the piece go on.
	bool tracks = !kCheckUtf8 && values != NULL
			&& (values->begin == SIZE_MAX || values->end == start);
	if (tracks && values->begin == SIZE_MAX)
		values->begin = start;
	wanted_bytes wanted = wanted_with(found, kLatex, tracks ? values : NULL);
	for (; i + 32 <= to; i += 32) {
		__m256i bytes = _mm256_loadu_si256((const __m256i*)(data + i));
		if (kCheckUtf8) {
			bool ascii = _mm256_movemask_epi8(bytes) == 0;
			blocks.Check(bytes, ascii);
			if (!ascii)
				utf8.multiByte = true;
		}
		uint32_t mask = wanted_in(wanted, bytes);
		if (mask != 0) {
			uint64_t before = found;
			unsigned taken = tracks ? values->count : 0;
			while (mask != 0) {
				size_t p = i + (size_t)__builtin_ctz(mask);
				mask &= mask - 1;
				found |= look_at<kLatex>(data, p, openers);
				if (tracks && data[p] >= 0x80 && values->Wants(data[p]))
					values->Take(data[p], p);
			}
			if (found != before || (tracks && values->count != taken))
				wanted = wanted_with(found, kLatex, tracks ? values : NULL);
		}
		if (kCheckUtf8 && blocks.Invalid()) {
			utf8.invalid = true;
			i += 32;
			break;
		}
	}
	if (kCheckUtf8 && !utf8.invalid)
		open_sequence(utf8, data, start, i);
	if (tracks)
		values->end = i;
	foundSoFar = found;
	utf8SoFar = utf8;
	return i;
}

#endif


// Positions from up to to, as text_scanner::scan says, by the path given or
// the widest one below it that this build has.
template<bool kLatex, bool kCheckUtf8>
void
scan_piece(const uint8_t* data, size_t from, size_t to, uint64_t& foundSoFar,
		text_scanner::utf8_state& utf8SoFar, [[maybe_unused]] scan_path path,
		[[maybe_unused]] value_places* values)
{
	const Openers& openers = kOpeners[kLatex ? 1 : 0];
	size_t i = from;

#ifdef TEXTWEND_X86
	if (path >= kScanAvx2) {
		i = scan_blocks_avx2<kLatex, kCheckUtf8>(
				data, i, to, foundSoFar, utf8SoFar, values);
		if (kCheckUtf8 && utf8SoFar.invalid) {
			scan_piece<kLatex, false>(
					data, i, to, foundSoFar, utf8SoFar, path, values);
			return;
		}
	}
#endif
	uint64_t found = foundSoFar;
	text_scanner::utf8_state utf8 = utf8SoFar;

#ifdef __SSE2__
	// Only bytes from 0x80 up, and the line ends and quotes while they can
	// still tell something new, need a look.
	const __m128i lf = _mm_set1_epi8(0x0A);
	const __m128i cr = _mm_set1_epi8(0x0D);
	const __m128i quote = _mm_set1_epi8('"');
	const __m128i four = _mm_set1_epi8(4);
	const __m128i vtab = _mm_set1_epi8(0x0B);
	const __m128i del = _mm_set1_epi8(0x7F);
	for (; path >= kScanSse2 && i + 16 <= to; i += 16) {
		__m128i block = _mm_loadu_si128((const __m128i*)(data + i));
		unsigned mask = (unsigned)_mm_movemask_epi8(block);
		if ((found & kLfSeen) == 0)
			mask |= (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf));
		if ((found & kCrSeen) == 0)
			mask |= (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr));
		if ((found & kAtariSignSeen) == 0) {
			// 0 to 4 (a zero byte tells nothing, and costs nothing), 0x0B
			// and 0x7F.
			__m128i low = _mm_cmpeq_epi8(_mm_min_epu8(block, four), block);
			mask |= (unsigned)_mm_movemask_epi8(_mm_or_si128(low,
					_mm_or_si128(_mm_cmpeq_epi8(block, vtab),
							_mm_cmpeq_epi8(block, del))));
		}
		if (kLatex)
			mask |= (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(block, quote));
		while (mask != 0) {
			size_t p = i + (size_t)__builtin_ctz(mask);
			mask &= mask - 1;
			found |= look_at<kLatex>(data, p, openers);
			if (kCheckUtf8 && data[p] >= 0x80)
				check_utf8(utf8, data[p], p);
		}
		if (kCheckUtf8 && utf8.invalid) {
			foundSoFar = found;
			utf8SoFar = utf8;
			scan_piece<kLatex, false>(
					data, i + 16, to, foundSoFar, utf8SoFar, path, values);
			return;
		}
	}
#endif
	for (; i < to; i++) {
		found |= look_at<kLatex>(data, i, openers);
		if (kCheckUtf8 && data[i] >= 0x80)
			check_utf8(utf8, data[i], i);
	}
	foundSoFar = found;
	utf8SoFar = utf8;
}

} // namespace


bool
processor_has(scan_path path)
{
	switch (path) {
	case kScanBytes:
		return true;
	case kScanSse2:
#ifdef __SSE2__
		return true;
#else
		return false;
#endif
	case kScanAvx2:
		return processor_has_avx2();
	}
	return false;
}


scan_path
widest_scan_path()
{
	int widest = kScanBytes;
	for (int path = kScanBytes; path < kScanPaths; path++) {
		if (processor_has((scan_path)path))
			widest = path;
	}
	return (scan_path)widest;
}


text_scanner::text_scanner(bool latex, scan_path path)
	: fLatex(latex)
	, fPath(path)
	, fFound(0)
	, fUtf8 {}
{
}


void
text_scanner::scan(const uint8_t* data, size_t from, size_t to)
{
	// Once the text is no UTF-8, the rest need not be checked.
	bool check = !fUtf8.invalid;
	if (fLatex) {
		if (check)
			scan_piece<true, true>(
					data, from, to, fFound, fUtf8, fPath, fValues);
		else
			scan_piece<true, false>(
					data, from, to, fFound, fUtf8, fPath, fValues);
	} else {
		if (check)
			scan_piece<false, true>(
					data, from, to, fFound, fUtf8, fPath, fValues);
		else
			scan_piece<false, false>(
					data, from, to, fFound, fUtf8, fPath, fValues);
	}
}


void
text_scanner::join(const text_scanner& next)
{
	fFound |= next.fFound;
	// A sequence left open here is cut off by the first byte of next, which
	// is no continuation of it.
	bool invalid = fUtf8.invalid || fUtf8.need > 0 || next.fUtf8.invalid;
	bool multiByte = fUtf8.multiByte || next.fUtf8.multiByte;
	fUtf8 = next.fUtf8;
	fUtf8.invalid = invalid;
	fUtf8.multiByte = multiByte;
}


bool
text_scanner::track_values(value_places* values)
{
	if (fPath < kScanAvx2)
		return false;
	fValues = values;
	return true;
}


size_t
piece_start(const uint8_t* data, size_t at, size_t length)
{
	// Four continuation bytes in a row are no UTF-8 anyway.
	size_t limit = length - at > 3 ? at + 3 : length;
	while (at < limit && (data[at] & 0xC0) == 0x80)
		at++;
	return at;
}


text_findings
text_scanner::findings() const
{
	text_findings findings;
	for (int lane = 0; lane < 6; lane++)
		findings.candidate[lane] = (uint8_t)(fFound >> (8 * lane));
	findings.lineEnds = (uint8_t)(fFound >> (8 * kLines));
	findings.atariSigns = (fFound & kAtariSignSeen) != 0;
	findings.validUtf8 = !fUtf8.invalid && fUtf8.need == 0;
	findings.multiByte = fUtf8.multiByte;
	return findings;
}


text_findings
scan_text(const uint8_t* data, size_t length, bool latex, scan_path path)
{
	text_scanner scanner(latex, path);
	scanner.scan(data, 0, length);
	return scanner.findings();
}


int32_t
decide_style(const text_findings& findings, bool latex)
{
	if (findings.validUtf8 && findings.multiByte)
		return kStyleBe;

	// Be's flags come from single bytes too; in text that is not UTF-8 they
	// mean nothing.
	int first = findings.validUtf8 ? 0 : 1;
	int candidates = latex ? 6 : 5;
	int32_t result = kStyleNone;
	unsigned best = 0;
	for (int k = first; k < candidates; k++) {
		if (findings.candidate[k] > best) {
			best = findings.candidate[k];
			result = k + 1;
		}
	}
	return result;
}


bool
latex_output_is_utf8(const uint8_t* data, size_t length)
{
	uint8_t need = 0;
	uint8_t low = 0;
	uint8_t high = 0;
	for (size_t i = 0; i < length; i++) {
		uint8_t c = data[i];
		if (need > 0) {
			// The table would take a 0xB7 out of the sequence it ends.
			if (c < low || c > high || c == 0xB7)
				return false;
			need--;
			low = 0x80;
			high = 0xBF;
			continue;
		}
		if (c < 0x80 || c == 0xB7 || c == 0xFF)
			continue;
		const Lead& lead = kLeads.lead[c];
		if (lead.need == 0)
			return false;
		need = lead.need;
		low = lead.low;
		high = lead.high;
	}
	return need == 0;
}


void
rewrite_latex(uint8_t* data, size_t length)
{
	size_t i = 0;
	while (i < length) {
		if (data[i] != '"' || i + 1 >= length) {
			i++;
			continue;
		}
		// TeX's own accent command, \"o, is written as it stands.
		if (i > 0 && data[i - 1] == '\\') {
			i += 2;
			continue;
		}
		uint8_t lead = 0xC3;
		uint8_t second;
		switch (data[i + 1]) {
		case 'A':
			second = 0x84;
			break;
		case 'O':
			second = 0x96;
			break;
		case 'U':
			second = 0x9C;
			break;
		case 'a':
			second = 0xA4;
			break;
		case 'o':
			second = 0xB6;
			break;
		case 's':
			second = 0x9F;
			break;
		case 'u':
			second = 0xBC;
			break;
		case 0xB7:
			lead = 0xC2;
			second = 0xB0;
			break;
		default:
			// The quote and the byte after it go together, so the second
			// of two quotes never opens a pair.
			i += 2;
			continue;
		}
		data[i] = lead;
		data[i + 1] = second;
		i++;
	}
}
