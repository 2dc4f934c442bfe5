// output-text.cpp: appending ASCII text and code points to a form or mold output string.
#include "datatypes/scalars/output-text.h"

#include "datatypes/series/string-unit.h"
#include "runtime/series.h"

namespace qel {

namespace {

// Widens the string's units to `unit` bytes in place, growing the buffer when the wider units
// do not fit.
SeriesBuffer* widen_output(NodeId node, unsigned unit) {
  SeriesBuffer* buffer = series_buffer(node);
  unsigned from = buffer->unit();
  size_t used = buffer->tail - buffer->head;
  size_t need = widened_size(used, from, unit);
  if (buffer->head + need > buffer->capacity) buffer = grow_series_copy(node, static_cast<int64_t>(need));
  size_t count = used / from;
  widen_units_in_place(buffer->head_address(), count, from, unit);
  buffer->flags = (buffer->flags & ~kSeriesUnitMask) | unit;
  buffer->tail = static_cast<uint32_t>(buffer->head + count * unit);
  return buffer;
}

}  // namespace

void output_append_ascii(Cell& output, std::string_view text) {
  unsigned unit = series_buffer(output.w2)->unit();
  if (unit == 1) return series_buffer_append_bytes(output.w2, text.data(), static_cast<int64_t>(text.size()));
  uint8_t* at = series_reserve_tail_bytes(output.w2, static_cast<int64_t>(text.size() * unit));
  for (char c : text) {
    code_point_write(at, unit, static_cast<uint8_t>(c));
    at += unit;
  }
}

void output_append_code_point(Cell& output, uint32_t code_point) {
  unsigned need = unit_for_code_point(code_point);
  if (need > series_buffer(output.w2)->unit()) widen_output(output.w2, need);
  unsigned unit = series_buffer(output.w2)->unit();
  code_point_write(series_reserve_tail_bytes(output.w2, unit), unit, code_point);
}

}  // namespace qel
