// stats-native.h: stats (/show, /info): the memory manager's figures.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/throw.h"

namespace qel {

// The library's show-memory-stats function, read from the library's own slot, so a script's
// redefinition of the global word changes nothing; without it, script no-value naming it.
Cell show_memory_stats_function();

Status native_stats(const int32_t* refinements);

}  // namespace qel
