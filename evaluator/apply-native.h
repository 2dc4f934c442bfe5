// apply-native.h: apply, a call whose arguments come from a block.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// apply func args /all /safer: func (a function value, a word holding one, or a path whose head
// word holds one and whose further words name refinements) called over the cells of args. With
// /all every parameter and refinement of the spec in order, the missing ones none and false;
// without it ordinary arguments then refinement! values, each with an activation expression and
// its arguments; /safer skips an inactive refinement's arguments unevaluated. A func that holds
// no function is script invalid-arg.
Status native_apply(const int32_t* refinements);

}  // namespace qel
