// char-escape.h: the molded form of one code point, as char! and string mold write it.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// An escape's text ("^@", "^(9F)" ...), held by value; empty when the code point is written as
// itself.
struct CharEscape {
  char chars[12];
  uint8_t length;

  std::string_view view() const { return {chars, length}; }
};

// How a code point is molded: "^(" hex ")" for U+001E, U+0080-U+009F, a lone surrogate (no
// UTF-8 holds one, so written as itself it would not load back), and with `all` every code point
// above U+007F; "^" and a letter or sign for the other control characters, the double
// quote and "^" (tab "^-", line feed "^/", U+0000 "^@"); "^~" for U+007F; else itself.
CharEscape char_escape(uint32_t code_point, bool all);

// Appends the molded form of the code point to a form or mold output string.
void string_mold_char(Cell& output, uint32_t code_point, bool all);

}  // namespace qel
