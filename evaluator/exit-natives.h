// exit-natives.h: throw and catch, and try, which traps errors (with /all every other exit too).
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_try(const int32_t* refinements);
Status native_throw(const int32_t* refinements);
Status native_catch(const int32_t* refinements);

}  // namespace qel
