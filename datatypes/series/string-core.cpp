// string-core.cpp: making text values, reading and writing their code points and text.
#include "datatypes/series/string-core.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "datatypes/scalars/float-text.h"
#include "datatypes/series/case-map.h"
#include "runtime/cycle-guard.h"
#include "runtime/memory.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Ends the process (98) unless `ok`: a position outside the text is a fault of the caller.
void require(bool ok) {
  if (!ok) fatal_assertion();
}

// The unit the append rule wants for a code point: a code point from U+0080 on never goes into
// a 1-byte buffer by appending.
constexpr unsigned append_unit(uint32_t c) { return c < 0x80 ? 1 : c < 0x10000 ? 2 : 4; }

// Sets the unit bits of a buffer's flags.
void set_unit(SeriesBuffer* buffer, unsigned unit) { buffer->flags = (buffer->flags & ~kSeriesUnitMask) | unit; }

}  // namespace

// --- Making ---------------------------------------------------------------------------------------

NodeId new_text_series(int64_t capacity, unsigned unit) {
  unit_shift(unit);  // a unit other than 1, 2 or 4 is error 101
  return new_string_series(std::max<int64_t>(capacity, 1), unit);
}

void string_make_at(Cell& cell, int64_t capacity) { string_make_at_sized(cell, capacity, 1); }

void string_make_at_sized(Cell& cell, int64_t capacity, unsigned unit) {
  cell = string_value(new_text_series(capacity, unit));
}

Cell* string_push(const Cell& value) { return stack_push_value(value); }

// --- Positions and reading -------------------------------------------------------------------------

std::vector<uint32_t> text_code_points(UnitText text) {
  return visit_units(text, [](auto units) { return std::vector<uint32_t>(units.begin(), units.end()); });
}

uint8_t* string_position(Cell& value) {
  value.w1 = string_index(value);
  return const_cast<uint8_t*>(string_text(value).data);
}

bool string_at_tail(const Cell& value) { return string_length(value) == 0; }

uint32_t string_char_at(const Cell& value, int64_t offset) {
  UnitText text = string_text(value);
  require(offset >= 0 && static_cast<uint64_t>(offset) < text.length);
  return code_point_read(text.data + (static_cast<size_t>(offset) << unit_shift(text.unit)), text.unit);
}

int64_t string_find_char(const Cell& value, uint32_t c) {
  return visit_units(string_text(value), [&](auto units) -> int64_t {
    if constexpr (sizeof(units[0]) == 1) {
      if (c > 0xFF) return -1;
      const void* found = std::memchr(units.data(), static_cast<int>(c), units.size());
      return found ? static_cast<const uint8_t*>(found) - units.data() : -1;
    } else {
      auto found = std::find(units.begin(), units.end(), c);
      return found == units.end() ? -1 : found - units.begin();
    }
  });
}

bool string_contains_char(const Cell& value, uint32_t c, int64_t skip, bool case_sensitive) {
  require(skip >= 1);
  uint32_t wanted = case_sensitive ? c : unicode_case_map(c, Case::upper);
  return visit_units(string_text(value), [&](auto units) {
    for (size_t i = 0; i < units.size(); i += static_cast<size_t>(skip)) {
      uint32_t unit = units[i];
      if ((case_sensitive ? unit : unicode_case_map(unit, Case::upper)) == wanted) return true;
      if (units.size() - i <= static_cast<size_t>(skip)) break;
    }
    return false;
  });
}

bool string_starts_with(const Cell& value, std::string_view bytes) {
  UnitText text = string_text(value);
  if (text.length < bytes.size()) return false;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (code_point_read(text.data + (i << unit_shift(text.unit)), text.unit) != static_cast<uint8_t>(bytes[i]))
      return false;
  return true;
}

// --- Writing code points -------------------------------------------------------------------------

void string_append_char(NodeId node, uint32_t c) {
  unsigned unit = string_widen_for(node, append_unit(c), int64_t{string_total_length(node)} + 1);
  code_point_write(series_reserve_tail_bytes(node, unit), unit, c);
}

void string_put_char(NodeId node, uint32_t offset, uint32_t c) {
  uint32_t length = string_total_length(node);
  require(offset < length);
  unsigned unit = string_widen_for(node, unit_for_code_point(c), length);
  code_point_write(series_buffer(node)->head_address() + (size_t{offset} << unit_shift(unit)), unit, c);
}

void string_poke_char(NodeId node, uint32_t offset, uint32_t c) {
  unsigned unit = string_widen_for(node, unit_for_code_point(c), std::max<int64_t>(int64_t{offset} + 1, string_total_length(node)));
  int64_t end = (int64_t{offset} + 1) << unit_shift(unit);
  SeriesBuffer* buffer = text_reserve(node, end);
  uint8_t* at = buffer->head_address() + (size_t{offset} << unit_shift(unit));
  if (buffer->head + end > buffer->tail) {
    std::memset(buffer->tail_address(), 0, static_cast<size_t>(at - buffer->tail_address()));
    buffer->tail = static_cast<uint32_t>(buffer->head + end);
  }
  code_point_write(at, unit, c);
}

void string_insert_char(NodeId node, uint32_t offset, uint32_t c) {
  uint32_t length = string_total_length(node);
  require(offset <= length);
  unsigned unit = string_widen_for(node, unit_for_code_point(c), int64_t{length} + 1);
  unsigned shift = unit_shift(unit);
  SeriesBuffer* buffer = text_reserve(node, (int64_t{length} + 1) << shift);
  uint8_t* at = buffer->head_address() + (size_t{offset} << shift);
  std::memmove(at + unit, at, size_t{length - offset} << shift);
  code_point_write(at, unit, c);
  buffer->tail += unit;
}

void string_remove_units(NodeId node, uint32_t offset, uint32_t n) {
  unsigned shift = unit_shift(text_unit(node));
  require(uint64_t{offset} + n <= string_total_length(node));
  series_buffer_remove_bytes(node, offset << shift, n << shift);
}

void series_buffer_truncate(NodeId node, uint32_t n) {
  SeriesBuffer* buffer = series_buffer(node);
  uint64_t end = buffer->head + (uint64_t{n} << unit_shift(buffer->unit()));
  if (end < buffer->tail) buffer->tail = static_cast<uint32_t>(end);
}

void string_reset(Cell& value) {
  SeriesBuffer* buffer = series_buffer(value.w2);
  buffer->tail = buffer->head;
  set_unit(buffer, 1);
  value.w1 = 0;
}

// --- Units -------------------------------------------------------------------------------------------

void string_widen_to(NodeId node, unsigned unit) {
  SeriesBuffer* buffer = series_buffer(node);
  unsigned from = buffer->unit();
  if (unit_shift(unit) <= unit_shift(from)) return;
  size_t used = buffer->tail - buffer->head;
  buffer = text_reserve(node, static_cast<int64_t>(widened_size(used, from, unit)));
  size_t count = used >> unit_shift(from);
  widen_units_in_place(buffer->head_address(), count, from, unit);
  set_unit(buffer, unit);
  buffer->tail = static_cast<uint32_t>(buffer->head + (count << unit_shift(unit)));
}

unsigned string_widen_for(NodeId node, unsigned unit, int64_t units) {
  unsigned wider = std::max(unit, text_unit(node));
  if (units < 0 || units > static_cast<int64_t>(kSeriesMaxBytes >> unit_shift(wider))) raise_no_memory();
  string_widen_to(node, unit);
  return wider;
}

void copy_units(const uint8_t* from, unsigned from_unit, uint8_t* to, unsigned to_unit, size_t count) {
  if (from_unit == to_unit) {
    std::memmove(to, from, count << unit_shift(from_unit));
    return;
  }
  require(unit_shift(from_unit) < unit_shift(to_unit));
  with_unit_type(from_unit, [&](auto from_type) {
    with_unit_type(to_unit, [&](auto to_type) {
      using From = decltype(from_type);
      using To = decltype(to_type);
      for (size_t i = 0; i < count; ++i) store_unit<To>(to + i * sizeof(To), load_unit<From>(from + i * sizeof(From)));
    });
  });
}

SeriesBuffer* text_reserve(NodeId node, int64_t bytes) {
  SeriesBuffer* buffer = series_buffer(node);
  if (bytes < 0 || bytes + buffer->head > static_cast<int64_t>(kSeriesMaxBytes)) raise_no_memory();
  if (buffer->head + bytes <= buffer->capacity) return buffer;
  int64_t doubled = std::min<int64_t>(2 * int64_t{buffer->capacity}, kSeriesMaxBytes & ~int64_t{15});
  return grow_series_copy(node, std::max(bytes, doubled));
}

// --- Writing text -----------------------------------------------------------------------------------

uint32_t string_splice(NodeId node, uint32_t offset, uint32_t replaced, UnitText text, int64_t copies) {
  SeriesBuffer* buffer = series_buffer(node);
  std::vector<uint8_t> held;
  if (text.data >= buffer->data() && text.data < buffer->data() + buffer->capacity) {
    held.assign(text.data, text.data + (text.length << unit_shift(text.unit)));
    text.data = held.data();
  }
  uint32_t length = string_total_length(node);
  require(copies >= 0 && uint64_t{offset} + replaced <= length);
  if (text.length > kSeriesMaxBytes || copies > static_cast<int64_t>(kSeriesMaxBytes)) raise_no_memory();
  int64_t added = static_cast<int64_t>(text.length) * copies;
  int64_t new_length = int64_t{length} - replaced + added;
  unsigned unit = string_widen_for(node, text.unit, new_length);
  unsigned shift = unit_shift(unit);
  buffer = text_reserve(node, new_length << shift);
  uint8_t* at = buffer->head_address() + (size_t{offset} << shift);
  std::memmove(at + (added << shift), at + (size_t{replaced} << shift), size_t{length - offset - replaced} << shift);
  if (added > 0) {
    copy_units(text.data, text.unit, at, unit, text.length);
    repeat_bytes_fill(at, text.length << shift, static_cast<size_t>(copies));
  }
  buffer->tail = static_cast<uint32_t>(buffer->head + (new_length << shift));
  return static_cast<uint32_t>(offset + added);
}

uint32_t string_write_text(NodeId node, uint32_t offset, UnitText text, TextMode mode) {
  uint32_t length = string_total_length(node);
  if (mode == TextMode::append) offset = length;
  require(offset <= length);
  size_t overwritten = mode == TextMode::overwrite ? std::min<size_t>(text.length, length - offset) : 0;
  return string_splice(node, offset, static_cast<uint32_t>(overwritten), text, 1);
}

void swap_adjacent_spans(uint8_t* first, size_t length_a, size_t length_b, size_t gap) {
  std::rotate(first, first + length_a, first + length_a + length_b + gap);
}

// --- Numbers in text ---------------------------------------------------------------------------------

double decimal_span_to_float(UnitText text, bool& error) {
  size_t unconsumed = 0;
  double value = visit_units(text, [&](auto units) { return decimal_text_to_double(units, 0, unconsumed); });
  error = text.length == 0 || unconsumed != 0;
  return value;
}

}  // namespace qel
