// context-query-natives.cpp: value?, unset and context? on a word's context and value cell.
#include "evaluator/context-query-natives.h"

#include "datatypes/series/block-core.h"
#include "evaluator/eval-support.h"
#include "runtime/contexts.h"
#include "runtime/value-stack.h"

namespace qel {

Status native_value_q(const int32_t*) {
  Cell word = value_stack.base[0];
  const Cell* value = word_value_quiet(word);
  stack_set_result_only(make_cell(Type::logic, value != nullptr && cell_type(*value) != Type::unset));
  return {};
}

Status native_unset(const int32_t*) {
  const Cell target = value_stack.base[0];
  const Cell unset = make_cell(Type::unset);
  if (cell_type(target) == Type::word) {
    Cell word = target;
    word_set(word, unset);
  } else {
    // Setting a word may run an owner's change hook, which may move the block: index it anew.
    for (int64_t k = target.w1; k < block_total_cells(target); ++k) {
      Cell word = *block_cell_at(target, k);
      if (cell_type(word) == Type::word) word_set(word, unset);
    }
  }
  stack_set_result_only(unset);
  return {};
}

Status native_context_q(const int32_t*) {
  // An unbound word, and a word of the global context, which has no owner, answer none.
  const Cell& word = value_stack.base[0];
  const Cell owner = word.w1 != 0 ? context_owner(word.w1) : make_cell(Type::none);
  stack_set_result_only(cell_type(owner) != Type::unset ? owner : make_cell(Type::none));
  return {};
}

}  // namespace qel
