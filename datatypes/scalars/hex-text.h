// hex-text.h: upper-case hexadecimal text of integers and bytes, and the value of a digit read.
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

// The value of a hexadecimal digit (either case), or -1 for any other unit: a byte from 0x80 up
// and any code point beyond ASCII included, so no wider character reads as a digit.
constexpr int hex_digit_value(uint32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return -1;
}

}  // namespace qel
