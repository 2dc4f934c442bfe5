// utf8.h: encoding one code point as UTF-8, the one encoder every writer shares.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

inline constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Whether a code point is one half of a UTF-16 pair (U+D800-U+DFFF): text may hold one alone,
// but no well-formed UTF-8 does.
constexpr bool is_surrogate(uint32_t code_point) { return code_point >= 0xD800 && code_point <= 0xDFFF; }

// Writes the UTF-8 bytes of a code point up to U+10FFFF to out (room for 4) and answers their
// count. A surrogate (U+D800-U+DFFF) is written as its three bytes, as text held in a string
// may contain one; the caller keeps values above U+10FFFF away.
constexpr size_t utf8_encode_with_surrogates(uint32_t code_point, uint8_t* out) {
  if (code_point < 0x80) {
    out[0] = static_cast<uint8_t>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<uint8_t>(0xC0 | (code_point >> 6));
    out[1] = static_cast<uint8_t>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<uint8_t>(0xE0 | (code_point >> 12));
    out[1] = static_cast<uint8_t>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = static_cast<uint8_t>(0xF0 | (code_point >> 18));
  out[1] = static_cast<uint8_t>(0x80 | ((code_point >> 12) & 0x3F));
  out[2] = static_cast<uint8_t>(0x80 | ((code_point >> 6) & 0x3F));
  out[3] = static_cast<uint8_t>(0x80 | (code_point & 0x3F));
  return 4;
}

// Writes the UTF-8 bytes of a code point to out (room for 4) and answers their count.
// Surrogates and values above U+10FFFF have no UTF-8 form: they are written as U+FFFD.
constexpr size_t utf8_encode(uint32_t code_point, uint8_t* out) {
  if (is_surrogate(code_point) || code_point > 0x10FFFF) code_point = kReplacementCharacter;
  return utf8_encode_with_surrogates(code_point, out);
}

}  // namespace qel
