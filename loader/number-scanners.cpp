// number-scanners.cpp: integers and floats read from text of any unit.
#include "loader/number-scanners.h"

#include <bit>
#include <cstdint>
#include <span>
#include <string>

#include "loader/float-check.h"
#include "loader/money-text.h"

namespace qel {

namespace {

inline constexpr uint64_t kQuietNaN = 0x7FF8000000000000;
inline constexpr int64_t kLimit = int64_t{1} << 31;  // the magnitude of the smallest integer

// The integer scan over one unit type.
template <class U>
int32_t scan_integer_units(std::span<const U> text, int32_t& error) {
  size_t at = 0;
  bool negative = !text.empty() && text[0] == U('-');
  if (negative || (!text.empty() && text[0] == U('+'))) ++at;
  int64_t magnitude = 0;
  bool digits = false;
  for (; at < text.size(); ++at) {
    U unit = text[at];
    if (unit == U('\'')) continue;
    if (unit < U('0') || unit > U('9')) break;
    digits = true;
    magnitude = magnitude * 10 + (unit - U('0'));
    if (magnitude > kLimit) {
      error = kScanOutOfRange;
      return 0;
    }
  }
  if (!negative && magnitude == kLimit) {
    error = kScanOutOfRange;
    return 0;
  }
  if (!digits || at < text.size()) error = kScanMalformed;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

int32_t scan_integer(UnitText text, int32_t& error) {
  return visit_units(text, [&](auto units) { return scan_integer_units(units, error); });
}

double scan_float(UnitText text, int32_t& error) {
  if (text.length > kMostFloatTextBytes) {
    error = kScanMalformed;
    return std::bit_cast<double>(kQuietNaN);
  }
  uint8_t bytes[kMostFloatTextBytes];
  bool ascii = visit_units(text, [&](auto units) {
    for (size_t i = 0; i < units.size(); ++i) {
      if (units[i] > 0x7F) return false;
      bytes[i] = units[i] == ',' ? '.' : static_cast<uint8_t>(units[i]);
    }
    return true;
  });
  std::optional<double> value;
  if (ascii) value = checked_float_value(std::span<const uint8_t>(bytes, text.length), 0);
  if (!value) {
    error = kScanMalformed;
    return std::bit_cast<double>(kQuietNaN);
  }
  return *value;
}

void scan_money(UnitText text, Cell& money, int32_t& error) {
  std::u32string code_points;
  visit_units(text, [&](auto units) {
    for (auto unit : units) code_points.push_back(static_cast<char32_t>(unit));
  });
  std::optional<Cell> value = read_money_text(code_points, MoneyTextKind::string);
  if (value) money = *value;
  else error = kScanMalformed;
}

}  // namespace qel
