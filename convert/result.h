/*
 * What became of the last file handed to AlyBFile, for the person's report.
 * Standard output stays the system's own record; this is what the batch
 * tells on standard error and in its end-of-batch alert.
 */
#ifndef CONVERT_RESULT_H
#define CONVERT_RESULT_H

#include <stdint.h>

#include <string>

struct convert_result {
	// True once the converted text is complete under its name.
	bool converted = false;
	// The source set and line ends taken (ostyle, fstyle of that file).
	int32_t style = 0;
	int32_t lineEnds = 0;
	// The set of the umlaut codes, where the text read as another one.
	int32_t umlautStyle = 0;
	// No set read as German text: the set taken is the umlaut codes'
	// choice, and nextBest the one that read best beside it.
	bool doubtful = false;
	int32_t nextBest = 0;
	// Another set that gives the very same text.
	int32_t sameText = 0;
	// A text that is UTF-8 but for these bytes, which were read in straySet.
	uint64_t strayBytes = 0;
	int32_t straySet = 0;
	// Where the converted text is, and where the original was kept (empty
	// when it stayed under its own name).
	std::string output;
	std::string backup;
	// The output took the name in UTF-8 of a name that was none (for an
	// undo: the original took its name back).
	bool renamed = false;
	// The set the name was read in, and another that reads it the same.
	int32_t nameStyle = 0;
	int32_t nameSameText = 0;
	// Why a name that is no UTF-8 stayed, in the person's words and
	// language; empty when it did not, or is UTF-8.
	std::string nameKept;
	// Why the file was left as it was, in the person's words and language;
	// empty on success.
	std::string reason;
	// Not a file that is converted at all (no text): passed over, with
	// reason, rather than left as it was.
	bool passedOver = false;
	// Passed over where only what a conversion changes is converted: its
	// conversion would not change one byte (already right), or it carries
	// the stamp of one (converted before).
	bool alreadyRight = false;
	bool convertedBefore = false;
	// Looked at only: it would be converted as the rest of the record says.
	bool wouldConvert = false;
	// An undo found no stamp of a conversion on it, nor anything a run cut
	// off left beside it: it was never converted.
	bool unstamped = false;
};

// Why a file with 8-bit characters that read as no set was left as it was;
// the reason given is its translation.
extern const char kNoKnownSet[];

// Conversions never overlap, so one record serves the process.
extern convert_result last_result;

// Starts the record for a new file: nothing done yet.
void result_start();

// Notes why the file was left as it was; the first reason given stands, as
// later ones only follow from it.
void result_left_alone(const std::string& reason);

// Notes that the file is none that is converted, and why.
void result_passed_over(const std::string& reason);

// A reason in the person's words and language: what, translated, with the
// host's error put in for its %s; a refusal by the folder is named as such.
std::string folder_reason(const char* what, int error);

// A line for standard error about file: what, in the person's words and
// language, after the program's name and the file's.
std::string notice(const std::string& file, const std::string& what);

// The name as it may be shown: control characters, a backslash and bytes
// that are no UTF-8 come out escaped (\x0A, \\).
std::string shown_name(const std::string& name);

#endif // CONVERT_RESULT_H
