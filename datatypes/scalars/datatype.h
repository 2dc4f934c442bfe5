// datatype.h: datatype!, the value naming a type: its constructors and its registration.
#pragma once

#include "runtime/cell.h"
#include "runtime/datatype-registry.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// Word 1 holds the type id the value names.
inline Cell* datatype_make_at(Cell& cell, Type type) {
  cell.header = static_cast<uint32_t>(Type::datatype);
  cell.w1 = static_cast<uint32_t>(type);
  return &cell;
}
inline Cell* datatype_make_in(const Cell& block, Type type) { return datatype_make_at(*block_append_fresh_slot(block), type); }
inline Cell* datatype_push(Type type) { return datatype_make_at(*stack_push_cell(), type); }

// The type a datatype! value names.
inline Type datatype_value(const Cell& cell) { return static_cast<Type>(cell.w1 & kTypeByteMask); }

void register_datatype_datatype();

}  // namespace qel
