// qelbin-paths.h: resolving a reference path: the walk from the root block down to a value the
// decoder made before, one index per container.
//
// At each step the current cell decides what the index selects: a cell of a block-like series
// or map counted from the start of its buffer; a value of an object's context; a field of an
// error after its code, type and id; a value of a word's context (a word of a function's
// context goes on to the function: a path never reaches into the value stack); a cell of a
// native's or action's spec; 0 (the spec) or 1 (the body) of a function, 0 of an op!.
#pragma once

#include <cstdint>
#include <span>

#include "loader/qelbin/qelbin-input.h"
#include "runtime/cell.h"

namespace qel {

// The cell the path reaches from the root block, whose top-level cells count from `base`.
// A step outside its container fails the input at `at`.
Cell qelbin_resolve_path(const Cell& root, uint32_t base, std::span<const int32_t> path, const QelbinInput& input,
                         const uint8_t* at);

// The context a word decoded through a reference takes from the cell it reaches: an object's,
// an error's, a function's (an op! over a function: that function's) or a word's; 0 for any
// other cell.
NodeId qelbin_owner_context(const Cell& target);

}  // namespace qel
