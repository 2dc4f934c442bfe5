// path-resolve.h: the dot segments of a path's text resolved, the core of clean-path.
#pragma once

#include "runtime/cell.h"

namespace qel {

// A new string! of the text (from its index) with its segments resolved: "." dropped, ".."
// taking the segment before it away. Past the root a ".." is dropped; in a relative path it
// stays. Empty segments (doubled slashes) are dropped when `file`, kept otherwise. A path that
// ended in "/", ".", or ".." ends in "/" (the root and an empty result aside).
Cell path_resolve(const Cell& text, bool file);

}  // namespace qel
