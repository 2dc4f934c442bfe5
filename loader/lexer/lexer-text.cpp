// lexer-text.cpp: text values for the lexer's reports.
#include "loader/lexer/lexer-text.h"

#include <algorithm>

#include "datatypes/scalars/char.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-decode.h"
#include "runtime/series.h"

namespace qel {

namespace {

inline constexpr uint32_t kReplacement = 0xFFFD;

// Calls `each` with every code point of the text, U+FFFD for each byte of an ill-formed sequence
// (so a bad lead does not hide the character after it) and for a sequence cut short.
template <class Each>
void for_each_code_point(std::string_view utf8, Each&& each) {
  const uint8_t* at = reinterpret_cast<const uint8_t*>(utf8.data());
  const uint8_t* end = at + utf8.size();
  while (at < end) {
    Utf8Step step = utf8_decode_step(at, end);
    each(step.status == Utf8Status::ok ? step.code_point : kReplacement);
    at += step.status == Utf8Status::ill_formed ? 1 : step.size;  // the byte after a bad lead shows itself
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
  NodeId node = new_text_series(static_cast<int64_t>(count), unit);
  uint8_t* out = series_reserve_tail_bytes(node, static_cast<int64_t>(count * unit));
  for_each_code_point(utf8, [&](uint32_t code_point) {
    code_point_write(out, unit, code_point);
    out += unit;
  });
  return string_value(node);
}

Cell lexer_char_value(uint32_t code_point) {
  Cell cell;
  char_make_at(cell, code_point);
  return cell;
}

}  // namespace qel
