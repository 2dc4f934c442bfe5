// hex-text.h: upper-case hexadecimal text of integers and bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace qel {

// Hexadecimal digits, NUL-terminated, held by value.
struct HexText {
  char chars[9];
  uint8_t length;

  std::string_view view() const { return {chars, length}; }
  const char* c_str() const { return chars; }
};

// The digits of a 32-bit value. Full form: eight digits (-1 gives "FFFFFFFF"). Shortest form:
// the digits without leading zeros, at least two for 0 ("00"), so 5 gives "5" and 30 "1E"; a
// negative value has no shorter form than its eight digits.
HexText integer_to_hex_text(int32_t value, bool shortest);

// The two digits of a byte.
HexText byte_to_hex_text(uint8_t byte);

}  // namespace qel
