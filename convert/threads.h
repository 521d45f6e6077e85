/*
 * The threads that a large text is worked on by. Below a few MiB starting a
 * thread costs more than it saves; above, as many as the processors that
 * this process may use, and no more than help.
 */
#ifndef CONVERT_THREADS_H
#define CONVERT_THREADS_H

#include <stddef.h>

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

#endif // CONVERT_THREADS_H
