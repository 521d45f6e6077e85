/*
 * The words for what a walk passed over, for the summary of a run.
 */
#ifndef WALK_PASSED_H
#define WALK_PASSED_H

#include "walk/tree.h"

#include <stdint.h>

#include <string>

// count entries of kind, in the person's language: "3 backups",
// "1 folder that cannot be read".
std::string passed_counted(walk_passed kind, uint64_t count);

// Why a folder was passed over that cannot be read or entered, error
// being the host's: "cannot be read: Permission denied".
std::string unreadable_reason(int error);

#endif // WALK_PASSED_H
