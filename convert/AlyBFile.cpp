/*
 * Converting one file, seen from the reading side: read it whole, find its
 * source character set and line ends, and hand it to the writer.
 */
#include "convert/convert.h"

#include "charmap/options.h"
#include "convert/detect.h"
#include "convert/result.h"
#include "convert/source_file.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

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


// True when exactly size bytes came and the file has nothing beyond them;
// buffer holds size + 1 bytes. All but the last byte read are scanned on the
// way, since the look-ahead of the last one has not come yet.
bool
read_whole(int fd, char* buffer, off_t size, text_scanner& scanner)
{
	const uint8_t* data = (const uint8_t*)buffer;
	size_t done = 0;
	size_t scanned = 0;
	while (done < (size_t)size) {
		size_t want = (size_t)size - done < kReadPiece ? (size_t)size - done
													   : kReadPiece;
		ssize_t got = read_some(fd, buffer + done, want);
		if (got <= 0)
			return false;
		done += got;
		scanner.scan(data, scanned, done - 1);
		scanned = done - 1;
	}
	// A file that grew since its size was taken would lose its tail.
	return read_some(fd, buffer + size, 1) == 0;
}

} // namespace


void
AlyBFile(char* path)
{
	result_start();
	// Opened once: what is read, checked and set aside later is this file,
	// whatever its name comes to hold meanwhile.
	source_file source;
	std::string reason = open_source(path, source);
	off_t size = source.status.st_size;
	if (reason.empty() && (size < 0 || (uint64_t)size >= SIZE_MAX))
		reason = "it is too large to be read";
	if (!reason.empty()) {
		printf("\n\tBFile error");
		result_left_alone(reason);
		return;
	}

	bool latex = pop_ind == 3;
	text_scanner scanner(latex);
	char* heapBuffer = (char*)malloc((size_t)size + 1);
	char* buffer = heapBuffer;
	if (heapBuffer != NULL) {
		prefer_huge_pages(heapBuffer, (size_t)size + 1);
		if (!read_whole(source.fd, heapBuffer, size, scanner)) {
			printf("\n\tBFile error");
			result_left_alone("it could not be read whole");
			free(heapBuffer);
			return;
		}
	} else if ((size_t)size <= kFixedSize) {
		buffer = sFixedBuffer;
		ssize_t got = read_some(source.fd, buffer, kFixedSize);
		if (got >= 0)
			printf(" Size:'%d'", (int)got);
		if (got != size) {
			printf("\n\tBFile error");
			result_left_alone("it could not be read whole");
			return;
		}
	} else {
		result_left_alone("there is no memory for its "
				+ std::to_string((long long)size) + " bytes");
		return;
	}
	buffer[size] = '\0';
	printf("\t");

	// The last byte, with the 0 after the data as its look-ahead; on the
	// fixed buffer's way, all of them.
	size_t scanned = buffer == heapBuffer && size > 0 ? (size_t)size - 1 : 0;
	scanner.scan((const uint8_t*)buffer, scanned, (size_t)size);
	text_findings findings = scanner.findings();
	ostyle = decide_style(findings, latex);
	fstyle = findings.lineEnds;
	last_result.style = ostyle;
	last_result.lineEnds = fstyle;

	if (ostyle == kStyleLatex) {
		rewrite_latex((uint8_t*)buffer, size);
		printf("\n RAM wegen Latex gemapt..");
	}

	current_source = &source;
	toNFile(buffer, size, path);
	current_source = NULL;
	free(heapBuffer);
}
