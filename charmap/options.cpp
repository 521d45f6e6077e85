#include "charmap/options.h"

int32_t anz_tab = TEXTWEND_ANZ_TAB;
int32_t nyl_mod = TEXTWEND_NYL_MOD;
int32_t r_modus = TEXTWEND_R_MODUS;
int32_t pop_ind = TEXTWEND_POP_IND;
int32_t undo_mod = TEXTWEND_UNDO_MOD;
int32_t fix_set = TEXTWEND_FIX_SET;
int32_t tree_mod = TEXTWEND_TREE_MOD;
