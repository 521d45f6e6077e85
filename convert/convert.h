/*
 * Converting one file: detection of its source character set and line ends,
 * the converted file with the backup of its source, and the attributes.
 */
#ifndef CONVERT_CONVERT_H
#define CONVERT_CONVERT_H

#include "charmap/styles.h"

#include <stdint.h>
#include <sys/types.h>

#include <string>

// Source character set of the file at hand, as detection found it.
extern int32_t ostyle;
// Line ends seen in the file at hand.
extern int32_t fstyle;

// Converts the file at path: reads it, detects, and hands it to toNFile.
void AlyBFile(char* path);

// What a conversion reached through its folder does.
enum convert_way {
	kConvertAlways,    // as AlyBFile
	kConvertIfChanged, // only what the conversion changes, and no file
					   // converted before
	kConvertLookOnly,  // nothing: last_result says what it would do
};

// Converts the file leaf in the open folder folder as AlyBFile does, the way
// way says; path is its whole path, for messages alone and of any length.
void AlyBFileAt(
		int folder, const char* leaf, const char* path, convert_way way);

// True when writing the text (length bytes) through the map of ostyle and
// fstyle would give the very same bytes.
bool converts_to_itself(const char* text, off_t length);

// Writes the converted form of buffer (length bytes, the source file's
// content) under path, setting the source aside first.
void toNFile(char* buffer, off_t length, char* path);

// Copies every attribute of the file source onto the file target.
void dup_attr(char* source, char* target);

// What copying the attributes has to tell: the values of the typed ones as
// dup_attr echoes them on standard output, and for standard error a line
// for each attribute that could not be carried over.
struct attribute_copy {
	std::string echoes;
	std::string warnings;
	bool accessList = false; // one went on, and moved the permission bits
	// Why the copy would give wider access than the source has (an access
	// list that did not go on, or an inherited one that stayed); empty when
	// it would not.
	std::string refusal;
};

// Copies every attribute of the open file from onto the open file to; file
// names the source in the warnings.
attribute_copy copy_attributes(int from, int to, const char* file);

// Writes the attribute values echoed to standard output: byte for byte, or
// to a terminal with its control characters escaped ("\e", "\x07"), which
// could retitle or clear it.
void echo_values(const std::string& echoes);

// A name for standard output's record: byte for byte, or on a terminal with
// what is no printable UTF-8 escaped ("\x1B") as standard error shows it.
std::string recorded_name(const std::string& name);

// Gives the file path the MIME type type.
void mim_setA(char* path, char* type);

#endif // CONVERT_CONVERT_H
