// change-case.h: changing the case of a char! or a text value in place, the core of uppercase
// and lowercase.
#pragma once

#include "datatypes/series/case-map.h"
#include "runtime/cell.h"

namespace qel {

// Maps a char!'s code point, or the code points of a text value from its index (clipped to the
// tail and written back) for a count: to the tail, or the /part argument (an integer!, or a
// value of the same type on the same buffer; a negative count is 0; anything else raises script
// invalid-refine-arg). A code point whose mapping does not fit the buffer's unit widens it
// (U+00FF uppercases to U+0178). The series' owner is told with `uppercase` or `lowercase`.
// Answers the value.
Cell& change_case_value(Cell& value, Cell* part, Case which);

}  // namespace qel
