#include "convert/scan_pieces.h"

#include "convert/threads.h"

#include <string.h>


namespace {

// Small enough to stay in the cache between the scan and the checksum.
const size_t kPiece = 256 * 1024;


struct scan_team {
	const uint8_t* data;
	size_t length;
	size_t pieceSize;
	text_scanner fresh; // as the scanner was before the first piece
	text_scanner* scanner;
	text_contexts* contexts;
	text_checksum* sum;
	piece_turns turns;
};


void
scan_share(void* cookie)
{
	scan_team* team = (scan_team*)cookie;
	uint32_t piece;
	// One for every piece this thread takes: its table of contexts is made
	// once.
	text_contexts gathered;
	while (team->turns.Take(piece)) {
		size_t at = (size_t)piece * team->pieceSize;
		size_t end = team->length - at > team->pieceSize ? at + team->pieceSize
														 : team->length;
		// Where no UTF-8 sequence goes on, so that the pieces join exactly.
		size_t from = at > 0 ? piece_start(team->data, at, team->length) : 0;
		size_t to = piece_start(team->data, end, team->length);
		text_scanner found = team->fresh;
		// Beyond the start of the text that is looked at whole, the scan
		// finds the first place of each value with its own blocks.
		value_places values;
		bool tracked = false;
		if (from >= text_contexts::kWholeUpTo) {
			memset(values.rows, 0xFF, sizeof(values.rows));
			tracked = found.track_values(&values);
		}
		found.scan(team->data, from, to);
		gathered.Reset();
		// A piece of valid UTF-8 holds no stray byte: its sequences are
		// counted only.
		if (found.utf8_so_far())
			gathered.count_sequences(team->data, from, to);
		else
			gathered.gather(team->data, from, to, team->length,
					tracked && values.begin != SIZE_MAX ? &values : NULL);
		if (!team->turns.Wait(piece))
			return;
		team->sum->Add(team->data + at, end - at);
		team->scanner->join(found);
		team->contexts->join(gathered);
		team->turns.Pass();
	}
}


void
stop_scan(void* cookie)
{
	((scan_team*)cookie)->turns.Stop();
}

} // namespace


bool
scan_and_sum(const uint8_t* data, size_t length, text_scanner& scanner,
		text_contexts& contexts, text_checksum& sum)
{
	size_t pieceSize = piece_size(length, kPiece);
	scan_team team = {data, length, pieceSize, scanner, &scanner, &contexts,
			&sum, piece_turns(piece_count(length, pieceSize))};
	return run_on_threads(
			threads_for(length), data, length, scan_share, stop_scan, &team);
}
