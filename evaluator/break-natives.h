// break-natives.h: break and continue, the exits to the innermost loop.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// break /return value: leaves the innermost loop, its result the value (else unset).
Status native_break(const int32_t* refinements);
// continue: goes on with the innermost loop's next iteration.
Status native_continue(const int32_t* refinements);

}  // namespace qel
