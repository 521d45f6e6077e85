/*
 * Converting one file, seen from the reading side: read it whole, find its
 * source character set and line ends, and hand it to the writer.
 */
#include "convert/convert.h"

#include "app/text_domain.h"
#include "charmap/options.h"
#include "convert/backup_owner.h"
#include "convert/bus_guard.h"
#include "convert/chosen_set.h"
#include "convert/contexts.h"
#include "convert/detect.h"
#include "convert/names.h"
#include "convert/repair_utf8.h"
#include "convert/result.h"
#include "convert/scan_pieces.h"
#include "convert/second_opinion.h"
#include "convert/source_file.h"
#include "convert/stamp.h"
#include "convert/threads.h"
#include "walk/text_kind.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <memory>
#include <string>

int32_t ostyle = kStyleNone;
int32_t fstyle = 0;


namespace {

// Where a file goes when no heap buffer can be had for it; conversions never
// overlap, so one will do. Longer files are left alone then, never cut.
const size_t kFixedSize = 10240;
char sFixedBuffer[kFixedSize + 1];

// The file is read in pieces that stay in the cache, and each piece is
// scanned while it is there.
const size_t kReadPiece = 1024 * 1024;

// Up to this size a file is read into the heap: setting up and taking down
// a mapping costs more than copying so few bytes, and the heap gives the
// same memory back file after file.
const size_t kReadLimit = 128 * 1024;

// A file only looked at leaves no record on standard output: nothing is
// done to it.
bool sLooking = false;

void
record(const char* text)
{
	if (!sLooking)
		fputs(text, stdout);
}


// A large buffer fills much faster in huge pages: the kernel then takes one
// fault per 2 MiB instead of one per 4 KiB.
void
prefer_huge_pages(char* buffer, size_t size)
{
	const uintptr_t huge = 2 * 1024 * 1024;
	uintptr_t start = ((uintptr_t)buffer + huge - 1) & ~(huge - 1);
	uintptr_t end = ((uintptr_t)buffer + size) & ~(huge - 1);
	if (end > start)
		madvise((void*)start, end - start, MADV_HUGEPAGE);
}


// Up to size bytes from fd; fewer only at the end of the file.
ssize_t
read_some(int fd, char* buffer, size_t size)
{
	size_t done = 0;
	while (done < size) {
		ssize_t got = read(fd, buffer + done, size - done);
		if (got < 0 && errno == EINTR)
			continue;
		if (got < 0)
			return -1;
		if (got == 0)
			break;
		done += got;
	}
	return done;
}


// read_whole's answers beside the host's errors.
const int kReadShort = -1; // the file ended before its size
const int kReadLong = -2;  // it went on beyond it

// 0 when exactly size bytes came and the file has nothing beyond them;
// else the host's error, kReadShort or kReadLong. buffer holds size + 1
// bytes. All but the last byte read are scanned on the way, since the
// look-ahead of the last one has not come yet, and summed.
int
read_whole(int fd, char* buffer, off_t size, text_scanner& scanner,
		text_checksum& sum)
{
	const uint8_t* data = (const uint8_t*)buffer;
	size_t done = 0;
	size_t scanned = 0;
	while (done < (size_t)size) {
		size_t want = (size_t)size - done < kReadPiece ? (size_t)size - done
													   : kReadPiece;
		ssize_t got = read_some(fd, buffer + done, want);
		if (got < 0)
			return errno;
		if (got == 0)
			return kReadShort;
		sum.Add(buffer + done, (size_t)got);
		done += got;
		scanner.scan(data, scanned, done - 1);
		scanned = done - 1;
	}
	// A file that grew since its size was taken would lose its tail.
	ssize_t beyond = read_some(fd, buffer + size, 1);
	return beyond == 0 ? 0 : beyond < 0 ? errno : kReadLong;
}


// The file's bytes: a private mapping of the file where the host allows, so
// that no copy of it is made in fresh memory; else read into the heap.
struct file_buffer {
	char* mapped = NULL;
	size_t mappedSize = 0;
	char* heap = NULL;

	~file_buffer()
	{
		if (mapped != NULL)
			munmap(mapped, mappedSize);
		free(heap);
	}
};


// Maps size bytes of fd read-only, followed by at least one zero byte, or
// NULL. Mapped read-only, the pages are the cache's own and nothing is
// copied. Unless populate, each page is mapped when first touched: by the
// thread that scans it, where several share the work.
char*
map_file(int fd, size_t size, size_t& mappedSize, bool populate)
{
	size_t page = (size_t)sysconf(_SC_PAGESIZE);
	if (size > SIZE_MAX - page)
		return NULL;
	size_t total = (size + page) / page * page;
	void* region = mmap(NULL, total, PROT_READ | PROT_WRITE,
			MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	if (region == MAP_FAILED)
		return NULL;
	if (size > 0
			&& mmap(region, size, PROT_READ,
					   MAP_PRIVATE | MAP_FIXED | (populate ? MAP_POPULATE : 0),
					   fd, 0)
					== MAP_FAILED) {
		munmap(region, total);
		return NULL;
	}
	mappedSize = total;
	return (char*)region;
}


const char kCutShort[]
		= N_("it was cut short by another program while being read");

// Why a file could not be read whole, in the person's words and language:
// error is read_whole's answer.
std::string
not_whole(int error)
{
	if (error == kReadShort)
		return _(kCutShort);
	if (error == kReadLong)
		return _("it grew while being read: another program is writing to "
				 "it");
	return filled(_("it could not be read whole: %s"), {strerror(error)});
}

// What a buffer read into memory has left to scan, and to sum where it was
// not summed while read: piece by piece, each while it is in the cache.
void
scan_rest(text_scanner& scanner, const uint8_t* data, size_t from, size_t to,
		text_checksum* sum)
{
	for (size_t at = from; at < to; at += kReadPiece) {
		size_t end = to - at < kReadPiece ? to : at + kReadPiece;
		scanner.scan(data, at, end);
		if (sum != NULL)
			sum->Add(data + at, end - at);
	}
}


struct latex_job {
	uint8_t* data;
	size_t length;
	bool utf8; // what the LaTeX table makes of it is UTF-8
};

void
rewrite_all(void* cookie)
{
	latex_job* job = (latex_job*)cookie;
	rewrite_latex(job->data, job->length);
	job->utf8 = latex_output_is_utf8(job->data, job->length);
}


// Where the umlaut codes chose an 8-bit set, or none in a text that is no
// UTF-8, the text itself is read as well. A set the person chose, and a
// build that converts line ends only, read no set.
bool
asks_second_opinion(int32_t umlaut, const text_findings& findings)
{
	if (set_is_chosen() || (uint32_t)pop_ind >= kPopIndNoTable)
		return false;
	return (umlaut >= kStyleTos && umlaut <= kStyleAnsi)
			|| (umlaut == kStyleNone && !findings.validUtf8);
}

// A text that is UTF-8 but for a few bytes stays UTF-8; a build that
// converts line ends only reads no set for those bytes either.
bool
repairs_utf8(const text_findings& findings, const text_contexts& contexts)
{
	return !findings.validUtf8 && contexts.MostlyUtf8()
			&& (uint32_t)pop_ind < kPopIndNoTable;
}

struct opinion_job {
	const uint8_t* data;
	size_t length;
	int32_t umlaut; // -1: for the bytes outside UTF-8
	const text_contexts* contexts;
	bool atariSigns;
	set_opinion result;
};

void
give_opinion(void* cookie)
{
	opinion_job* job = (opinion_job*)cookie;
	job->result = job->umlaut < 0
			? stray_opinion(
					job->data, job->length, *job->contexts, job->atariSigns)
			: second_opinion(job->data, job->length, job->umlaut,
					*job->contexts, job->atariSigns);
}


struct repair_job {
	const uint8_t* data;
	size_t length;
	int32_t style;
	char* text; // the repaired text, NULL when there was no memory
	size_t textLength;
};

void
repair_all(void* cookie)
{
	repair_job* job = (repair_job*)cookie;
	job->text
			= repair_utf8(job->data, job->length, job->style, job->textLength);
}


// Runs work over the file's bytes: false when another program cut a mapped
// file short meanwhile.
bool
run_on(const file_buffer& data, char* buffer, off_t size, void (*work)(void*),
		void* cookie)
{
	if (data.mapped == NULL) {
		work(cookie);
		return true;
	}
	return run_guarded(buffer, (size_t)size, work, cookie);
}


struct same_job {
	const char* text;
	off_t length;
	bool same;
};

void
judge_same(void* cookie)
{
	same_job* job = (same_job*)cookie;
	job->same = converts_to_itself(job->text, job->length);
}


// A file converted before carries a stamp of ours, of any kind: where only
// what a conversion changes is converted, it is passed over.
bool
stamped(int fd)
{
	conversion_stamp stamp;
	int error = read_stamp(fd, stamp);
	return error == 0 || error == kEarlierStamp || error == EINVAL;
}


// Converts the file that source holds open (reason says why it could not
// be opened, if it could not), the way way says.
void convert_opened(
		source_file& source, const std::string& reason, convert_way way);

} // namespace


void
AlyBFile(char* path)
{
	result_start();
	// Opened once: what is read, checked and set aside later is this file,
	// whatever its name comes to hold meanwhile.
	source_file source;
	std::string reason = open_source(path, source);
	convert_opened(source, reason, kConvertAlways);
}


void
AlyBFileAt(int folder, const char* leaf, const char* path, convert_way way)
{
	result_start();
	source_file source;
	std::string reason = open_source_at(folder, leaf, path, source,
			way == kConvertLookOnly ? open_purpose::kLook
									: open_purpose::kChange);
	sLooking = way == kConvertLookOnly;
	convert_opened(source, reason, way);
	sLooking = false;
}


namespace {

void
convert_opened(source_file& source, const std::string& opened, convert_way way)
{
	std::string reason = opened;
	off_t size = source.status.st_size;
	if (reason.empty() && (size < 0 || (uint64_t)size >= SIZE_MAX))
		reason = _("it is too large to be read");
	if (!reason.empty()) {
		record("\n\tBFile error");
		result_left_alone(reason);
		return;
	}
	replace_step("opened");
	if (way != kConvertAlways && stamped(source.fd)) {
		last_result.convertedBefore = true;
		result_passed_over(_("converted before, passed over"));
		return;
	}
	// The original of a conversion stays as it is, for its undo.
	std::string owner = backup_owner(source.folder, source.leaf);
	if (!owner.empty()) {
		result_left_alone(filled(_("it is the backup of %s's conversion; "
								   "undo %s to get it back"),
				{owner, owner}));
		return;
	}
	// A picture or a document of a word processor, whatever its name.
	if (kind_of_file(source.fd).kind == kKindNotText) {
		result_passed_over(_("not a text file, passed over"));
		return;
	}

	bool latex = pop_ind == kPopIndLatex;
	text_scanner scanner(latex);
	// The original's checksum, for the stamp: undo puts back only this text.
	text_checksum sum;
	if (!sum.Ready()) {
		result_left_alone(_("there is no memory to check it"));
		return;
	}
	file_buffer data;
	if ((size_t)size > kReadLimit)
		data.mapped = map_file(source.fd, (size_t)size, data.mappedSize,
				threads_for((size_t)size) < 2);
	char* buffer = data.mapped;
	size_t scanned = 0;
	if (buffer == NULL) {
		data.heap = (char*)malloc((size_t)size + 1);
		buffer = data.heap;
		if (buffer != NULL) {
			prefer_huge_pages(buffer, (size_t)size + 1);
			int error = read_whole(source.fd, buffer, size, scanner, sum);
			if (error != 0) {
				record("\n\tBFile error");
				result_left_alone(not_whole(error));
				return;
			}
			// All but the last byte were scanned on the way.
			scanned = size > 0 ? (size_t)size - 1 : 0;
		} else if ((size_t)size <= kFixedSize) {
			buffer = sFixedBuffer;
			ssize_t got = read_some(source.fd, buffer, kFixedSize);
			if (got >= 0 && !sLooking)
				printf(" Size:'%d'", (int)got);
			if (got != size) {
				record("\n\tBFile error");
				result_left_alone(not_whole(got < 0 ? errno
								: got < size        ? kReadShort
													: kReadLong));
				return;
			}
		} else {
			result_left_alone(filled(_("there is no memory for its %d bytes"),
					{std::to_string((long long)size)}));
			return;
		}
		buffer[size] = '\0';
	}

	// The rest, with the 0 after the data as the last byte's look-ahead. Only
	// a mapping can fault when another program cuts the file short.
	text_contexts contexts;
	if (data.mapped != NULL) {
		replace_step("mapped");
		if (!scan_and_sum((const uint8_t*)buffer, (size_t)size, scanner,
					contexts, sum)) {
			record("\n\tBFile error");
			result_left_alone(source_fault(source, _(kCutShort)));
			return;
		}
	} else {
		scan_rest(scanner, (const uint8_t*)buffer, scanned, (size_t)size,
				data.heap == NULL ? &sum : NULL);
		contexts.gather((const uint8_t*)buffer, 0, (size_t)size, (size_t)size);
	}
	source.checksum = sum.Result();
	record("\t");
	text_findings findings = scanner.findings();
	int32_t umlaut = decide_style(findings, latex);
	ostyle = chosen_style(umlaut);
	fstyle = findings.lineEnds;
	// The text that goes to the writer: the file's, or its repair.
	char* text = buffer;
	off_t textLength = size;
	std::unique_ptr<char, decltype(&free)> repaired(NULL, free);
	if (repairs_utf8(findings, contexts)) {
		// The few bytes outside UTF-8 are read in the set the person chose,
		// else in the one that reads best for them.
		opinion_job opinion = {(const uint8_t*)buffer, (size_t)size, -1,
				&contexts, findings.atariSigns, {}};
		if (!set_is_chosen()
				&& !run_on(data, buffer, size, give_opinion, &opinion)) {
			result_left_alone(source_fault(source, _(kCutShort)));
			return;
		}
		repair_job repair = {(const uint8_t*)buffer, (size_t)size,
				set_is_chosen() ? fix_set : opinion.result.style, NULL, 0};
		if (!run_on(data, buffer, size, repair_all, &repair)) {
			result_left_alone(source_fault(source, _(kCutShort)));
			return;
		}
		if (repair.text == NULL) {
			result_left_alone(filled(_("there is no memory for its %d bytes"),
					{std::to_string((long long)size)}));
			return;
		}
		repaired.reset(repair.text);
		text = repair.text;
		textLength = (off_t)repair.textLength;
		ostyle = kStyleBe;
		last_result.strayBytes = contexts.Strays();
		last_result.straySet = repair.style;
		last_result.doubtful = opinion.result.doubtful;
		last_result.nextBest = opinion.result.nextBest;
	} else if (asks_second_opinion(umlaut, findings)) {
		opinion_job opinion = {(const uint8_t*)buffer, (size_t)size, umlaut,
				&contexts, findings.atariSigns, {}};
		if (!run_on(data, buffer, size, give_opinion, &opinion)) {
			result_left_alone(source_fault(source, _(kCutShort)));
			return;
		}
		ostyle = opinion.result.style;
		last_result.umlautStyle = umlaut;
		last_result.doubtful = opinion.result.doubtful;
		last_result.nextBest = opinion.result.nextBest;
		last_result.sameText = opinion.result.sameText;
		if (ostyle == kStyleNone) {
			// Written as it is, it would be no UTF-8.
			result_left_alone(_(kNoKnownSet));
			return;
		}
	}
	last_result.style = ostyle;
	last_result.lineEnds = fstyle;

	if (ostyle == kStyleLatex) {
		// Only the pages the rewrite changes become copies of their own.
		if (data.mapped != NULL)
			mprotect(data.mapped, data.mappedSize, PROT_READ | PROT_WRITE);
		latex_job rewrite = {(uint8_t*)buffer, (size_t)size, false};
		if (!run_on(data, buffer, size, rewrite_all, &rewrite)) {
			result_left_alone(source_fault(source, _(kCutShort)));
			return;
		}
		record("\n RAM wegen Latex gemapt..");
		// The LaTeX table leaves other 8-bit characters as they are.
		if (!rewrite.utf8) {
			result_left_alone(
					_("it holds 8-bit characters beside its LaTeX umlauts"));
			return;
		}
	}

	if (way != kConvertAlways) {
		// The rewrite of LaTeX notation and a repair change the text before
		// the map sees it.
		same_job same = {text, textLength, false};
		if (text == buffer && ostyle != kStyleLatex
				&& !run_on(data, buffer, size, judge_same, &same)) {
			result_left_alone(source_fault(source, _(kCutShort)));
			return;
		}
		// A name that is no UTF-8 but would take one is as much to convert
		// as the text: the backup keeps it for the undo.
		name_plan name = plan_file_name(source.leaf, ostyle);
		if (same.same && name.name.empty()) {
			last_result.alreadyRight = true;
			result_passed_over(_("already right"));
			return;
		}
		if (way == kConvertLookOnly) {
			last_result.wouldConvert = true;
			last_result.renamed = !name.name.empty();
			last_result.output
					= source.path.substr(
							  0, source.path.size() - source.leaf.size())
					+ name.name;
			last_result.nameStyle = name.style;
			last_result.nameSameText = name.sameText;
			last_result.nameKept = name.reason;
			return;
		}
	}

	// Only a mapping of the file can fault; a repair is the process's own.
	source.mapped = data.mapped != NULL && text == buffer;
	current_source = &source;
	std::string path = source.path;
	toNFile(text, textLength, path.data());
	current_source = NULL;
}

} // namespace
