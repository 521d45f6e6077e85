/*
 * The contexts of a text's special characters. Plain ASCII is passed over
 * eight bytes at a time; a byte from 0x80 up either opens a valid UTF-8
 * sequence, which is counted and passed over whole, or stands on its own,
 * and then its context is looked up in a table of how often each was seen.
 */
#include "convert/contexts.h"

#include "charmap/processor.h"
#include "convert/utf8.h"

#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TEXTWEND_X86 1
#endif


namespace {

// The kind of the byte beside a special character: for ASCII a class that
// tells words, numbers, spaces and line ends apart; for a byte from 0x80 up
// its top bits, which tell letters from signs in most sets.
enum Neighbour : uint8_t {
	kEdge,  // a line end, or the start or end of the text
	kSpace, // a space or a tab
	kDigit,
	kSmall,   // a to z
	kCapital, // A to Z
	kOpening, // ( [ { " ' `
	kStop,    // . , ; : ! ? ) ] }
	kSign,    // any other
	kHigh,    // 8 to 15: 0x80 and up, by the byte's top bits
};

constexpr uint8_t
neighbour_of(int c)
{
	if (c >= 0x80)
		return (uint8_t)(kHigh + ((c >> 4) & 7));
	if (c == '\n' || c == '\r' || c == 0)
		return kEdge;
	if (c == ' ' || c == '\t')
		return kSpace;
	if (c >= '0' && c <= '9')
		return kDigit;
	if (c >= 'a' && c <= 'z')
		return kSmall;
	if (c >= 'A' && c <= 'Z')
		return kCapital;
	if (c == '(' || c == '[' || c == '{' || c == '"' || c == '\'' || c == '`')
		return kOpening;
	if (c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?'
			|| c == ')' || c == ']' || c == '}')
		return kStop;
	return kSign;
}

struct Neighbours {
	uint8_t of[256];
};

constexpr Neighbours
make_neighbours()
{
	Neighbours neighbours {};
	for (int c = 0; c < 256; c++)
		neighbours.of[c] = neighbour_of(c);
	return neighbours;
}

constexpr Neighbours kNeighbours = make_neighbours();

// Sixteen kinds before, the byte's low seven bits, sixteen kinds after.
const size_t kContexts = 16 * 128 * 16;
const int kKeyShift = 48;

inline unsigned
context_of(const uint8_t* data, size_t at)
{
	uint8_t before = at > 0 ? data[at - 1] : '\n';
	return (unsigned)kNeighbours.of[before] << 11
			| (unsigned)(data[at] & 0x7F) << 4 | kNeighbours.of[data[at + 1]];
}


// A character of Western letters: a letter or sign of Latin-1 or of the
// Windows set, punctuation, currency, ™, frames. Bytes of an 8-bit text
// seldom make one of these by chance.
bool
is_letter_character(const uint8_t* sequence, size_t size)
{
	uint32_t codePoint = utf8_code_point(sequence, size);
	return (codePoint >= 0xA0 && codePoint <= 0xFF) || codePoint == 0x152
			|| codePoint == 0x153 || codePoint == 0x160 || codePoint == 0x161
			|| codePoint == 0x178 || codePoint == 0x17D || codePoint == 0x17E
			|| (codePoint >= 0x2010 && codePoint <= 0x20CF)
			|| codePoint == 0x2122
			|| (codePoint >= 0x2500 && codePoint <= 0x25FF);
}

// What one such character weighs against the bytes outside UTF-8.
const uint64_t kLetterWeight = 4;


// The bits set in a mask of 16, without a call where the build has no
// instruction for it.
inline uint64_t
bits_in(unsigned mask)
{
	mask = mask - ((mask >> 1) & 0x5555);
	mask = (mask & 0x3333) + ((mask >> 2) & 0x3333);
	mask = (mask + (mask >> 4)) & 0x0F0F;
	return (mask + (mask >> 8)) & 0x1F;
}

} // namespace


void
text_contexts::Note(const uint8_t* data, size_t at, unsigned key)
{
	uint8_t byte = data[at];
	fPresent[(byte >> 6) & 1] |= uint64_t(1) << (byte & 63);
	fSeen[key]++;
	fPlaces.push_back((uint64_t)key << kKeyShift | at);
}


// A byte from 0x80 up that starts a sequence: the length of the valid
// sequence, counted, or 1 for a stray, noted; 0 where the text ends inside
// a sequence, whose bytes are all noted then.
size_t
text_contexts::Lead(const uint8_t* data, size_t at, size_t length)
{
	bool cut = false;
	size_t size = utf8_sequence_at(data, at, length, cut);
	if (size > 0) {
		fSequences++;
		fLetterSequences += is_letter_character(data + at, size);
		return size;
	}
	if (!cut) {
		Stray(data, at);
		return 1;
	}
	// What is left of the text is the start of a character.
	fCutBytes = length - at;
	for (; at < length; at++)
		Stray(data, at);
	return 0;
}


void
text_contexts::Stray(const uint8_t* data, size_t at)
{
	if (!fSeen)
		fSeen.reset(new uint8_t[kContexts]());
	fStrays++;
	unsigned key = context_of(data, at);
	if (fSeen[key] < kPerContext)
		Note(data, at, key);
}


size_t
text_contexts::GatherAll(
		const uint8_t* data, size_t from, size_t to, size_t length)
{
	// Nearly every byte from 0x80 up of a long 8-bit text is a stray whose
	// context was seen enough already: that case goes without a call, and
	// with as few branches as can be, as it comes by the million.
	uint8_t* seen = fSeen.get();
	uint64_t strays = 0;
	auto high = [&](size_t at) -> size_t {
		uint8_t c = data[at];
		// A lead followed by a continuation byte may start a sequence, and
		// the last byte may be the start of one cut short.
		if (kLeads.lead[c].need != 0
				&& ((data[at + 1] & 0xC0) == 0x80 || at + 1 == length)) {
			size_t size = Lead(data, at, length);
			seen = fSeen.get();
			return size;
		}
		if (seen != NULL && seen[context_of(data, at)] >= kPerContext) {
			strays++;
			return 1;
		}
		Stray(data, at);
		seen = fSeen.get();
		return 1;
	};
	size_t i = from;
	// Where the last sequence ends: it may reach into the next block.
	size_t next = from;
#ifdef __SSE2__
	// Plain ASCII says nothing: the bytes from 0x80 up of a block are found
	// at once.
	for (; i + 16 <= to; i += 16) {
		unsigned mask = (unsigned)_mm_movemask_epi8(
				_mm_loadu_si128((const __m128i*)(data + i)));
		while (mask != 0) {
			size_t at = i + (size_t)__builtin_ctz(mask);
			mask &= mask - 1;
			if (at < next)
				continue;
			size_t size = high(at);
			if (size == 0) {
				fStrays += strays;
				return length;
			}
			next = at + size;
		}
	}
#endif
	for (i = i > next ? i : next; i < to;) {
		if (data[i] < 0x80) {
			i++;
			continue;
		}
		size_t size = high(i);
		if (size == 0) {
			i = length;
			break;
		}
		i += size;
	}
	fStrays += strays;
	return i;
}


// The first place of a byte value in a piece far into a long text.
void
text_contexts::Sample(const uint8_t* data, size_t at, size_t length)
{
	bool cut = false;
	size_t size
			= data[at] >= 0xC2 ? utf8_sequence_at(data, at, length, cut) : 0;
	if (size > 0) {
		fSampledSequences++;
		fSampledLetters += is_letter_character(data + at, size);
		return;
	}
	// A continuation byte of a sequence that began before it.
	for (size_t back = 1; back <= 3 && back <= at; back++) {
		if (data[at - back] < 0x80)
			break;
		if (data[at - back] >= 0xC2) {
			if (utf8_sequence_at(data, at - back, length, cut) > back)
				return;
			break;
		}
	}
	fSampledStrays++;
	if (!fSeen)
		fSeen.reset(new uint8_t[kContexts]());
	unsigned key = context_of(data, at);
	if (fSeen[key] < kPerContext)
		Note(data, at, key);
}


namespace {

#ifdef TEXTWEND_X86

// The first place of each wanted value in [from, to), 32 bytes at a time:
// a block without one costs a few instructions.
template<typename Found>
TEXTWEND_AVX2 size_t
first_places_avx2(const uint8_t* data, size_t from, size_t to,
		wanted_values& wanted, Found found)
{
	const __m256i bitOf = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8,
			16, 32, 64, (char)128, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32,
			64, (char)128);
	__m256i rows = _mm256_broadcastsi128_si256(
			_mm_load_si128((const __m128i*)wanted.rows));
	size_t i = from;
	for (; i + 32 <= to; i += 32) {
		__m256i bytes = _mm256_loadu_si256((const __m256i*)(data + i));
		// The shuffle gives 0 for bytes below 0x80, whose index keeps its
		// top bit.
		__m256i row = _mm256_shuffle_epi8(
				rows, _mm256_xor_si256(bytes, _mm256_set1_epi8((char)0x80)));
		__m256i bit = _mm256_shuffle_epi8(bitOf,
				_mm256_and_si256(
						_mm256_srli_epi16(bytes, 4), _mm256_set1_epi8(0x0F)));
		uint32_t mask = (uint32_t)_mm256_movemask_epi8(_mm256_andnot_si256(
				_mm256_cmpeq_epi8(bit, _mm256_setzero_si256()),
				_mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit)));
		if (mask == 0)
			continue;
		for (; mask != 0; mask &= mask - 1) {
			size_t at = i + (size_t)__builtin_ctz(mask);
			if (wanted.Wants(data[at])) {
				wanted.Take(data[at]);
				found(at);
			}
		}
		if (!wanted.Any())
			return to;
		rows = _mm256_broadcastsi128_si256(
				_mm_load_si128((const __m128i*)wanted.rows));
	}
	return i;
}

#endif

} // namespace


void
text_contexts::GatherValues(const uint8_t* data, size_t from, size_t to,
		size_t length, const value_places* scanned)
{
	wanted_values wanted;
	memset(wanted.rows, 0xFF, sizeof(wanted.rows));
	auto found = [&](size_t at) { Sample(data, at, length); };
	// Before the blocks the scan looked at, after them, or all of it.
	size_t end = scanned != NULL ? scanned->begin : to;
	size_t i = from;
#ifdef TEXTWEND_X86
	if (processor_has_avx2())
		i = first_places_avx2(data, from, end, wanted, found);
#endif
	for (; i < end && wanted.Any(); i++) {
		if (data[i] >= 0x80 && wanted.Wants(data[i])) {
			wanted.Take(data[i]);
			found(i);
		}
	}
	if (scanned == NULL)
		return;
	for (unsigned k = 0; k < scanned->count; k++) {
		uint8_t byte = data[scanned->places[k]];
		if (wanted.Wants(byte)) {
			wanted.Take(byte);
			found(scanned->places[k]);
		}
	}
	for (i = scanned->end; i < to && wanted.Any(); i++) {
		if (data[i] >= 0x80 && wanted.Wants(data[i])) {
			wanted.Take(data[i]);
			found(i);
		}
	}
}


void
text_contexts::count_sequences(const uint8_t* data, size_t from, size_t to)
{
	if (to > kWholeUpTo)
		to = kWholeUpTo;
	size_t i = from;
#ifdef __SSE2__
	const __m128i lead = _mm_set1_epi8((char)0xBF);
	for (; i + 16 <= to; i += 16) {
		__m128i bytes = _mm_loadu_si128((const __m128i*)(data + i));
		// From 0xC0 up: above 0xBF once the top bit is flipped for a
		// signed compare.
		__m128i flip = _mm_set1_epi8((char)0x80);
		unsigned leads = (unsigned)_mm_movemask_epi8(_mm_cmpgt_epi8(
				_mm_xor_si128(bytes, flip), _mm_xor_si128(lead, flip)));
		if (leads == 0)
			continue;
		unsigned letters = (unsigned)_mm_movemask_epi8(_mm_or_si128(
				_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8((char)0xC2)),
						_mm_cmpeq_epi8(bytes, _mm_set1_epi8((char)0xC3))),
				_mm_cmpeq_epi8(bytes, _mm_set1_epi8((char)0xE2))));
		fSequences += bits_in(leads);
		fLetterSequences += bits_in(letters);
	}
#endif
	for (; i < to; i++) {
		fSequences += data[i] >= 0xC0;
		fLetterSequences
				+= data[i] == 0xC2 || data[i] == 0xC3 || data[i] == 0xE2;
	}
}


void
text_contexts::gather(const uint8_t* data, size_t from, size_t to,
		size_t length, const value_places* scanned)
{
	size_t at = from;
	if (from < kWholeUpTo)
		at = GatherAll(data, from, to < kWholeUpTo ? to : kWholeUpTo, length);
	if (at < to)
		GatherValues(data, at, to, length, at == from ? scanned : NULL);
}


void
text_contexts::join(const text_contexts& next)
{
	fSampledSequences += next.fSampledSequences;
	fSampledLetters += next.fSampledLetters;
	fSampledStrays += next.fSampledStrays;
	fSequences += next.fSequences;
	fLetterSequences += next.fLetterSequences;
	fStrays += next.fStrays;
	fCutBytes += next.fCutBytes;
	fPresent[0] |= next.fPresent[0];
	fPresent[1] |= next.fPresent[1];
	for (uint64_t place : next.fPlaces) {
		unsigned key = (unsigned)(place >> kKeyShift);
		if (!fSeen)
			fSeen.reset(new uint8_t[kContexts]());
		if (fSeen[key] < kPerContext) {
			fSeen[key]++;
			fPlaces.push_back(place);
		}
	}
}


void
text_contexts::Reset()
{
	if (fSeen) {
		for (uint64_t place : fPlaces)
			fSeen[place >> kKeyShift] = 0;
	}
	fPlaces.clear();
	fPresent[0] = fPresent[1] = 0;
	fSequences = fLetterSequences = fStrays = fCutBytes = 0;
	fSampledSequences = fSampledLetters = fSampledStrays = 0;
}


bool
text_contexts::MostlyUtf8() const
{
	uint64_t sequences = fSequences;
	uint64_t letters = fLetterSequences;
	uint64_t strays = fStrays - fCutBytes;
	// Where the whole of the start is ASCII, the first places of the rest
	// tell.
	if (sequences == 0 && strays == 0) {
		sequences = fSampledSequences;
		letters = fSampledLetters;
		strays = fSampledStrays;
	}
	uint64_t weight = sequences + (kLetterWeight - 1) * letters
			+ (fCutBytes > 0 ? kLetterWeight : 0);
	return weight > 0 && weight > strays;
}


text_contexts
gather_contexts(const uint8_t* data, size_t length)
{
	text_contexts contexts;
	contexts.gather(data, 0, length, length);
	return contexts;
}
