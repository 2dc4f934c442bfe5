// lexer-text.h: the text values the lexer makes for its own reports (error arguments).
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// A string! of UTF-8 text; a byte that starts no well-formed sequence, and a sequence cut short,
// read as U+FFFD.
Cell lexer_text_value(std::string_view utf8);

// A char! of a code point.
Cell lexer_char_value(uint32_t code_point);

}  // namespace qel
