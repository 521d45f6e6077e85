/*
 * The converted text into the new file: every byte through the map, piece
 * by piece, with the size and checksum of what was written for the stamp. A
 * large text goes on several threads, each piece written at its place.
 */
#ifndef CONVERT_WRITE_TEXT_H
#define CONVERT_WRITE_TEXT_H

#include "charmap/mt.h"
#include "convert/stamp.h"

#include <stddef.h>
#include <stdint.h>

// Marks a mapped source whose pages could not be had: cut short by another
// program, or unreadable on the disk (source_fault tells which).
const int kSourceFault = -1;

// Writes data, length bytes, through map into fd: 0, the host's error, or
// kSourceFault. mapped says that data is a mapping of the source, which can
// fault. written receives the size and checksum of what was written.
int write_converted(int fd, mt* map, const uint8_t* data, size_t length,
		bool mapped, conversion_stamp& written);

#endif // CONVERT_WRITE_TEXT_H
