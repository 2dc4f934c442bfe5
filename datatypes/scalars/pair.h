// pair.h: pair!, two signed 32-bit integers (10x20): the arithmetic core and the registration.
// The cell layout and constructors are in coordinates.h, shared with the points.
#pragma once

#include <cstdint>

#include "datatypes/scalars/coordinates.h"

namespace qel {

// pair op other into the pair: with a pair!, an integer! or a float! truncated, coordinate by
// coordinate through the integer core; a result that is no 32-bit integer (an overflow, an
// inexact quotient), a multiply or divide by a float, a float beyond 32 bits or a point2D!
// operand turn the pair into a point2D! and run the point core.
void pair_math_op(Cell& value, Cell& other, int32_t op);

void register_pair_datatype();

}  // namespace qel
