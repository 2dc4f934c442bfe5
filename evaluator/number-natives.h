// number-natives.h: the natives that test and pick numbers: the sign tests, NaN?, max and min,
// shift and to-hex.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_negative(const int32_t* refinements);
Status native_positive(const int32_t* refinements);
Status native_sign(const int32_t* refinements);
Status native_zero(const int32_t* refinements);
Status native_nan(const int32_t* refinements);
Status native_max(const int32_t* refinements);
Status native_min(const int32_t* refinements);
Status native_shift(const int32_t* refinements);
Status native_to_hex(const int32_t* refinements);

}  // namespace qel
