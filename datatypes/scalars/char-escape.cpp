// char-escape.cpp: the escapes of molded characters.
#include "datatypes/scalars/char-escape.h"

#include <array>
#include <cstring>

#include "datatypes/scalars/hex-text.h"
#include "datatypes/series/string-core.h"
#include "runtime/series.h"
#include "runtime/utf8.h"

namespace qel {

namespace {

// The character after "^" for U+0000-U+005F; 0 where the code point is written as itself.
// U+001E never reaches the table: it is written in hexadecimal.
constexpr std::array<char, 0x60> kEscapeTable = [] {
  std::array<char, 0x60> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = static_cast<char>('@' + c);
  table['\t'] = '-';
  table['\n'] = '/';
  table['"'] = '"';
  table['^'] = '^';
  return table;
}();

CharEscape escape_of(std::string_view text) {
  CharEscape escape{};
  std::memcpy(escape.chars, text.data(), text.size());
  escape.length = static_cast<uint8_t>(text.size());
  return escape;
}

}  // namespace

CharEscape char_escape(uint32_t code_point, bool all) {
  if (code_point == 0x1E || (code_point >= 0x80 && code_point <= 0x9F) || is_surrogate(code_point) ||
      (all && code_point > 0x7F)) {
    HexText hex = integer_to_hex_text(static_cast<int32_t>(code_point), true);
    CharEscape escape = escape_of("^(");
    std::memcpy(escape.chars + 2, hex.chars, hex.length);
    escape.chars[2 + hex.length] = ')';
    escape.length = static_cast<uint8_t>(3 + hex.length);
    return escape;
  }
  if (code_point < kEscapeTable.size() && kEscapeTable[code_point]) {
    const char pair[] = {'^', kEscapeTable[code_point]};
    return escape_of({pair, 2});
  }
  if (code_point == 0x7F) return escape_of("^~");
  return CharEscape{};
}

void string_mold_char(Cell& output, uint32_t code_point, bool all) {
  CharEscape escape = char_escape(code_point, all);
  if (escape.length) series_append_ascii(output.w2, escape.view());
  else string_append_char(output.w2, code_point);
}

}  // namespace qel
