// context-query-natives.h: value?, unset and context?: what a word holds and where it is bound.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// value? word: whether the word has a value other than unset!.
Status native_value_q(const int32_t* refinements);
// unset word: the word, or every word! of a block, set to unset; other entries are skipped.
Status native_unset(const int32_t* refinements);
// context? word: the object or function whose context the word is bound to; none when unbound.
Status native_context_q(const int32_t* refinements);

}  // namespace qel
