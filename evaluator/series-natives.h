// series-natives.h: extend, new-line and new-line?.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// extend obj spec /case: a map! takes the key and value pairs of spec (case-sensitive keys with
// /case); extending an object! is internal not-done.
Status native_extend(const int32_t* refinements);
// new-line position value /all /skip size: sets or clears the line-break marker of the value at
// position, or of every value to the tail (/all), or of every size-th one with the others taking
// the opposite (/skip); answers position.
Status native_new_line(const int32_t* refinements);
// new-line? position: the marker of the value at position (false at the tail).
Status native_new_line_q(const int32_t* refinements);

}  // namespace qel
