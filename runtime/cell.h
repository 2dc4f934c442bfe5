// cell.h: the 16-byte value cell in which every value lives.
#pragma once

#include <cstdint>

#include "runtime/type-ids.h"

namespace qel {

using NodeId = uint32_t;  // index into the node table; 0 is the null node

// A header word (type id in bits 0-7, the type's flags in bits 8-31) and three payload words.
// Everything a cell refers to is a 32-bit id, never an address.
struct Cell {
  uint32_t header = 0;
  uint32_t w1 = 0;
  uint32_t w2 = 0;
  uint32_t w3 = 0;
};
static_assert(sizeof(Cell) == 16);

constexpr Type cell_type(const Cell& cell) { return static_cast<Type>(cell.header & 0xFF); }

// A cell of the given type with no flags and the given payload words.
constexpr Cell make_cell(Type type, uint32_t w1 = 0, uint32_t w2 = 0, uint32_t w3 = 0) {
  return Cell{static_cast<uint32_t>(type), w1, w2, w3};
}

}  // namespace qel
