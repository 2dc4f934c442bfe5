// loop-natives.h: the loop natives: while, until, loop, repeat, forever, foreach, forall and
// remove-each.
//
// Each evaluates its body in a loop frame (the target of break and continue) and takes those two
// codes after every body evaluation; any other code goes on to the caller. Every iteration is a
// safe point. The result is the last body value or the value given to break/return, unless a
// native says otherwise.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_while(const int32_t* refinements);
Status native_until(const int32_t* refinements);
Status native_loop(const int32_t* refinements);
Status native_repeat(const int32_t* refinements);
Status native_forever(const int32_t* refinements);
Status native_foreach(const int32_t* refinements);
Status native_forall(const int32_t* refinements);
Status native_remove_each(const int32_t* refinements);

}  // namespace qel
