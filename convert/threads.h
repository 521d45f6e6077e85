/*
 * The threads that a large text is worked on by. Below a few MiB starting a
 * thread costs more than it saves; above, as many as the processors that
 * this process may use, and no more than help.
 */
#ifndef CONVERT_THREADS_H
#define CONVERT_THREADS_H

#include <stddef.h>
#include <stdint.h>

#include <atomic>

// More would only wait for one another: the checksums are taken in order,
// and the new file takes one write at a time.
const int kMaxThreads = 4;

struct thread_plan {
	int threads;      // 1: the caller's thread alone
	size_t pieceSize; // bytes of text a piece; 0: as each loop prefers
};

// Every text is worked on by this plan, whatever its size, where threads is
// not 0: tests cut short texts into many pieces this way.
extern thread_plan forced_plan;

// The threads for a text of length bytes: 1 for a small one.
int threads_for(size_t length);

// Runs work(cookie) on threads threads at once, the caller's among them,
// each inside the bus guard for [start, start + size). When one finds that
// region gone, stop(cookie) tells the others to end early. True when none
// found it gone. Where the host gives fewer threads, fewer do the work.
bool run_on_threads(int threads, const void* start, size_t size,
		void (*work)(void*), void (*stop)(void*), void* cookie);

// The size of the pieces of a text of length bytes: preferred, unless tests
// force another, and large enough that they are at most 2^31 - 1.
size_t piece_size(size_t length, size_t preferred);

// How many pieces of pieceSize bytes make up length bytes.
uint32_t piece_count(size_t length, size_t pieceSize);

// Pieces of a text taken by several threads, and what must go in their order
// (a checksum, the place of each in the new file): the turn of piece k comes
// once piece k - 1 has passed it on. Whatever waits works on no piece
// meanwhile, so only the short work in turn waits for the pieces before.
class piece_turns {
public:
	// pieces from piece_count.
	explicit piece_turns(uint32_t pieces)
		: fPieces(pieces)
	{
	}

	// The next piece to take, or false when none is left.
	bool
	Take(uint32_t& piece)
	{
		piece = fNext.fetch_add(1);
		return piece < fPieces;
	}

	// Waits for the turn of piece: false when the work stopped instead.
	bool Wait(uint32_t piece);

	// The turn goes on to the next piece.
	void Pass();

	// Ends the work: no turn comes any more. Any thread may stop it.
	void Stop();

private:
	static const uint32_t kStopped = 0x80000000u;

	uint32_t fPieces;
	std::atomic<uint32_t> fNext {0};
	// The piece whose turn it is, with kStopped once stopped.
	std::atomic<uint32_t> fTurn {0};
};

#endif // CONVERT_THREADS_H
