// change-case.cpp: uppercase and lowercase of char! and text values.
#include "datatypes/series/change-case.h"

#include <algorithm>

#include "datatypes/series/string-core.h"
#include "datatypes/series/series.h"
#include "runtime/ownership.h"
#include "runtime/contexts.h"

namespace qel {

namespace {

// Maps units [at, end) of the buffer, widening it where a mapping needs a wider unit.
void map_span(NodeId node, uint32_t at, uint32_t end, Case which) {
  while (at < end) {
    SeriesBuffer* buffer = series_buffer(node);
    unsigned unit = buffer->unit();
    uint8_t* from = buffer->head_address() + (size_t{at} << unit_shift(unit));
    size_t done = case_map_units_in_place(from, end - at, unit, which);
    at += static_cast<uint32_t>(done);
    if (at == end) return;
    uint32_t c = code_point_read(from + (done << unit_shift(unit)), unit);
    string_put_char(node, at, unicode_case_map(c, which));  // widens
    ++at;
  }
}

}  // namespace

Cell& change_case_value(Cell& value, Cell* part, Case which) {
  if (cell_type(value) == Type::char_) {
    value.w2 = unicode_case_map(value.w2, which);
    return value;
  }
  value.w1 = string_index(value);
  uint32_t length = string_length(value);
  int64_t count = part ? std::clamp<int64_t>(series_part_count(value, *part), 0, length) : length;
  map_span(value.w2, value.w1, value.w1 + static_cast<uint32_t>(count), which);
  Cell word = word_from_c_string(which == Case::upper ? "uppercase" : "lowercase");
  notify_owner_change(value, word, make_cell(Type::none), static_cast<int32_t>(value.w1), static_cast<int32_t>(count));
  return value;
}

}  // namespace qel
