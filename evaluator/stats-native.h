// stats-native.h: stats (/show, /info): the memory manager's figures.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/throw.h"

namespace qel {

// The library's show-memory-stats function, read from its global word; while that word has no
// value, script no-value naming it.
Cell show_memory_stats_function();

Status native_stats(const int32_t* refinements);

}  // namespace qel
