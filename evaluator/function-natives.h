// function-natives.h: the natives that make functions (func, function, does, has) and leave
// them (exit, return).
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_func(const int32_t* refinements);
Status native_function(const int32_t* refinements);
Status native_does(const int32_t* refinements);
Status native_has(const int32_t* refinements);
Status native_exit(const int32_t* refinements);
Status native_return(const int32_t* refinements);

}  // namespace qel
