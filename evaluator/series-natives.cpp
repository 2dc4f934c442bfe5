// series-natives.cpp: extend over map-extend, and the line-break markers of list values.
#include "evaluator/series-natives.h"

#include "datatypes/scalars/logic.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/map.h"
#include "runtime/action-entries.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

void set_marker(Cell& cell, bool on) {
  if (on) cell.header |= kNewLineFlag;
  else cell.header &= ~kNewLineFlag;
}

}  // namespace

Status native_extend(const int32_t* refinements) {
  const Cell& target = value_stack.base[0];
  if (cell_type(target) != Type::map) raise_error(error_id("internal", "not-done"));
  map_extend(target, value_stack.base[1], refinement_flag(refinements[0]));
  stack_keep_first();
  return {};
}

Status native_new_line(const int32_t* refinements) {
  const Cell& position = value_stack.base[0];
  const bool value = logic_value(value_stack.base[1]);
  const bool all = refinement_flag(refinements[0]);
  const Cell* size = refinement_argument(refinements[1]);
  int64_t every = 0;  // 0: the one cell at position
  if (size != nullptr) {
    every = payload_i32(*size, 2);
    if (every <= 0) raise_error(error_id("script", "out-of-range"), *size);
  } else if (all) {
    every = 1;
  }
  const int64_t tail = block_total_cells(position);
  if (every == 0) {
    if (position.w1 < tail) set_marker(*block_cell_at(position, position.w1), value);
  } else {
    for (int64_t at = position.w1; at < tail; ++at)
      set_marker(*block_cell_at(position, at), (at - position.w1) % every == 0 ? value : !value);
  }
  stack_keep_first();
  return {};
}

Status native_new_line_q(const int32_t*) {
  const Cell& position = value_stack.base[0];
  const bool marked = position.w1 < block_total_cells(position) && (block_cell_at(position, position.w1)->header & kNewLineFlag) != 0;
  stack_set_result_only(make_cell(Type::logic, marked));
  return {};
}

}  // namespace qel
