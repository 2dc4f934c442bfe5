// native.h: native! (type 21), action! (type 22) and op! (type 23): the function-like values
// whose code is built in, their canonical values, make, reflect, form, mold and compare.
//
// A native! or action! cell: w1 the slot (a native's slot in the native entry table, an action's
// slot in the action table), w2 the spec block (a private deep copy), w3 the more series of two
// cells: none (no parameter context is made: a refinement is found in the description) and
// the argument description. Every value of
// a slot is fetched and checked by the canonical description of that slot, whatever spec it was
// made with. An op! is the cell of the value it wraps with type 23 and the wrapped type in
// header bits 16-23.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/cell.h"

namespace qel {

// A native! or action! value for the slot from a spec (deep-copied) and a description node (the
// spec's own when 0).
Cell native_value_build(Type type, uint32_t slot, const Cell& spec, NodeId description);
// The value make native! / make action! builds for the slot and the spec: none when the slot is
// not made (a native without an entry, an action slot without a word) or the spec's argument
// layout differs from the slot's canonical one, which would let the code read unpushed cells.
std::optional<Cell> native_value_checked(Type type, int64_t slot, const Cell& spec);

// The canonical values: made at start-up for every native whose entry exists and every action
// slot with a word; none for the others. They live in a rooted block.
void canonical_values_init();
void set_canonical_value(const Cell& value);
Cell canonical_value(Type type, uint32_t slot);

// make op! over a native!, action!, function! or routine!: script invalid-type for another
// value, script bad-op-spec for a spec without exactly two parameters or with a literal or get
// parameter on the left.
Cell op_make_value(const Cell& value);

void register_native_datatype();
void register_action_datatype();
void register_op_datatype();

}  // namespace qel
