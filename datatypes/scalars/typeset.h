// typeset.h: typeset!, a set of datatypes held as 96 bits inside the cell: constructors, the
// bit layout, building from specs and blocks, the set operations and the registration.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/cell.h"
#include "runtime/series.h"

namespace qel {

// Payload words 1-3 are the bits. Type id t is bit 0x80 >> (t & 7) of cell byte 4 + (t >> 3):
// byte 4 holds ids 0-7 with id 0 in its most significant bit, byte 5 ids 8-15, up to id 95.
inline constexpr size_t kTypesetIds = 96;

inline uint8_t& typeset_byte(Cell& cell, size_t id) { return reinterpret_cast<uint8_t*>(&cell)[4 + (id >> 3)]; }
inline uint8_t typeset_byte(const Cell& cell, size_t id) {
  return reinterpret_cast<const uint8_t*>(&cell)[4 + (id >> 3)];
}
constexpr uint8_t typeset_bit(size_t id) { return static_cast<uint8_t>(0x80 >> (id & 7)); }

inline bool typeset_has(const Cell& typeset, Type type) {
  return (typeset_byte(typeset, type_index(type)) & typeset_bit(type_index(type))) != 0;
}
inline void typeset_set(Cell& typeset, Type type) {
  typeset_byte(typeset, type_index(type)) |= typeset_bit(type_index(type));
}

inline Cell* typeset_make_at(Cell& cell, uint32_t w1, uint32_t w2, uint32_t w3) {
  cell = make_cell(Type::typeset, w1, w2, w3);
  return &cell;
}
inline Cell* typeset_make_in(const Cell& block, uint32_t w1, uint32_t w2, uint32_t w3) {
  return typeset_make_at(*block_append_fresh_slot(block), w1, w2, w3);
}

// The default argument typeset: every type but unset! (byte 4 is 0xDF, the others 0xFF).
inline constexpr Cell kDefaultTypeset = make_cell(Type::typeset, 0xFFFFFFDF, 0xFFFFFFFF, 0xFFFFFFFF);
inline Cell* typeset_make_in_default(const Cell& block) {
  return typeset_make_at(*block_append_fresh_slot(block), kDefaultTypeset.w1, kDefaultTypeset.w2, kDefaultTypeset.w3);
}

inline void typeset_clear(Cell& typeset) { typeset.w1 = typeset.w2 = typeset.w3 = 0; }

// The set bits of the registered type ids (1 to the highest registered).
int32_t typeset_count(const Cell& typeset);

// Adds a value to the typeset: a datatype! its bit, a typeset! its bits, a word! what its value
// adds (an unset word raises script no-value); anything else raises script invalid-arg.
void typeset_add_value(Cell& typeset, const Cell& value);

// Writes into the cell a typeset of the block's values from its index, each added as
// typeset_add_value adds it.
void typeset_from_block(Cell& cell, const Cell& block);

// Appends to the block the typeset of a function spec's type block: words are looked up first;
// a datatype! adds its bit, a typeset! its bits, a word's value that is a word! adds object!;
// blocks are skipped; any other item raises script invalid-type-spec with the item. Nothing is
// appended when an error is raised.
Cell* typeset_from_spec(const Cell& block, const Cell& spec);

// The set operations by code (math-ops.h): unique answers the left typeset; union and or~,
// intersect and and~, difference and xor~, exclude (left and not right). The right operand is a
// typeset! or a datatype! (its one bit), else script invalid-arg.
Cell typeset_set_op(const Cell& left, const Cell& right, int32_t op);

// Appends the datatype! of each registered id whose bit is set, in id order.
void typeset_to_block(const Cell& typeset, const Cell& block);

void register_typeset_datatype();

}  // namespace qel
