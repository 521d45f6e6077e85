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

// What one entry passed over as kind was, for its line in the report: "a
// backup, passed over". Not for kPassedUnreadable, which has its reason.
std::string passed_one(walk_passed kind);

// Why a folder was passed over that cannot be read or entered, error
// being the host's: "cannot be read: Permission denied".
std::string unreadable_reason(int error);

#endif // WALK_PASSED_H
