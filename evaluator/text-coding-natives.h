// text-coding-natives.h: the natives that write text or bytes in a coding and read them back:
// dehex and enhex (percent escapes), debase and enbase (bases 64, 58, 16 and 2).
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_dehex(const int32_t* refinements);
Status native_enhex(const int32_t* refinements);
Status native_debase(const int32_t* refinements);
Status native_enbase(const int32_t* refinements);

}  // namespace qel
