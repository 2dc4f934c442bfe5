// preprocessor-scan.h: the preprocessor's C++ side: the pre-scan that lets directive-free code
// through at once, and the counters that stop runaway macro expansion.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// Whether the block tree from the block's index holds neither an issue! nor the word `routine`:
// with no macro registered, the directive engine then has nothing to do.
bool directive_free(const Cell& block);

// Counts one macro expansion made at the position, which left `produced` values there, at a
// depth of named macros expanding inside each other's arguments. More than 100,000 expansions
// in all, or more than 1,000 in a row at one position that each left output there (a macro
// expanding into a macro call, itself included), or a depth over 1,000, raise internal limit-hit
// with "macro expansion".
void count_macro_expansion(const Cell& position, int64_t produced, int64_t depth);
// Starts counting anew (each expand).
void reset_macro_expansions();

// Registers the routines `directive-free?`, `reset-expansions` and `count-expansion`.
void register_preprocessor_routines();

}  // namespace qel
