// string-unit.cpp: reading, writing and widening the code units of text buffers.
#include "datatypes/series/string-unit.h"

#include "runtime/error-raise.h"

namespace qel {

namespace {

// Widens count units of From to To in place, last unit first.
template <class From, class To>
void widen_backwards(uint8_t* data, size_t count) {
  for (size_t i = count; i-- > 0;) store_unit<To>(data + i * sizeof(To), load_unit<From>(data + i * sizeof(From)));
}

}  // namespace

uint32_t code_point_read(const uint8_t* address, unsigned unit) {
  return with_unit_type(unit, [&](auto unit_type) -> uint32_t { return load_unit<decltype(unit_type)>(address); });
}

void code_point_write(uint8_t* address, unsigned unit, uint32_t code_point) {
  with_unit_type(unit, [&](auto unit_type) {
    using U = decltype(unit_type);
    store_unit<U>(address, static_cast<U>(code_point));
  });
}

size_t widened_size(size_t used, unsigned from, unsigned to) {
  if (used > kMaxTextBytes) fatal_assertion();
  return (used >> unit_shift(from) << unit_shift(to)) + to;
}

void widen_units_in_place(uint8_t* data, size_t count, unsigned from, unsigned to) {
  if (from == 1 && to == 2) return widen_backwards<uint8_t, uint16_t>(data, count);
  if (from == 1 && to == 4) return widen_backwards<uint8_t, uint32_t>(data, count);
  if (from == 2 && to == 4) return widen_backwards<uint16_t, uint32_t>(data, count);
  fatal_no_match_switch();
}

void raise_invalid_char(uint32_t code_point) {
  raise_error(error_id("script", "invalid-char"), make_cell(Type::integer, 0, code_point));
}

}  // namespace qel
