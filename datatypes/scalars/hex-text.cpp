// hex-text.cpp: upper-case hexadecimal digits of integers and bytes.
#include "datatypes/scalars/hex-text.h"

namespace qel {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The lowest `count` nibbles of bits, most significant first.
HexText nibbles(uint32_t bits, int count) {
  HexText text{};
  for (int i = count - 1; i >= 0; --i, bits >>= 4) text.chars[i] = kHexDigits[bits & 0xF];
  text.chars[count] = '\0';
  text.length = static_cast<uint8_t>(count);
  return text;
}

}  // namespace

HexText integer_to_hex_text(int32_t value, bool shortest) {
  uint32_t bits = static_cast<uint32_t>(value);
  if (!shortest || value < 0) return nibbles(bits, 8);
  if (value == 0) return nibbles(0, 2);
  int count = 0;
  for (uint32_t rest = bits; rest != 0; rest >>= 4) ++count;
  return nibbles(bits, count);
}

HexText byte_to_hex_text(uint8_t byte) { return nibbles(byte, 2); }

}  // namespace qel
