// reduce-native.h: reduce (/into) and the block reduction that print shares.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/throw.h"

namespace qel {

// Evaluates the block's expressions from its index one at a time and inserts each result, its
// new-line marker cleared, into `out` at out's index (the insert action: out's index moves past
// what went in). `out` must stay reachable (a value-stack cell or a rooted one).
Status reduce_block_into(const Cell& block, Cell& out);

// reduce value /into out
Status native_reduce(const int32_t* refinements);

}  // namespace qel
