// The loops that touch every byte: the detection scan, the writer's byte
// loop and the checksum of the stamp over what it writes, in MB/s, on German
// text in the DOS code page with CR LF; the scan and the writer by each path
// that the processor has. Then the scan with the checksum of the original,
// and the whole writer with the checksum of the new text, on one thread and
// on the threads that a large file gets here.
#include "charmap/flat_map.h"
#include "charmap/options.h"
#include "convert/detect.h"
#include "convert/scan_pieces.h"
#include "convert/stamp.h"
#include "convert/threads.h"
#include "convert/write_text.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::string
german_dos_text(size_t size)
{
	const std::string lines[] = {
			"Liebe Gr\x81\xE1"
			"e aus \x99sterreich!\r\n",
			"Die B\x84"
			"ckerin verkauft s\x81\xE1"
			"e Br\x94tchen und \x8Epfel.\r\n",
			"\x9A"
			"bermorgen fahren wir \x81"
			"ber die Br\x81"
			"cke nach K\x94ln.\r\n",
			"Ma\xE1 halten: drei St\x81"
			"ck f\x81r 2,50 Mark, und das ist gut so.\r\n",
			"Ein ganz gew\x94hnlicher Satz ohne besondere Zeichen darin.\r\n",
	};
	std::string text;
	for (size_t i = 0; text.size() < size; i++)
		text += lines[i % 5];
	text.resize(size);
	text.push_back('\0');
	return text;
}

const size_t kSize = 16 * 1024 * 1024;

// The writer's map for that text: the DOS code page, CR LF as one line end.
void
flatten_dos_map(flat_map& flat)
{
	mt map[kMapSize];
	map[0].Clear();
	map[0].SetNewline(3);
	map[0].SetPc();
	flatten_map(map, nyl_mod, flat);
}

// The same text in UTF-8, as the writer makes it.
std::string
german_utf8_text(size_t size)
{
	std::string dos = german_dos_text(size);
	flat_map flat;
	flatten_dos_map(flat);
	std::vector<char> output(256 * 1024);
	std::string text;
	size_t position = 0;
	while (text.size() < size) {
		text.append(output.data(),
				map_bytes(flat, (const uint8_t*)dos.data(), size, position,
						output.data(), output.size()));
	}
	text.resize(size);
	text.push_back('\0');
	return text;
}

const char* const kScanPathNames[kScanPaths] = {"bytes", "sse2", "avx2"};

// The detection scan on German DOS text, or on the same in UTF-8, which it
// has to check throughout.
void
scan_loop(benchmark::State& state, scan_path path, bool utf8)
{
	std::string text = utf8 ? german_utf8_text(kSize) : german_dos_text(kSize);
	for (auto _ : state) {
		text_findings found
				= scan_text((const uint8_t*)text.data(), kSize, false, path);
		benchmark::DoNotOptimize(found);
	}
	state.SetBytesProcessed((int64_t)state.iterations() * kSize);
}

const char* const kMapPathNames[kMapPaths] = {"bytes", "sse2", "avx2", "vbmi2"};

// The writer's loop on German DOS text or on plain ASCII, its ceiling, by
// one of its paths.
void
writer_loop(benchmark::State& state, map_path path, bool ascii)
{
	std::string text
			= ascii ? std::string(kSize, 'x') + '\0' : german_dos_text(kSize);
	flat_map flat;
	flatten_dos_map(flat);
	flat.path = path;
	std::vector<char> output(256 * 1024);
	for (auto _ : state) {
		size_t position = 0;
		size_t total = 0;
		while (position < kSize) {
			total += map_bytes(flat, (const uint8_t*)text.data(), kSize,
					position, output.data(), output.size());
		}
		benchmark::DoNotOptimize(total);
	}
	state.SetBytesProcessed((int64_t)state.iterations() * kSize);
}

// Fed as the writer feeds it, one output piece at a time.
void
BM_StampChecksum(benchmark::State& state)
{
	std::string text = german_dos_text(kSize);
	const size_t piece = 256 * 1024 - 7;
	for (auto _ : state) {
		text_checksum sum;
		for (size_t at = 0; at < kSize; at += piece)
			sum.Add(text.data() + at, piece < kSize - at ? piece : kSize - at);
		benchmark::DoNotOptimize(sum.Result());
	}
	state.SetBytesProcessed((int64_t)state.iterations() * kSize);
}
BENCHMARK(BM_StampChecksum);

// The scan and the sum of the original as a large mapped file gets them, by
// the given number of threads. In wall time: the threads' is what counts.
void
BM_ScanAndSum(benchmark::State& state)
{
	std::string text = german_dos_text(kSize);
	forced_plan = {(int)state.range(0), 0};
	for (auto _ : state) {
		text_scanner scanner(false);
		text_contexts contexts;
		text_checksum sum;
		scan_and_sum(
				(const uint8_t*)text.data(), kSize, scanner, contexts, sum);
		benchmark::DoNotOptimize(sum.Result());
	}
	forced_plan = {0, 0};
	state.SetBytesProcessed((int64_t)state.iterations() * kSize);
}

// The whole writer, checksum included, by the given number of threads, into
// nothing: what the host does with the text is the file system's part.
void
BM_WriteConverted(benchmark::State& state)
{
	std::string text = german_dos_text(kSize);
	mt map[kMapSize];
	map[0].Clear();
	map[0].SetNewline(3);
	map[0].SetPc();
	int fd = open("/dev/null", O_WRONLY);
	forced_plan = {(int)state.range(0), 0};
	for (auto _ : state) {
		conversion_stamp written;
		write_converted(
				fd, map, (const uint8_t*)text.data(), kSize, false, written);
		benchmark::DoNotOptimize(written.checksum);
	}
	forced_plan = {0, 0};
	close(fd);
	state.SetBytesProcessed((int64_t)state.iterations() * kSize);
}

// One benchmark for each path this processor has and each of two texts,
// named group/path/text; the names of the paths, for the report's head.
template<typename Path, typename Run>
std::string
register_paths(const char* group, const char* const* pathNames, int paths,
		const char* const (&texts)[2], Run run)
{
	std::string names;
	for (int path = 0; path < paths; path++) {
		if (!processor_has((Path)path))
			continue;
		names += std::string(names.empty() ? "" : " ") + pathNames[path];
		for (int text = 0; text < 2; text++) {
			std::string name = std::string(group) + "/" + pathNames[path] + "/"
					+ texts[text];
			benchmark::RegisterBenchmark(
					name.c_str(), run, (Path)path, text != 0);
		}
	}
	return names;
}

} // namespace

int
main(int argc, char** argv)
{
	const char* const scanTexts[] = {"german", "german-utf8"};
	benchmark::AddCustomContext("scan paths",
			register_paths<scan_path>(
					"Scan", kScanPathNames, kScanPaths, scanTexts, scan_loop));
	const char* const writerTexts[] = {"german", "ascii"};
	benchmark::AddCustomContext("writer paths",
			register_paths<map_path>("Writer", kMapPathNames, kMapPaths,
					writerTexts, writer_loop));
	// One thread, and as many as a large file gets on this machine.
	int threads = threads_for(kSize);
	for (auto* run : {benchmark::RegisterBenchmark("ScanAndSum", BM_ScanAndSum),
				 benchmark::RegisterBenchmark(
						 "WriteConverted", BM_WriteConverted)}) {
		run->Arg(1)->UseRealTime();
		if (threads > 1)
			run->Arg(threads);
	}
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
