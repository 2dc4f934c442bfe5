// function.h: function! (type 24): specs and their validation, building functions, locals, and
// the actions of function!; the "more" series shared by every function-like value.
//
// A function! cell: the header with the attribute flags, w1 the function's context (one slot per
// word!, get-word!, lit-word! and refinement! of the spec, /local and its words included; the
// values live on the value stack while the function runs), w2 its spec (a private deep copy), w3
// its more series of five cells: the body (a deep copy bound to the context, or none), the
// argument description, the compiled code (unset: every function here is interpreted), the
// function itself once an op! wraps it, and an owning object's context (unset).
#pragma once

#include <cstdint>
#include <span>

#include "runtime/cell.h"
#include "runtime/series-buffer.h"
#include "runtime/value-stack.h"

namespace qel {

inline constexpr uint32_t kFunctionTraceFlag = 0x400;    // the body is traced
inline constexpr uint32_t kFunctionNoTraceFlag = 0x200;  // the body is never traced

// Cells of the more series. native!, action! and routine! use the first two the same way.
enum MoreCell : uint32_t {
  kMoreBody = 0,         // native!, action!: none
  kMoreDescription = 1,  // a binary! on the argument description's heap series
  kMoreCode = 2,         // routine!: the routine's index in the C++ routine table
  kMoreOpSelf = 3,
  kMoreObject = 4,       // routine!: the return type code
};

// The n-th cell of a function-like value's more series; valid until the next safe point.
inline Cell* function_more_cell(const Cell& value, uint32_t n) { return series_buffer(value.w3)->head_cell() + n; }

// function-spec-validate: checks a spec from its index; answers the attribute flags. A refusal
// is script bad-func-def with the spec, a type block's bad value script invalid-type-spec (a word
// without value script no-value), a repeated parameter script dup-vars naming the second one.
uint32_t function_spec_validate(const Cell& spec);

// function-value-build: a function! of a deep copy of the spec (from its index) and of the body
// (from its index limited to its length; none for no body), its context made from the spec copy
// and the body bound to it, its description built. The stacks are left as they were.
Cell function_value_build(const Cell& spec, const Cell& body, uint32_t flags);

// function-init-locals: pushes false (the /local slot) and count - 1 none cells.
inline void function_init_locals(uint32_t count) {
  if (count == 0) return;
  stack_push_value(make_cell(Type::logic, 0));
  for (uint32_t i = 1; i < count; ++i) stack_push_value(make_cell(Type::none));
}

// spec-count-locals: 1 + the word! cells after the first /local from the start index; 0 when
// there is no /local, -1 then in strict mode.
int32_t spec_count_locals(const Cell& spec, uint32_t start, bool strict);

// function-collect-locals: for the function native, a new spec: the given one (cut at /extern)
// with /local and the words the body sets (set-words, and the words foreach, remove-each and
// repeat set) that are neither parameters nor named after /extern. Raises script
// bad-func-extern for an /extern value that is no word, block or string.
Cell function_collect_locals(const Cell& spec, const Cell& body);

// The builders and reflectors of function-like values shared with native!, routine! and op!.
// reflect spec: the spec block at index 0.
Cell function_spec_block(const Cell& value);
// A more series of `cells` cells, each unset, with the description at cell 1.
NodeId function_more_make(uint32_t cells, NodeId description);

// function-spec-arg-word: the n-th parameter word (word!, get-word!, lit-word! and refinement!
// cells counted) of the function the innermost named call frame's word refers to, as a word!;
// none when that word refers to no native!, action!, op!, function! or routine!, or the spec has
// fewer parameters.
Cell function_spec_arg_word(uint32_t n);

// The event filter of a callback: when the function's body opens with a block, bit k for each
// word! in it that names names[k] (letter case ignored; other values add nothing); else `all`.
// A value that is no function! answers `all`.
uint32_t callback_filter_mask(const Cell& callback, std::span<const char* const> names, uint32_t all);

// register-function-datatype: function! (parent context!); installs function-spec-arg-word.
void register_function_datatype();

}  // namespace qel
