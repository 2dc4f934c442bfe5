// set-natives.h: union, intersect, unique, difference and exclude over one core, and
// complement?.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// The set operation natives: op is a set operation code of math-ops.h (8 unique ... 12
// difference).
template <int32_t Op>
Status native_set_operation(const int32_t* refinements);

Status native_complement(const int32_t* refinements);

}  // namespace qel
