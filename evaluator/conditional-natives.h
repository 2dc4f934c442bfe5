// conditional-natives.h: the conditionals: if, unless, either, any, all, switch and case.
//
// Truth: none! and logic! false are false, every other value true. either and case test their
// condition as condition-true? does (an unset! one raises script no-return); if, unless, all and
// any take an unset! value as true.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_if(const int32_t* refinements);
Status native_unless(const int32_t* refinements);
Status native_either(const int32_t* refinements);
Status native_any(const int32_t* refinements);
Status native_all(const int32_t* refinements);
Status native_switch(const int32_t* refinements);
Status native_case(const int32_t* refinements);

// if, unless or either by its native slot (kIfSlot, kUnlessSlot, kEitherSlot), its arguments in
// the current frame: what its entry does.
Status run_conditional(uint32_t slot);

}  // namespace qel
