// lexer-text.cpp: text values for the lexer's reports.
#include "loader/lexer/lexer-text.h"

#include <algorithm>

#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-decode.h"
#include "runtime/series.h"

namespace qel {

namespace {

inline constexpr uint32_t kReplacement = 0xFFFD;

// Calls `each` with every code point of the text, U+FFFD for a broken sequence.
template <class Each>
void for_each_code_point(std::string_view utf8, Each&& each) {
  const uint8_t* at = reinterpret_cast<const uint8_t*>(utf8.data());
  const uint8_t* end = at + utf8.size();
  while (at < end) {
    Utf8Step step = utf8_decode_step(at, end);
    each(step.status == Utf8Status::ok ? step.code_point : kReplacement);
    at += step.size;
  }
}

}  // namespace

Cell lexer_text_value(std::string_view utf8) {
  size_t count = 0;
  unsigned unit = 1;
  for_each_code_point(utf8, [&](uint32_t code_point) {
    ++count;
    unit = std::max(unit, unit_for_code_point(code_point));
  });
  NodeId node = new_string_series(static_cast<int64_t>(count), unit);
  uint8_t* out = series_reserve_tail_bytes(node, static_cast<int64_t>(count * unit));
  for_each_code_point(utf8, [&](uint32_t code_point) {
    code_point_write(out, unit, code_point);
    out += unit;
  });
  return make_cell(Type::string, 0, node);
}

Cell lexer_char_value(uint32_t code_point) { return make_cell(Type::char_, 0, code_point); }

}  // namespace qel
