// text-coding-natives.h: the natives that write bytes as text and read them back: enbase and
// debase (bases 64, 58, 16 and 2).
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_debase(const int32_t* refinements);
Status native_enbase(const int32_t* refinements);

}  // namespace qel
