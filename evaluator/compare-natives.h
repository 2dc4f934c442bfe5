// compare-natives.h: the comparison natives equal?, not-equal?, strict-equal?, lesser?,
// greater?, lesser-or-equal? and greater-or-equal?: one entry per comparison code.
#pragma once

#include <cstdint>

#include "runtime/action-lookup.h"
#include "runtime/throw.h"

namespace qel {

// The frame's two arguments compared under the code by the first one's datatype (the compare
// service); the result is a logic!. Instantiated for the codes 0 to 6 only.
template <CompareCode Code>
Status native_compare(const int32_t* refinements);

}  // namespace qel
