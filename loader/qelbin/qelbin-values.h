// qelbin-values.h: the checks and value makers both decoders share. Every check answers whether
// the decoded fields describe a value this runtime can hold; the decoders turn a refusal into an
// invalid record at the record's offset, so forged data never makes a value that other code
// would read out of bounds.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "runtime/cell.h"

namespace qel {

// Runs the body with errors trapped; false when it raised one (the error is dropped). The makers
// of the evaluator raise errors for what they refuse, which a decoder reports as invalid data.
bool qelbin_without_error(const std::function<void()>& body);

// A native! or action! for the slot and spec as make native! builds it; none when make refuses.
std::optional<Cell> qelbin_native_make(Type type, int64_t slot, const Cell& spec);

bool qelbin_char_ok(int64_t code_point);
bool qelbin_datatype_ok(int64_t id);
// Only registered type ids may be members.
bool qelbin_typeset_ok(const Cell& typeset);
// BCD nibbles 0-9 and a currency the locale lists (or none).
bool qelbin_money_ok(uint32_t currency, const uint8_t* amount);
// A calendar date of the year range, a zone of at most 15:45 and, with a time, a local time
// of day in [0, 86400); without one the time is 0.
bool qelbin_date_ok(uint32_t word, double time);
// integer! and char! of 1, 2 or 4 bytes, float! of 4 or 8, percent! of 8.
bool qelbin_vector_element_ok(int64_t element, int64_t size);
// Code units a string may hold at its unit size: UCS-4 units no higher than U+10FFFF.
bool qelbin_text_units_ok(const uint8_t* units, uint64_t count, uint32_t unit);

// The types whose values a reference (C1) record may take from its target, by storage: the
// block family among itself, the string family among itself, every other series type and
// function! each to itself.
bool qelbin_reference_fits(Type record_type, Type target_type);

// A context of the kind and flags with one word per symbol, in order; none when a symbol
// repeats (up to case). Values, unless on the stack, are unset.
std::optional<NodeId> qelbin_context_make(std::span<const uint32_t> symbols, uint32_t kind, bool on_stack, bool flag);

// An error! made from its code as `make error!` makes it; none for a code the catalog refuses.
std::optional<Cell> qelbin_error_make(int32_t code);

// Indexes the keys of a map whose block the decoder filled with alternating keys and values
// (keys compared strictly, so keys that differ in letter case stay apart; a repeated key gives
// the earlier one its value); false for an odd count or a key type maps refuse.
bool qelbin_map_fill(const Cell& map);

// Turns a decoded native!, action! or function! into an op! as make op! does; none when the
// value may not be an operator.
std::optional<Cell> qelbin_op_make(const Cell& value);

// Finishes a decoded function: its more series (body and description) and the owner cell of
// its context. False when the spec is no valid function spec or the context's words are not the
// ones the spec makes, so that a call could not read cells it never pushed.
bool qelbin_function_finish(Cell& function, const Cell& body);

// Makes the change-hook record of a decoded object whose handler fields hold functions (or
// none, or unset); false when one holds anything else.
bool qelbin_object_hooks(Cell& object);

}  // namespace qel
