/*
 * A guard around work on a mapped file: when another program cuts the file
 * short, touching the vanished pages raises SIGBUS; inside the guard that
 * ends the work instead of the process, which is the file manager's own.
 */
#ifndef CONVERT_BUS_GUARD_H
#define CONVERT_BUS_GUARD_H

#include <stddef.h>

// Runs work(cookie). True when it ran to its end; false when it touched the
// region [start, start + size) and found it gone. Any other fault goes on to
// whatever handled it before. work must leave nothing behind that needs
// cleaning up (no objects with destructors, no allocations of its own, no
// lock held). Several threads may run guarded at once, each for its own
// region; what handled the fault before is back once the last has left.
bool run_guarded(
		const void* start, size_t size, void (*work)(void*), void* cookie);

#endif // CONVERT_BUS_GUARD_H
