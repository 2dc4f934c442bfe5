// math-natives.h: trigonometry in degrees or radians, logarithms, exp and square-root.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_sine(const int32_t* refinements);
Status native_cosine(const int32_t* refinements);
Status native_tangent(const int32_t* refinements);
Status native_arcsine(const int32_t* refinements);
Status native_arccosine(const int32_t* refinements);
Status native_arctangent(const int32_t* refinements);
Status native_arctangent2(const int32_t* refinements);
Status native_log_2(const int32_t* refinements);
Status native_log_10(const int32_t* refinements);
Status native_log_e(const int32_t* refinements);
Status native_exp(const int32_t* refinements);
Status native_square_root(const int32_t* refinements);

}  // namespace qel
