// scalar-errors.h: the errors the scalar datatypes raise, each with its usual arguments.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/services.h"

namespace qel {

[[noreturn]] inline void raise_math_overflow() { raise_error(error_id("math", "overflow")); }
[[noreturn]] inline void raise_zero_divide() { raise_error(error_id("math", "zero-divide")); }

// script invalid-type naming the value's datatype.
[[noreturn]] inline void raise_invalid_type(const Cell& value) {
  raise_error(error_id("script", "invalid-type"), datatype_cell(cell_type(value)));
}

// script bad-to-arg: the target datatype and the value that does not convert.
[[noreturn]] inline void raise_bad_to_arg(Type target, const Cell& value) {
  raise_error(error_id("script", "bad-to-arg"), datatype_cell(target), value);
}

// script not-related: the action (a word of its name) and the datatype it cannot take.
[[noreturn]] inline void raise_not_related(const char* action, Type type) {
  raise_error(error_id("script", "not-related"), word_from_c_string(action), datatype_cell(type));
}
// The same naming the running action.
[[noreturn]] inline void raise_not_related_to_caller(Type type) {
  Cell caller = stack_caller_name();
  raise_error(error_id("script", "not-related"), caller, datatype_cell(type));
}

// script type-limit naming the datatype whose range a value leaves.
[[noreturn]] inline void raise_type_limit(Type type) { raise_error(error_id("script", "type-limit"), datatype_cell(type)); }

// script expect-arg: the running action's name, the argument's datatype and the name of its
// parameter (0 the first).
[[noreturn]] inline void raise_expect_arg(uint32_t parameter, const Cell& argument) {
  Cell caller = stack_caller_name();
  raise_error(error_id("script", "expect-arg"), caller, datatype_cell(cell_type(argument)),
              services().function_spec_arg_word(parameter));
}

}  // namespace qel
