/*
 * A batch of conversions finishes together. Each new text is written whole
 * and waits; one sync of each file system concerned then puts all of them
 * on the disk, and only then does each take its source's name. A power cut
 * at any instant leaves every name with its original or its whole new text,
 * at the cost of one sync per batch instead of one per file.
 *
 * Everything the batch says, on standard output and standard error, comes
 * out in the order it would without the wait: what follows a waiting
 * conversion is held back until that conversion has finished and told its
 * own.
 */
#ifndef CONVERT_BATCH_H
#define CONVERT_BATCH_H

#include "convert/result.h"

#include <stddef.h>
#include <sys/types.h>

#include <functional>
#include <memory>

// A conversion whose new text is written, waiting for the disk.
class waiting_conversion {
public:
	virtual ~waiting_conversion() = default;

	// The file system that holds the new text, and a descriptor on it.
	virtual dev_t Device() const = 0;
	virtual int Folder() const = 0;

	// How many descriptors it holds while it waits.
	virtual size_t Wait() = 0;

	// Puts the new text in place once synced is 0, or leaves the source as
	// it was when the sync failed with that error; says what became of it
	// on the streams and in last_result.
	virtual void Finish(int synced) = 0;
};

// Opens a batch: conversions wait until batch_end. reserved descriptors,
// beyond those open now, are kept free for the caller meanwhile.
void batch_begin(size_t reserved = 0);

// Takes a conversion to wait with the batch, whose record so far is
// last_result: false when no batch is open or its output cannot be held
// back, and the caller finishes it at once.
bool batch_wait(std::unique_ptr<waiting_conversion>& conversion);

// Runs then once the entry handed over last has finished: at once when
// nothing waits. last_result is that entry's record when then runs.
void batch_then(const std::function<void()>& then);

// Syncs and finishes every conversion that waits, and closes the batch.
void batch_end();

// Whether standard output, held back or not, goes to a terminal.
bool output_is_terminal();

#endif // CONVERT_BATCH_H
