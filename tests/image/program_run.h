/*
 * Runs a program the way a shell would and keeps what it wrote, each
 * stream apart.
 */
#ifndef TEXTWEND_TESTS_PROGRAM_RUN_H
#define TEXTWEND_TESTS_PROGRAM_RUN_H

#include <string>
#include <vector>

struct ProgramRun {
	// The exit status, or 128 plus the signal that ended the program.
	int status = -1;
	std::string out;
	std::string err;
};

// Runs arguments[0] with the given arguments in folder (the current one
// when empty). A program that cannot be started gives status -1.
ProgramRun run_program(const std::vector<std::string>& arguments,
		const std::string& folder = std::string());

// The lines of text, each split at its tabs.
std::vector<std::vector<std::string>> split_lines(const std::string& text);

#endif // TEXTWEND_TESTS_PROGRAM_RUN_H
