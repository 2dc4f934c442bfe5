// float-check.cpp: the float check automaton and the exact reading of checked text.
#include "loader/float-check.h"

#include <algorithm>
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

// The next state per state 0-8 and class sign, digit, exp, dot, apos, end; any other byte
// rejects from every state.
constexpr uint8_t kFloatStates[9][6] = {
    /* 0 */ {0, 1, kReject, 4, kReject, kReject},
    /* 1 */ {kReject, 1, 6, 5, 2, kAccept},
    /* 2 */ {kReject, 1, kReject, kReject, kReject, kAccept},
    /* 3 */ {kReject, 3, 6, kReject, 4, kAccept},
    /* 4 */ {kReject, 3, kReject, kReject, kReject, kAccept},
    /* 5 */ {kReject, 3, 6, kReject, kReject, kAccept},
    /* 6 */ {7, 8, kReject, kReject, kReject, kReject},
    /* 7 */ {kReject, 8, kReject, kReject, kReject, kReject},
    /* 8 */ {kReject, 8, kReject, kReject, kReject, kAccept},
};

}  // namespace

bool float_check(std::span<const uint8_t> text) {
  uint8_t state = 0;
  for (uint8_t byte : text) {
    FloatClass c = float_class(byte);
    if (c == kOther) return false;
    state = kFloatStates[state][c];
    if (state == kReject) return false;
  }
  return kFloatStates[state][kEnd] == kAccept;
}

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
  // Without an exponent, fewer digits than a double's largest power of ten is always finite.
  constexpr size_t kSafeDigits = 300;
  if (text.size() > kMostFloatTextBytes || !float_check(text)) return false;
  auto is = [](uint8_t want) { return [want](uint8_t byte) { return (byte | 0x20) == want; }; };
  if (text.size() > kSafeDigits || std::any_of(text.begin(), text.end(), is('e')))
    return checked_float_value(text, exponent_adjustment).has_value();
  return std::any_of(text.begin(), text.end(), [](uint8_t byte) { return byte >= '0' && byte <= '9'; });
}

}  // namespace qel
