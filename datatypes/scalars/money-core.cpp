// money-core.cpp: the one unpack and pack between the BCD digits and 128-bit units, currencies,
// and the conversions from and to integers, doubles and text.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "datatypes/scalars/float-text.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/scalar-errors.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

uint8_t* amount_bytes(Cell& cell) { return reinterpret_cast<uint8_t*>(&cell) + 5; }
const uint8_t* amount_bytes(const Cell& cell) { return reinterpret_cast<const uint8_t*>(&cell) + 5; }

}  // namespace

namespace {

// The 22 digits as two halves of 11 digits, each worked in 64 bits: 128-bit division is slow.
inline constexpr uint64_t kHalfScale = 100000000000;  // 10^11

// A byte's two digits as a number.
constexpr uint64_t pair_value(uint8_t byte) { return (byte >> 4) * 10u + (byte & 15u); }
constexpr uint8_t pair_byte(uint64_t pair) { return static_cast<uint8_t>((pair / 10) << 4 | pair % 10); }

}  // namespace

// The first half is bytes 0-4 and the high digit of byte 5; the second the low digit of byte 5
// and bytes 6-10.
MoneyUnits money_units(const Cell& money) {
  const uint8_t* bytes = amount_bytes(money);
  uint64_t high = 0, low = bytes[5] & 15u;
  for (int k = 0; k < 5; ++k) high = high * 100 + pair_value(bytes[k]);
  for (int k = 6; k < 11; ++k) low = low * 100 + pair_value(bytes[k]);
  return MoneyUnits(high * 10 + (bytes[5] >> 4)) * kHalfScale + low;
}

bool money_negative_bit(const Cell& money) { return money.header & kMoneySignBit; }
int money_sign(const Cell& money) { return money_negative_bit(money) ? 1 : 0; }

Cell* money_set(Cell& cell, MoneyUnits units, bool negative, uint32_t currency) {
  cell.header = static_cast<uint32_t>(Type::money) | (negative ? kMoneySignBit : 0);
  cell.w1 = currency & 0xFF;
  cell.w2 = cell.w3 = 0;
  uint8_t* bytes = amount_bytes(cell);
  uint64_t high, low;
  if (units >> 64 == 0) {
    high = static_cast<uint64_t>(units) / kHalfScale;
    low = static_cast<uint64_t>(units) % kHalfScale;
  } else {
    high = static_cast<uint64_t>(units / kHalfScale);
    low = static_cast<uint64_t>(units - MoneyUnits(high) * kHalfScale);
  }
  for (int k = 10; k > 5; --k, low /= 100) bytes[k] = pair_byte(low % 100);
  bytes[5] = static_cast<uint8_t>((high % 10) << 4 | low);
  high /= 10;
  for (int k = 4; k >= 0; --k, high /= 100) bytes[k] = pair_byte(high % 100);
  return &cell;
}

Cell* money_make_at(Cell& cell, int sign, uint32_t currency, const uint8_t* amount) {
  cell.header = static_cast<uint32_t>(Type::money) | (sign ? kMoneySignBit : 0);
  cell.w1 = currency & 0xFF;
  std::memcpy(amount_bytes(cell), amount, kMoneyAmountBytes);
  return &cell;
}

Cell* money_push(int sign, uint32_t currency, const uint8_t* amount) {
  return money_make_at(*stack_push_cell(), sign, currency, amount);
}

int32_t money_sign_of(const Cell& money) {
  if (money_units(money) == 0) return 0;
  return money_negative_bit(money) ? -1 : 1;
}

// --- Currencies -------------------------------------------------------------------------------------

namespace {

int32_t find_currency_symbol(uint32_t symbol) {
  const Cell list = services().locale_currencies();
  if (!any_block_type(cell_type(list))) return -1;
  uint32_t canonical = symbol_canonical(symbol);
  const uint32_t length = series_buffer_length(list.w2);
  for (uint32_t i = list.w1; i < length && i - list.w1 < 255; ++i) {
    const Cell& entry = series_buffer(list.w2)->head_cell()[i];
    if (cell_type(entry) == Type::word && symbol_canonical(entry.w2) == canonical) return static_cast<int32_t>(i - list.w1 + 1);
  }
  return -1;
}

}  // namespace

int32_t money_find_currency(const Cell& word) { return find_currency_symbol(word.w2); }

Cell money_currency_word(uint32_t index) {
  const Cell list = services().locale_currencies();
  if (index == 0 || !any_block_type(cell_type(list)) || list.w1 + index > series_buffer_length(list.w2))
    return make_cell(Type::none);
  return series_buffer(list.w2)->head_cell()[list.w1 + index - 1];
}

// --- Conversions ----------------------------------------------------------------------------------------

Cell* money_from_integer(Cell& cell, int32_t value) {
  MoneyUnits magnitude = value < 0 ? MoneyUnits(-int64_t{value}) : MoneyUnits(value);
  return money_set(cell, magnitude * kMoneyUnitsPerWhole, value < 0, 0);
}

Cell* money_from_float(Cell& cell, double value) {
  FloatTextBuffer buffer;
  DoubleDigits digits = double_to_digits(value, 0, false, buffer);
  if (digits.point == kPointNotFinite || (digits.point != kPointZero && digits.point > kMoneyIntegerDigits)) {
    Cell number = make_cell(Type::float_);
    set_payload_f64(number, value);
    raise_error(error_id("script", "bad-make-arg"), datatype_cell(Type::money), number);
  }
  bool cut;
  MoneyUnits units = money_units_of_double(value, cut);
  return money_set(cell, units, digits.negative && units != 0, 0);
}

namespace {

MoneyUnits money_units_of_digits(double value, bool& cut) {
  FloatTextBuffer buffer;
  DoubleDigits digits = double_to_digits(value, 0, false, buffer);
  MoneyUnits units = 0;
  cut = false;
  if (digits.point == kPointZero) return 0;
  const int places = digits.point + kMoneyFractionDigits, count = static_cast<int>(digits.text.size());
  for (int place = 0; place < places; ++place) units = units * 10 + (place < count ? digits.text[place] - '0' : 0);
  cut = count > std::max(0, places);
  return units;
}

}  // namespace

// 0.d1d2... x 10^point in units of 0.00001: the first point + 5 digits, the rest cut off. The
// last double converted is remembered: scales and factors repeat in loops, and the shortest
// digits are the costly part.
MoneyUnits money_units_of_double(double value, bool& cut) {
  struct Remembered {
    uint64_t bits = 0;
    MoneyUnits units = 0;
    bool cut = false;
  };
  static Remembered last;
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  if (bits == last.bits && bits != 0) {
    cut = last.cut;
    return last.units;
  }
  MoneyUnits units = money_units_of_digits(value, cut);
  last = {bits, units, cut};
  return units;
}


double money_to_float(const Cell& money) {
  char text[24];
  MoneyUnits units = money_units(money);
  int n = 0;
  do text[sizeof text - 1 - n++] = static_cast<char>('0' + static_cast<int>(units % 10));
  while ((units /= 10) != 0);
  size_t unconsumed;
  double magnitude = decimal_text_to_double(std::string_view(text + sizeof text - n, n), -kMoneyFractionDigits, unconsumed);
  return money_negative_bit(money) ? -magnitude : magnitude;
}

int32_t money_to_integer(const Cell& money) {
  MoneyUnits whole = money_units(money) / kMoneyUnitsPerWhole;
  bool negative = money_negative_bit(money);
  if (whole > (negative ? MoneyUnits(2147483648u) : MoneyUnits(2147483647u))) raise_type_limit(Type::integer);
  int64_t value = static_cast<int64_t>(whole);
  return static_cast<int32_t>(negative ? -value : value);
}

std::optional<Cell> money_from_text_parts(bool negative, std::u32string_view currency, std::u32string_view whole,
                                          std::u32string_view fraction) {
  uint32_t index = 0;
  if (!currency.empty()) {
    std::string name;
    for (char32_t c : currency) name.push_back(static_cast<char>(c));
    int32_t found = find_currency_symbol(symbol_intern_bytes(name));
    if (found < 0) return std::nullopt;
    index = static_cast<uint32_t>(found);
  }
  while (!whole.empty() && whole.front() == U'0') whole.remove_prefix(1);
  if (whole.size() > kMoneyIntegerDigits) return std::nullopt;
  MoneyUnits units = 0;
  for (char32_t c : whole) units = units * 10 + (c - U'0');
  for (int place = 0; place < kMoneyFractionDigits; ++place)
    units = units * 10 + (place < static_cast<int>(fraction.size()) ? fraction[place] - U'0' : 0);
  Cell cell;
  money_set(cell, units, negative, index);
  return cell;
}

}  // namespace qel
