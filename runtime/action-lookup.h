// action-lookup.h: finding the function of an action for a value, port actor tables, and the
// comparison entry points built on the compare slot.
#pragma once

#include <cstdint>

#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/datatype-registry.h"
#include "runtime/value-stack.h"

namespace qel {

// --- Port actors ----------------------------------------------------------------------------------

// A scheme written in C++ registers a table of actions and puts a handle! whose value is the
// answered index in its ports' actor field. Only a registered index is ever used, and only for
// slots 25 to 62 (append ... write); slots 1 to 24 stay port!'s own.
uint32_t register_port_actor(const ActionRow& actor);
// Forgets every registered actor table (tests).
void reset_port_actors();

// The function of a port's actor for the slot: script errors as lookup_action's for an
// unsupported slot; access invalid-actor for an actor handle that names no registered table;
// access no-port-action for a slot the table leaves empty. Null when the actor is no handle!.
ActionFn port_actor_action(const Cell& port, Act act);

// --- Lookup ---------------------------------------------------------------------------------------

// Raises script expect-arg for a type without the action: the caller's name, the datatype and
// the first parameter word of the running function.
[[noreturn]] void unsupported_action(Type type);

// The function of the action for the type, the value being a port! whose actor may supply it.
ActionFn lookup_action(Type type, const Cell& value, Act act);

// The typed function of slot A for the value's own type.
template <Act A>
inline slot_fn<A> lookup_action_for_value(const Cell& value) {
  uint32_t type = value.header & 0xFF;
  if (type >= kTypeTableRows) type = 0;  // no registered row: unsupported
  ActionFn fn = action_table[type][slot_index(A)];
  if (slot_number(A) >= slot_number(Act::Append) && type == type_index(Type::port)) [[unlikely]] {
    fn = lookup_action(Type::port, value, A);
  } else if (!fn) [[unlikely]] {
    unsupported_action(static_cast<Type>(type));
  }
  return reinterpret_cast<slot_fn<A>>(fn);
}

template <Act A>
inline slot_fn<A> lookup_action_for_stack_arg() {
  return lookup_action_for_value<A>(*value_stack.base);
}

// The path-step function of the value's type. A type without one raises script bad-path-type2
// (element, datatype) when no path is given, else bad-path-type (path, datatype, the path cut
// after index + 1 elements).
slot_fn<Act::PathStep> lookup_action_or_fail(const Cell& value, const Cell& element, const Cell* path, int32_t index);

// The index argument of pick and poke, from the frame's second cell: integer! and char! give
// their number, logic! true 1 and false 2, any other type 0.
int32_t pick_index_arg();

// --- Comparison -----------------------------------------------------------------------------------

// Comparison codes: the third argument of every compare function.
enum CompareCode : int32_t {
  kCompareEqual = 0,
  kCompareNotEqual = 1,
  kCompareStrictEqual = 2,
  kCompareLesser = 3,
  kCompareLesserOrEqual = 4,
  kCompareGreater = 5,
  kCompareGreaterOrEqual = 6,
  kCompareSort = 7,
  kCompareSortCase = 8,
  kCompareSame = 9,
  kComparePathCase = 10,
  kComparePath = 11,
  kCompareFind = 12,
};
inline constexpr int32_t kNotComparable = -2;

// The truth of the comparison by value1's compare function. Values that cannot be compared
// raise script invalid-compare unless the code is an equality; a code outside the table ends the
// process with runtime error 101.
bool compare_values(const Cell& value1, const Cell& value2, int32_t code);
// compare_values under the equal code, which never raises: the compare function's answer is 0.
inline bool values_equal(const Cell& value1, const Cell& value2) {
  return lookup_action_for_value<Act::Compare>(value1)(value1, value2, kCompareEqual) == 0;
}

// -1, 0 or 1 (or -2): logic!, native!, action!, op!, function! and routine! pairs of one type by
// payload, every other value by value1's compare function.
int32_t dispatch_compare(const Cell& value1, const Cell& value2, int32_t code);

}  // namespace qel
