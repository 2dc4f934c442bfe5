// path-write-back.h: set paths that end in a value held whole in its cell (time!, date!, pair!,
// the points, tuple!).
//
// A path steps on copies, so a set step on such a value changes only the path's copy. The type's
// path-step set changes that copy (the `value` it is given) and then calls path_write_back,
// which puts the copy back where the path found it and tells the owner once.
#pragma once

#include <cstdint>

#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

// Puts `changed` back into its place: the head word's variable (set as a set-word sets it), the
// parent object's field or the parent block's slot; any other parent takes it through its own
// path-step set. When step.notify_owner says so, the owner is told once: an object's on-change*
// (field word, old value, new value) by the field's set; the owner of a block by `set-path`,
// the new value, `field` and a count of 1. Nothing happens for a step taken alone (no parent).
// Owners' handlers run Qel code: the caller must not keep cell addresses across the call.
void path_write_back(const Cell& changed, int32_t field, const PathStep& step);

}  // namespace qel
