// conversion-natives.h: case changes, the coordinate and money makers, as and to-local-file.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// uppercase / lowercase string /part limit: the text changed in place from its index, or the
// char! converted.
Status native_uppercase(const int32_t* refinements);
Status native_lowercase(const int32_t* refinements);
// as-pair x y: floats truncated toward zero; one that is not finite or outside 32 bits is
// script invalid-arg.
Status native_as_pair(const int32_t* refinements);
// as-point2D x y, as-point3D x y z: each coordinate as a 32-bit float.
Status native_as_point2d(const int32_t* refinements);
Status native_as_point3d(const int32_t* refinements);
// as-money currency amount: the amount in a currency of the locale's list (else script
// bad-denom naming the word).
Status native_as_money(const int32_t* refinements);
// as type spec: spec's cell retyped within its class (block-like or text-like), sharing its
// series; across classes script not-same-class.
Status native_as(const int32_t* refinements);
// to-local-file path /full: the OS form of the path as a new string!, after the current
// directory for a relative path with /full.
Status native_to_local_file(const int32_t* refinements);

}  // namespace qel
