#include "convert/scan_pieces.h"

#include "convert/bus_guard.h"
#include "convert/threads.h"

#include <atomic>
#include <vector>


namespace {

// Each piece is scanned, and summed where one thread does both, while it is
// in the cache.
const size_t kPiece = 1024 * 1024;


struct scan_job {
	const uint8_t* data;
	size_t length;
	size_t pieceSize;
	text_scanner* scanner;
	text_checksum* sum;
};

void
scan_and_sum_alone(void* cookie)
{
	scan_job* job = (scan_job*)cookie;
	for (size_t at = 0; at < job->length; at += job->pieceSize) {
		size_t end = job->length - at < job->pieceSize ? job->length
													   : at + job->pieceSize;
		job->scanner->scan(job->data, at, end);
		job->sum->Add(job->data + at, end - at);
	}
}


struct scan_team {
	const uint8_t* data;
	size_t length;
	size_t pieceSize;
	text_checksum* sum;
	// Where each piece starts, and one more for the end; what each found.
	std::vector<size_t> starts;
	std::vector<text_scanner> found;
	std::atomic<size_t> next {0};
	std::atomic<bool> summing {false};
	std::atomic<bool> stopped {false};
};


void
find_starts(void* cookie)
{
	scan_team* team = (scan_team*)cookie;
	for (size_t k = 1; k < team->found.size(); k++)
		team->starts[k]
				= piece_start(team->data, k * team->pieceSize, team->length);
}


void
scan_share(void* cookie)
{
	scan_team* team = (scan_team*)cookie;
	// The first thread here sums the whole text, in order.
	if (!team->summing.exchange(true)) {
		for (size_t at = 0; at < team->length && !team->stopped; at += kPiece) {
			size_t size
					= team->length - at < kPiece ? team->length - at : kPiece;
			team->sum->Add(team->data + at, size);
		}
	}
	while (!team->stopped) {
		size_t k = team->next.fetch_add(1);
		if (k >= team->found.size())
			break;
		team->found[k].scan(team->data, team->starts[k], team->starts[k + 1]);
	}
}


void
stop_scan(void* cookie)
{
	((scan_team*)cookie)->stopped = true;
}

} // namespace


bool
scan_and_sum(const uint8_t* data, size_t length, text_scanner& scanner,
		text_checksum& sum)
{
	size_t pieceSize
			= forced_plan.pieceSize > 0 ? forced_plan.pieceSize : kPiece;
	int threads = threads_for(length);
	if (threads < 2) {
		scan_job job = {data, length, pieceSize, &scanner, &sum};
		return run_guarded(data, length, scan_and_sum_alone, &job);
	}

	scan_team team;
	team.data = data;
	team.length = length;
	team.pieceSize = pieceSize;
	team.sum = &sum;
	size_t pieces = (length + pieceSize - 1) / pieceSize;
	team.starts.assign(pieces + 1, 0);
	team.starts[pieces] = length;
	team.found.assign(pieces, scanner);
	if (!run_guarded(data, length, find_starts, &team)
			|| !run_on_threads(
					threads, data, length, scan_share, stop_scan, &team))
		return false;
	for (const text_scanner& piece : team.found)
		scanner.join(piece);
	return true;
}
