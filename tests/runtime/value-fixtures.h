// value-fixtures.h: small values for runtime tests: numbers, words and rooted blocks.
#pragma once

#include <initializer_list>

#include "memory-fixture.h"
#include "runtime/contexts.h"
#include "runtime/root-block.h"
#include "runtime/symbols.h"

namespace qel {

inline Cell integer(int32_t n) {
  Cell cell = make_cell(Type::integer);
  set_payload_i32(cell, 2, n);
  return cell;
}

inline Cell float_cell(double value) {
  Cell cell = make_cell(Type::float_);
  set_payload_f64(cell, value);
  return cell;
}

// An unbound, unresolved word of the type.
inline Cell word_of(const char* name, Type type = Type::word) {
  return make_cell(type, 0, symbol_intern_cstring(name), kUnresolved);
}

// A block of the cells, rooted in the root block.
inline Cell rooted_block(std::initializer_list<Cell> cells) {
  NodeId node = new_cell_series(static_cast<int64_t>(cells.size()));
  for (const Cell& cell : cells) *series_append_fresh_slot(node) = cell;
  Cell block = make_cell(Type::block, 0, node);
  root_slot_append(block);
  return block;
}

// The cell at a position from a block's head; valid until the next safe point.
inline Cell& cell_at(const Cell& block, uint32_t i) { return series_buffer(block.w2)->head_cell()[i]; }

}  // namespace qel
