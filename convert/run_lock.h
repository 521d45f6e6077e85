/*
 * One run per file at a time, and no run on a file that another program
 * holds. A run marks every file it works on (the source, its new text, a
 * copy it makes) with a read lock of its own opening of the file (an open
 * file description lock) on one byte far beyond any data. A read lock needs
 * no write access, so the source stays open for reading only, which the
 * look for other programs' writers needs; another run sees the mark by
 * asking for a write lock on that byte. The mark goes with the last
 * descriptor of the opening: a run that ends, or is killed, leaves none.
 */
#ifndef CONVERT_RUN_LOCK_H
#define CONVERT_RUN_LOCK_H

#include <string>

// What taking the mark on an open file found.
enum class run_lock {
	kTaken,     // this run holds it now
	kOtherRun,  // another Textwend run works on the file
	kOtherLock, // another program holds a lock over it
	kNoLocks,   // the file system keeps no locks: nothing is held
};

// Why a file is left alone that another run works on, or that another
// program has locked; untranslated.
extern const char kOtherRun[];
extern const char kLockedElsewhere[];

// Marks the open file fd as this run's. Two runs that mark the same file at
// the same instant both see the other, let go and try again after a wait
// of their own, so that one of them has it.
run_lock take_run_lock(int fd);

// Marks a file of this run's own, which no other can have reached yet.
void mark_new(int fd);

// True when another live run has marked the file open as fd: what it made
// is not to be touched.
bool held_by_run(int fd);

// Why another program's hold keeps the open file fd (opened for reading
// only) as it is, in the person's words and language: it has the file open
// for writing, or holds a lock over its data. Empty when neither is seen,
// or where the file system cannot tell.
std::string held_by_program(int fd);

#endif // CONVERT_RUN_LOCK_H
