/*
 * The scan and the checksum of a mapped text. A large one is cut into pieces
 * that several threads take in turn: each scans its piece on its own and
 * then, in the piece's turn, adds it to the checksum, which is taken in
 * order, and joins what it found to what the pieces before found, all while
 * the piece is in its cache.
 */
#ifndef CONVERT_SCAN_PIECES_H
#define CONVERT_SCAN_PIECES_H

#include "convert/contexts.h"
#include "convert/detect.h"
#include "convert/stamp.h"

#include <stddef.h>
#include <stdint.h>

// Scans the length bytes of data into scanner, which has seen nothing yet,
// gathers the contexts of its special characters into contexts, and adds
// them to sum; data[length] must be readable and 0. data is a
// mapping of the file: false when some of it could not be had (another
// program cut the file short, or the disk failed), and the findings and the
// sum are then of no use.
bool scan_and_sum(const uint8_t* data, size_t length, text_scanner& scanner,
		text_contexts& contexts, text_checksum& sum);

#endif // CONVERT_SCAN_PIECES_H
