/*
 * The writer's byte loop over a flat map. Most German text is plain ASCII
 * with a few letters from 0x80 up and a line end per line, so runs of bytes
 * that map to themselves are moved whole, and every other byte costs one
 * lookup and one fixed-size copy: blocks of 16 bytes with SSE2, which every
 * x86-64 has, and of 64 bytes where the processor has AVX2. Where it can look
 * up 64 bytes in a table at once and pack the texts together (AVX-512
 * VBMI2), a block of 64 bytes goes through the tables without a branch per
 * byte. The processor is asked once; the byte loop is what all of them must
 * give.
 */
#include "charmap/flat_map.h"

#include "charmap/options.h"
#include "charmap/processor.h"

#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TEXTWEND_X86 1 // SSE2 always, more after a check of the processor
#endif


namespace {

bool
gives_itself(const flat_map& flat, int c)
{
	return flat.length[0][c] == 1 && flat.text[c][0] == (char)c
			&& flat.skip[c] == 0;
}

} // namespace


bool
processor_has(map_path path)
{
	switch (path) {
	case kMapBytes:
		return true;
	case kMapSse2:
		return true;
	case kMapAvx2:
		return processor_has_avx2();
	case kMapVbmi2:
		return processor_has_vbmi2();
	}
	return false;
}


void
flatten_map(mt* map, int32_t nylMod, flat_map& flat)
{
	bool anySkip = false;
	for (int c = 0; c < 256; c++) {
		char* text = flat.text[c];
		memset(text, 0, kFlatTextSize);
		size_t length = 0;
		if (c == 0 && nylMod == kNylModKeep)
			length = 1; // the zero byte itself; a text cannot hold it
		size_t textLength = strnlen(map[c].str, sizeof(map[c].str));
		memcpy(text + length, map[c].str, textLength);
		length += textLength;
		flat.length[0][c] = (uint8_t)length;
		flat.length[1][c] = (uint8_t)length;
		// A negative count would hold the loop in place for ever.
		int skip = map[c].getb();
		flat.skip[c] = skip > 0 ? skip : 0;
		if (flat.skip[c] != 0)
			anySkip = true;
	}
	flat.crLfAsOne = cr_lf_as_one(map);
	if (flat.crLfAsOne)
		flat.length[1]['\r'] = 0;

	bool printablePlain = !anySkip;
	for (int c = 0x20; c < 0x7F; c++)
		printablePlain = printablePlain && gives_itself(flat, c);
	flat.printablePlain = printablePlain;
	flat.lfPlain = gives_itself(flat, '\n');
	flat.tabPlain = gives_itself(flat, '\t');
	bool highPlain = printablePlain;
	for (int c = 0x80; c < 0x100; c++)
		highPlain = highPlain && gives_itself(flat, c);
	flat.highPlain = highPlain;

	bool fit = !anySkip;
	for (int c = 0; c < 256; c++) {
		fit = fit && flat.length[0][c] <= 3;
		for (int t = 0; t < 3; t++)
			flat.column[t][c] = (uint8_t)flat.text[c][t];
	}
	flat.tablesFit = fit;

	flat.path = kMapBytes;
	for (int path = kMapBytes; path < kMapPaths; path++) {
		if (processor_has((map_path)path))
			flat.path = (map_path)path;
	}
}


bool
cr_lf_as_one(mt* map)
{
	return map['\r'].str[0] != '\0' && map['\r'].getb() == 0
			&& strncmp(map['\r'].str, map['\n'].str, sizeof(map[0].str)) == 0;
}


namespace {

// One byte the way the map says, skip count included.
inline void
map_one(const flat_map& flat, const uint8_t* source, size_t length, size_t& i,
		char*& out)
{
	uint8_t c = source[i];
	bool lfNext = i + 1 < length && source[i + 1] == '\n';
	memcpy(out, flat.text[c], kFlatTextSize);
	out += flat.length[lfNext][c];
	i += (size_t)flat.skip[c] + 1;
}


// The bytes of a block that a run cannot hold, one bit each: the special
// bytes. The run before each, and then its text, go out; what follows the
// last one goes out whole. Reads kBlock + 1 bytes and writes up to kBlock
// beyond what it produces.
template<size_t kBlock>
inline char*
put_runs(
		const flat_map& flat, const uint8_t* block, uint32_t special, char* out)
{
	unsigned done = 0;
	while (special != 0) {
		unsigned at = (unsigned)__builtin_ctz(special);
		special &= special - 1;
		memcpy(out, block + done, kBlock);
		out += at - done;
		uint8_t c = block[at];
		memcpy(out, flat.text[c], kFlatTextSize);
		out += flat.length[block[at + 1] == '\n'][c];
		done = at + 1;
	}
	memcpy(out, block + done, kBlock);
	return out + kBlock - done;
}


#ifdef TEXTWEND_X86

// Bytes below 0x20 or from 0x7F up, less LF and TAB where they give
// themselves.
inline uint32_t
special_bytes(const uint8_t* block, __m128i lf, __m128i tab)
{
	__m128i bytes = _mm_loadu_si128((const __m128i*)block);
	// Signed: 0x80 to 0xFF are negative, so below 0x20 as well.
	__m128i low = _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20));
	__m128i del = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F));
	__m128i plain = _mm_or_si128(
			_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, tab));
	return (uint32_t)_mm_movemask_epi8(
			_mm_andnot_si128(plain, _mm_or_si128(low, del)));
}


// A byte that is plain anyway, for the LF or TAB that must stay special.
const char kPlainByte = 0x20;


void
map_blocks_sse2(const flat_map& flat, const uint8_t* source, size_t length,
		size_t& i, char*& out, const char* limit)
{
	const __m128i lf = _mm_set1_epi8(flat.lfPlain ? '\n' : kPlainByte);
	const __m128i tab = _mm_set1_epi8(flat.tabPlain ? '\t' : kPlainByte);
	// A block turns into 16 texts at the most, and stores 16 bytes more.
	const size_t room = 16 * kFlatTextSize + 16;
	while (i + 32 <= length && out + room <= limit) {
		uint32_t special = special_bytes(source + i, lf, tab);
		out = put_runs<16>(flat, source + i, special, out);
		i += 16;
	}
}

// special_bytes for 32 bytes, and the bytes from 0x80 up plain where high
// is all ones. Plain bytes run from 0x20 to 0x7E; one added, they run from
// 0x21 to 0x7F, the only bytes above 0x20 taken as signed.
TEXTWEND_AVX2 inline uint32_t
special_bytes_32(const uint8_t* block, __m256i lf, __m256i tab, uint32_t high)
{
	__m256i bytes = _mm256_loadu_si256((const __m256i*)block);
	__m256i shifted = _mm256_add_epi8(bytes, _mm256_set1_epi8(1));
	__m256i outside = _mm256_cmpgt_epi8(_mm256_set1_epi8(0x21), shifted);
	__m256i plain = _mm256_or_si256(
			_mm256_cmpeq_epi8(bytes, lf), _mm256_cmpeq_epi8(bytes, tab));
	uint32_t special = (uint32_t)_mm256_movemask_epi8(
			_mm256_andnot_si256(plain, outside));
	return special & ~((uint32_t)_mm256_movemask_epi8(bytes) & high);
}


// The CRs that an LF follows.
TEXTWEND_AVX2 inline uint32_t
cr_lf_pairs_32(const uint8_t* block)
{
	__m256i bytes = _mm256_loadu_si256((const __m256i*)block);
	__m256i next = _mm256_loadu_si256((const __m256i*)(block + 1));
	return (uint32_t)_mm256_movemask_epi8(
			_mm256_and_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r')),
					_mm256_cmpeq_epi8(next, _mm256_set1_epi8('\n'))));
}


// 32 bytes in one load and one store, where the compiler would split them.
TEXTWEND_AVX2 inline void
copy_32(char* to, const uint8_t* from)
{
	_mm256_storeu_si256((__m256i*)to, _mm256_loadu_si256((const __m256i*)from));
}


// Runs of plain bytes copied whole and the text of each special byte
// between them, 64 source bytes a block: a quarter of the blocks of the
// 16-byte loop, so a quarter of the walks whose end the processor cannot
// foresee. Runs are copied 16 bytes a store, as most runs in text are short.
TEXTWEND_AVX2 void
map_blocks_avx2(const flat_map& flat, const uint8_t* source, size_t length,
		size_t& position, char*& output, const char* limit)
{
	const __m256i lf = _mm256_set1_epi8(flat.lfPlain ? '\n' : kPlainByte);
	const __m256i tab = _mm256_set1_epi8(flat.tabPlain ? '\t' : kPlainByte);
	const uint32_t high = flat.highPlain ? ~0u : 0u;
	// A block turns into one text per byte at the most, and stores 32 bytes
	// more.
	const size_t room = 64 * kFlatTextSize + 32;
	size_t i = position;
	char* out = output;
	// The last copy of a block reads 32 bytes from as far as its end.
	while (i + 96 <= length && out + room <= limit) {
		const uint8_t* block = source + i;
		uint64_t special = special_bytes_32(block, lf, tab, high)
				| (uint64_t)special_bytes_32(block + 32, lf, tab, high) << 32;
		if (special == 0) {
			copy_32(out, block);
			copy_32(out + 32, block + 32);
			out += 64;
			i += 64;
			continue;
		}
		// Each special byte's row of lengths: 1 for a CR that an LF follows.
		uint64_t pairs = cr_lf_pairs_32(block)
				| (uint64_t)cr_lf_pairs_32(block + 32) << 32;
		unsigned done = 0;
		while (special != 0) {
			unsigned at = (unsigned)__builtin_ctzll(special);
			special &= special - 1;
			memcpy(out, block + done, 16);
			if (at - done > 16) {
				for (unsigned more = 16; done + more < at; more += 16)
					memcpy(out + more, block + done + more, 16);
			}
			out += at - done;
			unsigned c = block[at];
			memcpy(out, flat.text[c], kFlatTextSize);
			out += flat.length[(pairs >> at) & 1][c];
			done = at + 1;
		}
		for (unsigned more = 0; done + more < 64; more += 32)
			copy_32(out + more, block + done + more);
		out += 64 - done;
		i += 64;
	}
	position = i;
	output = out;
}


#define TEXTWEND_PACKING                                                       \
	__attribute__((target(                                                     \
			"avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt")))

// Where the texts of the 16 source bytes from 16 k on go in a register of
// 48 slots, three per byte: slot s holds byte s % 3 of the text of source
// byte s / 3. The slots beyond 48 are never kept.
struct alignas(64) Slots {
	uint8_t firstTwo[4][64]; // from the first or the second column
	uint8_t third[4][64];    // from the third
	uint8_t source[4][64];   // which source byte, for its length
	uint8_t place[64];       // s % 3, and 255 where no slot is
};

constexpr Slots
make_slots()
{
	Slots slots {};
	for (int k = 0; k < 4; k++) {
		for (int s = 0; s < 64; s++) {
			int byte = s < 48 ? 16 * k + s / 3 : 0;
			int t = s % 3;
			slots.firstTwo[k][s] = (uint8_t)(t == 1 ? 64 + byte : byte);
			slots.third[k][s] = (uint8_t)byte;
			slots.source[k][s] = (uint8_t)byte;
		}
	}
	for (int s = 0; s < 64; s++)
		slots.place[s] = (uint8_t)(s < 48 ? s % 3 : 255);
	return slots;
}

constexpr Slots kSlots = make_slots();

// The same with two slots per byte for the 32 source bytes from 32 r on,
// when no text in the block is longer than two bytes.
struct alignas(64) PairSlots {
	uint8_t firstTwo[2][64];
	uint8_t source[2][64];
	uint8_t place[64];
};

constexpr PairSlots
make_pair_slots()
{
	PairSlots slots {};
	for (int r = 0; r < 2; r++) {
		for (int s = 0; s < 64; s++) {
			int byte = 32 * r + s / 2;
			slots.firstTwo[r][s] = (uint8_t)(s % 2 == 1 ? 64 + byte : byte);
			slots.source[r][s] = (uint8_t)byte;
		}
	}
	for (int s = 0; s < 64; s++)
		slots.place[s] = (uint8_t)(s % 2);
	return slots;
}

constexpr PairSlots kPairSlots = make_pair_slots();

// The slots that take the third byte of a text.
constexpr uint64_t
third_slots()
{
	uint64_t mask = 0;
	for (int s = 2; s < 48; s += 3)
		mask |= (uint64_t)1 << s;
	return mask;
}


// The entries of a 256-byte table for 64 source bytes at once.
TEXTWEND_PACKING inline __m512i
look_up(const __m512i (&table)[4], __m512i bytes, __mmask64 high)
{
	__m512i low = _mm512_permutex2var_epi8(table[0], bytes, table[1]);
	__m512i upper = _mm512_permutex2var_epi8(table[2], bytes, table[3]);
	return _mm512_mask_blend_epi8(high, low, upper);
}


TEXTWEND_PACKING inline void
load_table(__m512i (&table)[4], const uint8_t* entries)
{
	for (int q = 0; q < 4; q++)
		table[q] = _mm512_loadu_si512(entries + 64 * q);
}


// Blocks of 64 bytes through the tables: each byte's text and length are
// looked up in one go, the CR of a CR LF pair loses its text, and the texts
// are packed together 16 source bytes at a time. Only a block of plain
// bytes is copied as it is.
TEXTWEND_PACKING void
map_table_blocks(const flat_map& flat, const uint8_t* source, size_t length,
		size_t& i, char*& out, const char* limit)
{
	__m512i first[4], second[4], third[4], lengths[4];
	load_table(first, flat.column[0]);
	load_table(second, flat.column[1]);
	load_table(third, flat.column[2]);
	load_table(lengths, flat.length[0]);
	const __m512i place = _mm512_loadu_si512(kSlots.place);
	const __m512i pairPlace = _mm512_loadu_si512(kPairSlots.place);
	const __m512i two = _mm512_set1_epi8(2);
	const __m512i lf = _mm512_set1_epi8('\n');
	const __m512i cr = _mm512_set1_epi8('\r');
	const __m512i space = _mm512_set1_epi8(0x20);
	const __m512i del = _mm512_set1_epi8(0x7F);
	const __m512i lfPlain = _mm512_set1_epi8(flat.lfPlain ? '\n' : kPlainByte);
	const __m512i tabPlain
			= _mm512_set1_epi8(flat.tabPlain ? '\t' : kPlainByte);
	const __mmask64 thirds = third_slots();
	// A block turns into three bytes per source byte at the most, and the
	// last store writes 64 bytes from where the last packing begins.
	const size_t room = 3 * 64 + 64;

	while (i + 64 < length && out + room <= limit) {
		__m512i bytes = _mm512_loadu_si512(source + i);
		__mmask64 special = (_mm512_cmpgt_epi8_mask(space, bytes)
									| _mm512_cmpeq_epi8_mask(bytes, del))
				& ~(_mm512_cmpeq_epi8_mask(bytes, lfPlain)
						| _mm512_cmpeq_epi8_mask(bytes, tabPlain));
		if (special == 0 && flat.printablePlain) {
			_mm512_storeu_si512(out, bytes);
			out += 64;
			i += 64;
			continue;
		}

		__mmask64 high = _mm512_movepi8_mask(bytes);
		__m512i b0 = look_up(first, bytes, high);
		__m512i b1 = look_up(second, bytes, high);
		__m512i n = look_up(lengths, bytes, high);
		if (flat.crLfAsOne) {
			__m512i next = _mm512_loadu_si512(source + i + 1);
			__mmask64 pairs = _mm512_cmpeq_epi8_mask(bytes, cr)
					& _mm512_cmpeq_epi8_mask(next, lf);
			n = _mm512_mask_mov_epi8(n, pairs, _mm512_setzero_si512());
		}
		// The masked permutes: the plain ones start from an undefined
		// register, which GCC takes for uninitialized.
		const __mmask64 all = ~(__mmask64)0;
		if (_mm512_cmpgt_epu8_mask(n, two) == 0) {
			for (int r = 0; r < 2; r++) {
				__m512i slots = _mm512_permutex2var_epi8(
						b0, _mm512_loadu_si512(kPairSlots.firstTwo[r]), b1);
				__m512i sizes = _mm512_maskz_permutexvar_epi8(
						all, _mm512_loadu_si512(kPairSlots.source[r]), n);
				__mmask64 kept = _mm512_cmpgt_epu8_mask(sizes, pairPlace);
				_mm512_storeu_si512(
						out, _mm512_maskz_compress_epi8(kept, slots));
				out += __builtin_popcountll(kept);
			}
			i += 64;
			continue;
		}
		__m512i b2 = look_up(third, bytes, high);
		for (int k = 0; k < 4; k++) {
			__m512i slots = _mm512_permutex2var_epi8(
					b0, _mm512_loadu_si512(kSlots.firstTwo[k]), b1);
			slots = _mm512_mask_permutexvar_epi8(
					slots, thirds, _mm512_loadu_si512(kSlots.third[k]), b2);
			__m512i sizes = _mm512_maskz_permutexvar_epi8(
					all, _mm512_loadu_si512(kSlots.source[k]), n);
			__mmask64 kept = _mm512_cmpgt_epu8_mask(sizes, place);
			_mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, slots));
			out += __builtin_popcountll(kept);
		}
		i += 64;
	}
}

#else

void
map_blocks_sse2(const flat_map& flat, const uint8_t* source, size_t length,
		size_t& i, char*& out, const char* limit)
{
	const size_t room = 16 * kFlatTextSize + 16;
	while (i + 32 <= length && out + room <= limit) {
		uint32_t special = 0;
		for (unsigned n = 0; n < 16; n++) {
			uint8_t c = source[i + n];
			bool plain = (c >= 0x20 && c < 0x7F) || (c == '\n' && flat.lfPlain)
					|| (c == '\t' && flat.tabPlain);
			if (!plain)
				special |= 1u << n;
		}
		out = put_runs<16>(flat, source + i, special, out);
		i += 16;
	}
}

#endif

} // namespace


size_t
map_bytes(const flat_map& flat, const uint8_t* source, size_t length,
		size_t& position, char* output, size_t capacity)
{
	return map_piece(flat, source, length, length, position, output, capacity);
}


size_t
map_piece(const flat_map& flat, const uint8_t* source, size_t end,
		size_t length, size_t& position, char* output, size_t capacity)
{
	if (capacity < kMapBytesSlack)
		return 0;

	char* out = output;
	const char* limit = output + capacity;
	char* full = output + capacity - kMapBytesSlack;
	size_t i = position;

	// The blocks look ahead only inside what they are given: up to end.
#ifdef TEXTWEND_X86
	if (flat.path >= kMapVbmi2 && flat.tablesFit)
		map_table_blocks(flat, source, end, i, out, limit);
	if (flat.path >= kMapAvx2 && flat.printablePlain)
		map_blocks_avx2(flat, source, end, i, out, limit);
#endif
	if (flat.path >= kMapSse2 && flat.printablePlain)
		map_blocks_sse2(flat, source, end, i, out, limit);
	while (i < end && out <= full)
		map_one(flat, source, length, i, out);

	// A skip count may carry the position past the end.
	position = i < end ? i : end;
	return (size_t)(out - output);
}


size_t
longest_text(const flat_map& flat)
{
	size_t longest = 1;
	for (int c = 0; c < 256; c++) {
		if (flat.length[0][c] > longest)
			longest = flat.length[0][c];
	}
	return longest;
}
