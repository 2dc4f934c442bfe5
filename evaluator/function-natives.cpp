// function-natives.cpp: func, function, does and has make functions; exit and return leave them.
#include "evaluator/function-natives.h"

#include "datatypes/series/block-core.h"
#include "evaluator/function.h"
#include "runtime/exits.h"
#include "runtime/runtime-symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// A function of the spec and body into the result cell: the spec validated, both copied.
void make_function(const Cell& spec, const Cell& body) {
  const uint32_t flags = function_spec_validate(spec);
  stack_set_result(function_value_build(spec, body, flags));
}

}  // namespace

// func spec body
Status native_func(const int32_t*) {
  make_function(value_stack.base[0], value_stack.base[1]);
  return {};
}

// function spec body /extern: the words the body sets become locals, but those named after
// /extern in the spec.
Status native_function(const int32_t*) {
  const Cell spec = function_collect_locals(value_stack.base[0], value_stack.base[1]);
  stack_push_value(spec);  // held while the function is made
  make_function(spec, value_stack.base[1]);
  return {};
}

// does body
Status native_does(const int32_t*) {
  const Cell spec = *block_push_new(1);
  make_function(spec, value_stack.base[0]);
  return {};
}

// has vars body: the vars become locals.
Status native_has(const int32_t*) {
  Cell spec = *block_copy_deep(value_stack.base[0], DeepCopy::blocks);
  block_insert_value(spec, ref_local, false, true);
  make_function(spec, value_stack.base[1]);
  return {};
}

Status native_exit(const int32_t*) { return unwind_exit(false); }

Status native_return(const int32_t*) { return unwind_exit(true); }

}  // namespace qel
