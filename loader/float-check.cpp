// float-check.cpp: the float check automaton and the exact reading of checked text.
#include "loader/float-check.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "datatypes/scalars/float-text.h"

namespace qel {

namespace {

// Byte classes of the automaton.
enum FloatClass : uint8_t { kSign, kDigit, kExp, kDot, kApos, kEnd, kOther };
inline constexpr uint8_t kReject = 10;
inline constexpr uint8_t kAccept = 11;

constexpr FloatClass float_class(uint8_t byte) {
  if (byte >= '0' && byte <= '9') return kDigit;
  switch (byte) {
    case '+': case '-': return kSign;
    case 'e': case 'E': return kExp;
    case '.': return kDot;
    case '\'': return kApos;
    default: return kOther;
  }
}

// The class of every byte, looked up once per byte.
inline constexpr std::array<FloatClass, 256> kFloatClasses = [] {
  std::array<FloatClass, 256> classes{};
  for (int byte = 0; byte < 256; ++byte) classes[byte] = float_class(static_cast<uint8_t>(byte));
  return classes;
}();

// The next state per state 0-9 and class sign, digit, exp, dot, apos, end; any other byte
// rejects from every state. One leading sign only (state 9 follows it): the exact reading
// refuses a second one, and the check must not accept what the reading refuses.
constexpr uint8_t kFloatStates[10][6] = {
    /* 0 */ {9, 1, kReject, 4, kReject, kReject},
    /* 1 */ {kReject, 1, 6, 5, 2, kAccept},
    /* 2 */ {kReject, 1, kReject, kReject, kReject, kAccept},
    /* 3 */ {kReject, 3, 6, kReject, 4, kAccept},
    /* 4 */ {kReject, 3, kReject, kReject, kReject, kAccept},
    /* 5 */ {kReject, 3, 6, kReject, kReject, kAccept},
    /* 6 */ {7, 8, kReject, kReject, kReject, kReject},
    /* 7 */ {kReject, 8, kReject, kReject, kReject, kReject},
    /* 8 */ {kReject, 8, kReject, kReject, kReject, kAccept},
    /* 9 */ {kReject, 1, kReject, 4, kReject, kReject},
};

// What one pass of the automaton over text found: its verdict, and whether the text holds a
// digit and an exponent.
struct FloatScan {
  bool accepted;
  bool digit;
  bool exponent;
};

FloatScan float_scan(std::span<const uint8_t> text) {
  uint8_t state = 0;
  bool digit = false;
  bool exponent = false;
  for (uint8_t byte : text) {
    FloatClass c = kFloatClasses[byte];
    if (c == kOther) return {false, digit, exponent};
    digit |= c == kDigit;
    exponent |= c == kExp;
    state = kFloatStates[state][c];
    if (state == kReject) return {false, digit, exponent};
  }
  return {kFloatStates[state][kEnd] == kAccept, digit, exponent};
}

// True for digits around one point and nothing else (at least one digit): the common shape,
// always valid float text. Each byte is tested on its own, with no state carried between them.
bool plain_decimal(std::span<const uint8_t> text) {
  size_t points = 0;
  bool other = false;
  for (uint8_t byte : text) {
    points += byte == '.';
    other |= static_cast<uint8_t>(byte - '0') > 9 && byte != '.';
  }
  return !other && points == 1 && text.size() >= 2;
}

}  // namespace

bool float_check(std::span<const uint8_t> text) { return float_scan(text).accepted; }

std::optional<double> checked_float_value(std::span<const uint8_t> text, int32_t exponent_adjustment) {
  if (text.size() > kMostFloatTextBytes || !float_check(text)) return std::nullopt;
  uint8_t bytes[kMostFloatTextBytes];
  size_t size = static_cast<size_t>(std::remove_copy(text.begin(), text.end(), bytes, '\'') - bytes);
  size_t unconsumed = 0;
  double value = decimal_text_to_double(std::span<const uint8_t>(bytes, size), exponent_adjustment, unconsumed);
  if (unconsumed != 0 || std::isinf(value)) return std::nullopt;
  return value;
}

bool float_text_valid(std::span<const uint8_t> text, int32_t exponent_adjustment) {
  if (text.size() > kMostFloatTextBytes) return false;
  if (text.size() <= kSafeFloatTextBytes && plain_decimal(text)) return true;
  FloatScan scan = float_scan(text);
  if (!scan.accepted) return false;
  if (text.size() > kSafeFloatTextBytes || scan.exponent)
    return checked_float_value(text, exponent_adjustment).has_value();
  return scan.digit;
}

}  // namespace qel
