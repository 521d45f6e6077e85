/*
 * The process-wide conversion options. Their start values are compiled in
 * and nothing in the system assigns them.
 */
#ifndef CHARMAP_OPTIONS_H
#define CHARMAP_OPTIONS_H

#include <stdint.h>

extern int32_t anz_tab;  // TAB becomes 1, 2, 4 or 8 spaces; else TAB stays
extern int32_t nyl_mod;  // NUL is dropped (0), a space (1), or kept (2)
extern int32_t r_modus;  // 0 backup and replace, 1 write beside the source
extern int32_t pop_ind;  // 3 LaTeX, 1 text/html for UTF-8, >= 50 no table
extern int32_t undo_mod; // 1 puts the originals of conversions back
extern int32_t fix_set;  // 2 to 5: the source set, not detected (ostyle)
extern int32_t tree_mod; // 1 walks the folders selected, 2 also only looks

// The values the system reads.
const int32_t kNylModSpace = 1; // NUL becomes a space
const int32_t kNylModKeep = 2;  // NUL stays a zero byte
const int32_t kRModusBeside = 1;
const int32_t kPopIndHtml = 1;
const int32_t kPopIndLatex = 3;
const uint32_t kPopIndNoTable = 50; // and above, read as unsigned
const int32_t kTreeModWalk = 1;     // converts (or undoes) what folders hold
const int32_t kTreeModCheck = 2; // says what it would do, and changes nothing

#endif // CHARMAP_OPTIONS_H
