// cell.h: the 16-byte value cell in which every value lives, and the helpers that read and
// write its payload.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/type-ids.h"

namespace qel {

using NodeId = uint32_t;  // index into the node table; 0 is the null node

// A header word (type id in bits 0-7, the type's flags in bits 8-31) and three payload words.
// Everything a cell refers to is a 32-bit id, never an address. A series value holds its index
// (in units) in w1 and its node in w2; w3 is the type's own (hash table, conversion buffer ...).
struct Cell {
  uint32_t header = 0;
  uint32_t w1 = 0;
  uint32_t w2 = 0;
  uint32_t w3 = 0;
};
static_assert(sizeof(Cell) == 16);

inline constexpr uint32_t kTypeByteMask = 0xFF;
inline constexpr uint32_t kNewLineFlag = 1u << 30;  // a line break preceded the value in a block
inline constexpr uint32_t kUnsetHeader = 2;         // unset!, no flags
inline constexpr uint32_t kContextValuesOnStack = 1u << 22;  // context!: values live on the value stack

constexpr Type cell_type(const Cell& cell) { return static_cast<Type>(cell.header & kTypeByteMask); }

// A cell of the given type with no flags and the given payload words.
constexpr Cell make_cell(Type type, uint32_t w1 = 0, uint32_t w2 = 0, uint32_t w3 = 0) {
  return Cell{static_cast<uint32_t>(type), w1, w2, w3};
}

// Copies the four words; copying a cell onto itself does nothing.
inline void clone_value_slot(Cell& target, const Cell& source) {
  if (&target != &source) target = source;
}

// Replaces the type byte and keeps the flag bits.
constexpr void set_value_type_byte(Cell& cell, Type type) {
  cell.header = (cell.header & ~kTypeByteMask) | static_cast<uint32_t>(type);
}

// Clears the new-line marker.
constexpr void value_clear_flag_30(Cell& cell) { cell.header &= ~kNewLineFlag; }

// A signed 32-bit payload word (1 to 3) read and written without a cast through the union rules.
constexpr int32_t payload_i32(const Cell& cell, int word) {
  const uint32_t words[] = {cell.w1, cell.w2, cell.w3};
  return std::bit_cast<int32_t>(words[word - 1]);
}
constexpr void set_payload_i32(Cell& cell, int word, int32_t value) {
  uint32_t* words[] = {&cell.w1, &cell.w2, &cell.w3};
  *words[word - 1] = std::bit_cast<uint32_t>(value);
}

// A double across payload words 2 and 3 (w2 the low half), as float!, percent! and time! keep it.
inline double payload_f64(const Cell& cell) {
  double value;
  std::memcpy(&value, reinterpret_cast<const unsigned char*>(&cell) + offsetof(Cell, w2), sizeof value);
  return value;
}
inline void set_payload_f64(Cell& cell, double value) {
  std::memcpy(reinterpret_cast<unsigned char*>(&cell) + offsetof(Cell, w2), &value, sizeof value);
}

}  // namespace qel
