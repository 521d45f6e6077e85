/*
 * Undoing a conversion: the original, kept as the backup that the stamp of
 * the converted file names, takes its name back.
 */
#ifndef CONVERT_UNDO_H
#define CONVERT_UNDO_H

#include <string>

// Puts the original of the converted file at path back in its place, in
// one step, when the file is as its conversion wrote it. path may also be
// the backup itself. The result record says what was done, or why nothing
// was: the converted file's path as the output, the backup's as the
// backup.
void undo_conversion(char* path);

// As undo_conversion, for the file leaf in the open folder folder, whose
// whole path (for messages alone, of any length) is path.
void undo_conversion_at(int folder, const char* leaf, const char* path);

#endif // CONVERT_UNDO_H
