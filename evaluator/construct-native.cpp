// construct-native.cpp: construct block /with object /only: the fields take the values after
// their set-words as they stand; the logic words and none become values unless /only.
#include "evaluator/construct-native.h"

#include "evaluator/object.h"
#include "runtime/action-entries.h"
#include "runtime/value-stack.h"

namespace qel {

Status native_construct(const int32_t* refinements) {
  const Cell* prototype = refinement_argument(refinements[0]);
  const Cell made = object_construct(prototype ? *prototype : make_cell(Type::none), value_stack.base[0],
                                     refinement_flag(refinements[1]));
  stack_set_result_only(made);
  return {};
}

}  // namespace qel
