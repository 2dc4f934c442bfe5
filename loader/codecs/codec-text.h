// codec-text.h: what the text codecs (JSON, CSV) share: new strings cut from the units of the
// text they read, kept in the narrowest unit that holds them, and blocks of the values made.
#pragma once

#include <algorithm>
#include <cstring>
#include <span>

#include "datatypes/series/string-core.h"
#include "datatypes/series/string-unit.h"
#include "runtime/series.h"

namespace qel {

// A new string! of `count` code points held in units of type U, stored in the narrowest unit
// that holds `widest` (at least the widest of them).
template <class U>
Cell string_from_units(const U* units, size_t count, uint32_t widest) {
  const unsigned unit = unit_for_code_point(widest);
  Cell string;
  string_make_at_sized(string, static_cast<int64_t>(count), unit);
  if (count == 0) return string;
  uint8_t* out = series_reserve_tail_bytes(string.w2, static_cast<int64_t>(count * unit));
  if (unit == sizeof(U)) {
    std::memcpy(out, units, count * unit);
  } else {
    for (size_t i = 0; i < count; ++i) code_point_write(out + i * unit, unit, units[i]);
  }
  return string;
}

// The same, the widest code point found by looking (1-byte units need no look).
template <class U>
Cell string_from_units(const U* units, size_t count) {
  uint32_t widest = 0;
  if constexpr (sizeof(U) > 1) widest = count ? *std::max_element(units, units + count) : 0;
  return string_from_units(units, count, widest);
}

// A new block! of the cells, in one allocation.
inline Cell block_of(std::span<const Cell> cells) {
  const Cell block = make_cell(Type::block, 0, new_cell_series(static_cast<int64_t>(cells.size())));
  if (!cells.empty()) series_buffer_append_bytes(block.w2, cells.data(), static_cast<int64_t>(cells.size_bytes()));
  return block;
}

}  // namespace qel
