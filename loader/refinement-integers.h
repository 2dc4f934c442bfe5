// refinement-integers.h: the integer arguments of read's and write's /part and /seek.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/cell.h"

namespace qel {

// The integer a refinement carries, none when it is absent; any other value raises script
// invalid-refine-arg naming the refinement.
std::optional<int32_t> refinement_integer(const Cell* argument, const char* refinement);

// /seek's offset: as refinement_integer, a negative one raising script out-of-range.
std::optional<int32_t> refinement_offset(const Cell* seek);

}  // namespace qel
