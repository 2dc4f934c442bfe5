// eval-path.h: evaluating paths: the head word, each step through the path-step action of the
// value reached, calls of functions met on the way, and set paths.
#pragma once

#include <cstdint>

#include "evaluator/interpreter.h"
#include "runtime/cell.h"

namespace qel {

enum class PathMode : uint8_t { plain, get, set };

// Where the value a path reached lives.
enum class PathPlace : uint8_t { none = 0, stack = 1, series = 2, context = 3, elsewhere = 4 };

// The path-state record of the get, set and do natives: with `step` above 0 the evaluation
// resumes at that element from `value` (reached through `parent`); afterwards it reports where
// the value reached lives (a value-stack index, a series index or a context slot in `index`),
// copies of the value and its parent, and the number of the last step plus one.
struct PathState {
  uint32_t step = 0;
  Cell value{};
  Cell parent{};
  PathPlace place = PathPlace::none;
  uint32_t index = 0;
};

// eval-path: evaluates the path; a function met is called with the rest of the path as its
// refinements and its arguments from the code (none when `code` is null). In set mode the new
// value is the current frame's result cell. The value reached is pushed (push) or becomes the
// frame's only cell. `case_sensitive` passes on to the steps.
Status eval_path(const Cell& path, Code* code, PathMode mode, bool push, bool case_sensitive, PathState* state);

}  // namespace qel
