// percent.h: percent!, a double holding a fraction written times 100 with "%" (1% is 0.01):
// constructors, accessor and registration. Everything but form and mold is float!'s.
#pragma once

#include "datatypes/scalars/float.h"

namespace qel {

inline Cell* percent_make_at(Cell& cell, double value) { return float_make_at(cell, value, Type::percent); }
inline Cell* percent_make_at(Cell& cell, uint32_t low, uint32_t high) {
  return percent_make_at(cell, std::bit_cast<double>(uint64_t{high} << 32 | low));
}
inline Cell* percent_make_in(const Cell& block, double value) {
  return percent_make_at(*block_append_fresh_slot(block), value);
}
inline Cell* percent_push(double value) { return percent_make_at(*stack_push_cell(), value); }
inline Cell* percent_box(double value) { return percent_make_at(*value_stack.base, value); }

inline double percent_value(const Cell& cell) { return payload_f64(cell); }

void register_percent_datatype();

}  // namespace qel
