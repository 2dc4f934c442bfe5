// caret-escapes.cpp: decoding caret escapes and UTF-8 characters of string and char text.
#include "loader/lexer/caret-escapes.h"

#include <string_view>

#include "datatypes/scalars/hex-text.h"
#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-decode.h"

namespace qel {

namespace {

inline constexpr int kMostEscapeDigits = 6;

struct NamedEscape {
  std::string_view name;
  int32_t code;
};
inline constexpr NamedEscape kNamedEscapes[] = {{"null", 0},  {"back", 8},  {"tab", 9},  {"line", 10},
                                                {"page", 12}, {"esc", 27},  {"del", 127}};

constexpr uint8_t lower(uint8_t byte) { return byte >= 'A' && byte <= 'Z' ? byte + 32 : byte; }

// The one-character escapes that stand for another character (-1: none).
constexpr int32_t single_escape(uint8_t byte) {
  switch (byte) {
    case '"': return '"';
    case '-': return '\t';
    case '/': return '\n';
    case '@': return 0;
    case '^': return '^';
    case '{': return '{';
    case '}': return '}';
    case '~': return 127;
  }
  if (byte >= 'a' && byte <= 'z') return byte - 'a' + 1;
  if ((byte >= 'A' && byte <= 'Z') || byte == '[' || byte == '\\' || byte == ']' || byte == '_') return byte - 64;
  return -1;
}

// The parenthesised escape whose "(" is at p.
TextChar decode_parenthesised(const uint8_t* p, const uint8_t* end) {
  const uint8_t* body = p + 1;
  for (const NamedEscape& named : kNamedEscapes) {
    size_t size = named.name.size();
    if (static_cast<size_t>(end - body) <= size || body[size] != ')') continue;
    bool same = true;
    for (size_t i = 0; i < size && same; ++i) same = lower(body[i]) == static_cast<uint8_t>(named.name[i]);
    if (same) return {named.code, body + size + 1};
  }
  int64_t value = 0;
  const uint8_t* at = body;
  for (; at < end && hex_digit_value(*at) >= 0; ++at) {
    if (at - body == kMostEscapeDigits) return {-1, at};
    value = value * 16 + hex_digit_value(*at);
  }
  if (at == body || at == end || *at != ')' || value > kMaxCodePoint) return {-1, at};
  return {static_cast<int32_t>(value), at + 1};
}

}  // namespace

TextChar decode_caret_escape(const uint8_t* p, const uint8_t* end) {
  if (p == end) return {-1, p};
  if (*p == '(') return decode_parenthesised(p, end);
  int32_t single = single_escape(*p);
  if (single >= 0) return {single, p + 1};
  return decode_text_char(p, end, false);
}

TextChar decode_text_char(const uint8_t* p, const uint8_t* end, bool escapes) {
  if (escapes && *p == '^') return decode_caret_escape(p + 1, end);
  if (*p < 0x80) return {*p, p + 1};
  Utf8Char decoded = utf8_decode_char(p, end);
  return {decoded.code_point, decoded.next};
}

}  // namespace qel
