// stats-native.cpp: stats: the bytes in use; /info the per-frame figures as a block; /show those
// figures handed to the library's show-memory-stats.
#include "evaluator/stats-native.h"

#include <array>

#include "datatypes/series/block-core.h"
#include "evaluator/eval-support.h"
#include "evaluator/interpreter.h"
#include "evaluator/library-values.h"
#include "runtime/action-entries.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/memory-stats.h"
#include "runtime/value-stack.h"

namespace qel {

Cell show_memory_stats_function() {
  const Cell function = library_value(LibraryValue::show_memory_stats);
  if (cell_type(function) != Type::function) raise_error(error_id("script", "no-value"), word_from_c_string("show-memory-stats"));
  return function;
}

// stats /show /info
Status native_stats(const int32_t* refinements) {
  const bool show = refinement_flag(refinements[0]);
  if (!show && !refinement_flag(refinements[1])) {
    stack_set_result_only(memory_stats_figure(memory_frame_stats(1, 0)));
    return {};
  }
  const Cell function = show ? show_memory_stats_function() : make_cell(Type::none);
  const Cell* figures = block_push_new(5);
  memory_frame_stats(2, figures->w2);
  if (!show) {
    stack_set_result_only(*figures);
    return {};
  }
  call_function_with(function, std::array{*figures});
  stack_set_result_only(make_cell(Type::unset));
  return {};
}

}  // namespace qel
