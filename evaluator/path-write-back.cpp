// path-write-back.cpp: the changed copy of a value held whole in its cell goes back to where the
// path found it, and its owner is told.
#include "evaluator/path-write-back.h"

#include "datatypes/series/block.h"
#include "datatypes/series/series.h"
#include "evaluator/eval-support.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/ownership.h"

namespace qel {

namespace {

// The changed value into the block's slot the selector reaches, then the block's owner told with
// `set-path`.
void write_into_block(const Cell& block, const Cell& selector, const Cell& changed, int32_t field,
                      const PathStep& step) {
  int64_t position = block_path_position(block, selector, step.case_sensitive);
  if (position < 0) raise_error(error_id("script", "bad-path-set"), step.path ? *step.path : block, selector);
  series_element_hooks(cell_type(block)).store(block, position, changed);
  if (step.notify_owner) notify_owner_change(block, word_from_c_string("set-path"), changed, field, 1);
}

}  // namespace

void path_write_back(const Cell& changed_value, int32_t field, const PathStep& step) {
  if (!step.parent || !step.previous_selector) return;
  // Copies: what the pointers reach may move while handlers run.
  Cell changed = changed_value;
  Cell parent = *step.parent;
  Cell selector = *step.previous_selector;
  Type type = cell_type(parent);
  if (type == Type::none) {  // the path's first step: the head word holds the value
    set_word_assign(selector, changed);
    return;
  }
  if (any_block_type(type)) {
    write_into_block(parent, selector, changed, field, step);
    return;
  }
  const PathStep parent_step{step.path, nullptr, nullptr, nullptr, step.index - 1, step.case_sensitive, false,
                             true,      step.notify_owner};
  lookup_action_or_fail(parent, selector, step.path, step.index - 1)(parent, selector, &changed, parent_step);
}

}  // namespace qel
