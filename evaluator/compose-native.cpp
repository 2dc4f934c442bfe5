// compose-native.cpp: compose walks a block by (node, index), evaluating its parens and, with
// /deep, composing its nested blocks, onto a new block. Parens may change the block being
// walked, so its tail is read again after each one, and every block in hand (the one walked, the
// one being filled) stays on the value stack across evaluations.
#include "evaluator/compose-native.h"

#include <array>

#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "evaluator/interpreter.h"
#include "runtime/action-entries.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

struct ComposeFlags {
  bool deep;
  bool only;
};

// A paren's value onto the target: nothing for unset!, a block!'s items (the block as one value
// with only), any other value as one.
Status compose_paren(const Cell& paren, const Cell& target, bool only) {
  QEL_TRY(eval_block(paren, false));
  const Cell& result = *stack_last_value();  // stays pushed, so rooted, while it is copied
  if (cell_type(result) == Type::block && !only)
    block_append_cells(target, result);
  else if (cell_type(result) != Type::unset)
    block_append_copy(target, result);
  stack_drop(1);
  return {};
}

Status compose_cells(const Cell& source, const Cell& target, ComposeFlags flags);

// A nested block composed into a new block that goes onto the target as one value, keeping the
// nested cell's new-line marker.
Status compose_nested(const Cell& block, const Cell& target, ComposeFlags flags) {
  check_stack_headroom();
  const Cell* source = stack_push_value(block);
  Cell* made = block_push_new(block_length(block) > 0 ? block_length(block) : 1);
  QEL_TRY(compose_cells(*source, *made, flags));
  made->header = block.header;
  block_append_copy(target, *made);
  stack_drop(2);
  return {};
}

// The cells of the source from its index onto the end of the target; both must be value-stack
// cells, which stay where they are while parens run.
Status compose_cells(const Cell& source, const Cell& target, ComposeFlags flags) {
  for (int64_t i = series_clamped_index(source); i < block_total_cells(source); ++i) {
    const Cell cell = *block_cell_at(source, i);
    if (cell_type(cell) == Type::paren) {
      QEL_TRY(compose_paren(cell, target, flags.only));
    } else if (cell_type(cell) == Type::block && flags.deep) {
      QEL_TRY(compose_nested(cell, target, flags));
    } else {
      block_append_copy(target, cell);
    }
  }
  return {};
}

// Where /into puts the values: a block! or hash!, else script expect-val.
void check_out(const Cell& out) {
  const Type type = cell_type(out);
  if (type != Type::block && type != Type::hash)
    raise_error(error_id("script", "expect-val"), datatype_cell(Type::block), datatype_cell(type));
}

}  // namespace

// compose value /deep /only /into out: the composed block, or out past what went in. Into out
// the composed cells go in one insert at the end, never while the walk runs, so out may share
// value's buffer (compose/into b b) without the walk meeting what it has put in.
Status native_compose(const int32_t* refinements) {
  const ComposeFlags flags{refinement_flag(refinements[0]), refinement_flag(refinements[1])};
  Cell* out = refinement_argument(refinements[2]);
  if (out) check_out(*out);
  const Cell* source = &value_stack.base[0];
  Cell* made = block_push_new(block_length(*source) > 0 ? block_length(*source) : 1);
  QEL_TRY(compose_cells(*source, *made, flags));
  if (!out) {
    stack_set_result_only(*made);
    return {};
  }
  const Cell position = call_action(Act::Insert, std::array{*out, *made});
  stack_set_result_only(position);
  return {};
}

}  // namespace qel
