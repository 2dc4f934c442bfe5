// word-natives.h: the natives that read, set and bind words: get, set, bind and in.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_get(const int32_t* refinements);
Status native_set(const int32_t* refinements);
Status native_bind(const int32_t* refinements);
Status native_in(const int32_t* refinements);

}  // namespace qel
