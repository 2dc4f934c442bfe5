// argument-fetch.h: argument descriptions and fetching the arguments of a call.
//
// A description is built once, when a function-like value is made, from the value's private
// deep copy of its spec, and is never rebuilt: nothing can change the spec it was read from. It
// lives in a heap-held byte series (which never moves) referred to by cell 1 of the value's
// "more" series, so a call reads it in place and allocates nothing. The entries that stand for
// parameters and refinements follow the spec's order, which is the order of the slots of the
// value's parameter context.
#pragma once

#include <array>
#include <cstdint>

#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "evaluator/trace.h"
#include "runtime/action-entries.h"
#include "runtime/cell.h"
#include "runtime/fast-paths.h"
#include "runtime/value-stack.h"

namespace qel {

enum class FetchMode : uint8_t { evaluated = 0, get = 1, literal = 2 };
enum class EntryKind : uint8_t { parameter, refinement, return_types };

// One entry: a parameter (its accepted types as a mask of type ids and how it is fetched), a
// refinement (its ordinal among the refinements, from 1), or the return types.
struct ArgEntry {
  uint64_t types;    // bit t set: type id t is accepted
  uint32_t symbol;   // the spec word's symbol
  uint16_t slot;     // the frame slot of a parameter or refinement
  uint8_t ordinal;   // refinements: 1, 2 ... in spec order
  EntryKind kind;
  FetchMode mode;
};

struct ArgDescription {
  uint32_t entry_count;
  uint32_t slot_count;        // parameters and refinements: the slots before /local
  uint32_t local_count;       // /local and the words after it (0 when there is no /local)
  uint32_t refinement_count;
  uint32_t fixed_count;       // mandatory parameters
  // 1 when the mandatory parameters are all evaluated (no get or literal one) and nothing
  // follows them but return types, or, for a native or an action, refinements: an ordinary
  // call then fetches one expression per parameter (a native's refinements it names none of
  // are absent positions, where a function's need slots filled).
  // Also keeps the entries that follow 8-byte aligned.
  uint32_t plain;

  const ArgEntry* entries() const { return reinterpret_cast<const ArgEntry*>(this + 1); }
  bool accepts(const ArgEntry& entry, Type type) const { return (entry.types >> static_cast<unsigned>(type)) & 1; }
};

// arg-description-build: the description of a spec for a value of the kind (native!, action!,
// function! or routine!). A set-word other than return: raises script bad-func-def with it;
// type blocks are read with typeset-from-spec (invalid-type-spec, no-value). Answers the node.
NodeId arg_description_build(const Cell& spec, Type kind);

// Whether values of the type keep every parameter and refinement in a frame slot: function!
// and routine! (natives and actions get their refinements as positions).
constexpr bool has_slots(Type type) { return type == Type::function || type == Type::routine; }

// The description of a function-like value (an op! answers the one of the value it wraps).
inline const ArgDescription& arg_description(const Cell& value) {
  const NodeId node = function_more_cell(value, kMoreDescription)->w2;
  return *reinterpret_cast<const ArgDescription*>(series_buffer(node)->head_address());
}

// Whether two descriptions lay out their arguments alike: the same parameters with the same
// fetch modes, the same refinements with the same arguments, in the same order.
bool arg_descriptions_match(const ArgDescription& a, const ArgDescription& b);

// eval-fetch-arguments: the general route (plain calls take fetch_plain_arguments): pushes the arguments of the call in the current frame from the code
// (or, in an apply mode, from the argument block the code walks), applies the path's
// refinements, and calls natives and actions. With infix the left operand is already the
// frame's first cell.
Status eval_fetch_arguments(const Cell& function, Code& code, const CallPath* path, const Cell& name,
                            uint32_t apply, bool infix);

// The arithmetic of an action (add, subtract, multiply, and, or, xor) on two integers whose
// result fits, or a comparison native on two integers, done in place into `left` (the function
// already retyped from its op!): the value its call would leave. False, with `left` unchanged,
// for anything else.
bool integer_infix_in_place(const Cell& function, const Cell& right, Cell& left);

// What integer_infix_in_place does for a function, as a code: the action's arithmetic code, the
// native's comparison code plus kCompareInPlace, or -1 when it does nothing in place.
inline constexpr int32_t kCompareInPlace = 0x100;
int32_t integer_infix_code(const Cell& function);

// integer_infix_in_place by the function's code.
[[gnu::always_inline]] inline bool integer_in_place_by_code(int32_t code, const Cell& right, Cell& left) {
  if (code >= kCompareInPlace) {
    bool flag;
    if (!integer_compare_in_place(code - kCompareInPlace, left, right, flag)) return false;
    left = make_cell(Type::logic, flag);
    return true;
  }
  return code >= 0 && integer_arith_in_place(code, left, right, left);
}

// Raise script expect-arg (the argument's type) and no-arg for a call named by `name`.
[[noreturn]] void raise_expect_arg(const Cell& name, const Cell& argument, const ArgEntry& entry);
[[noreturn]] void raise_no_arg(const Cell& name, const ArgEntry& entry);

// Checks the argument against the entry's types.
inline void check_argument(const ArgDescription& description, const ArgEntry& entry, const Cell& argument,
                           const Cell& name) {
  if (!description.accepts(entry, cell_type(argument))) [[unlikely]] raise_expect_arg(name, argument, entry);
}

// Calls a native's or an action's entry with the refinement positions. An exit other than an
// error that left C++ code unable to answer a Status (a comparator's body) becomes a Status again.
Status eval_call_entry(const Cell& function, const int32_t* positions);

// Refinement positions of a call that names none.
inline constexpr auto kNoPositions = [] {
  std::array<int32_t, kMostRefinements> positions{};
  positions.fill(-1);
  return positions;
}();

// Whether a call takes the plain route: an ordinary call (no path, no apply mode) of a plain
// description.
inline bool plain_call(const ArgDescription& description, const CallPath* path, uint32_t apply) {
  return description.plain && !path && !apply;
}

// The arguments of a plain call: one expression each from the code, checked against its
// entry's types (an infix call's left operand is already pushed). Inline in the call.
inline Status fetch_plain_arguments(const ArgDescription& description, Code& code, const Cell& name, bool infix) {
  const ArgEntry* entries = description.entries();
  for (uint32_t k = 0; k < description.fixed_count; ++k) {
    if (!(infix && k == 0)) {
      if (code.at_end()) [[unlikely]] raise_no_arg(name, entries[k]);
      QEL_TRY(eval_argument(code, infix));
    }
    check_argument(description, entries[k], *stack_last_value(), name);
  }
  return {};
}

// After the arguments: the call event, a function's or routine's locals, the result cell of a
// call without arguments, and a native's or action's entry with the refinement positions.
inline Status eval_after_arguments(const Cell& function, const ArgDescription& description, Code& code,
                                   const Cell& name, uint32_t apply, const int32_t* positions) {
  const bool slots = has_slots(cell_type(function));
  if (trace_enabled && !code.library) [[unlikely]]
    trace_fire(kTraceCallEvent, code.value, apply ? -1 : static_cast<int64_t>(code.index), name, function);
  if (slots) function_init_locals(description.local_count);
  // A call without arguments still has a result cell, unset until the callee writes it.
  if (value_stack.top == value_stack.base) *value_stack.base = make_cell(Type::unset);
  if (slots) return {};
  return eval_call_entry(function, positions);
}

}  // namespace qel
