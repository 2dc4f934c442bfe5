// money.cpp: money! actions: arithmetic on exact units, compare with money and numbers, round,
// text, make and to, fields by path and pick, and random.
#include "datatypes/scalars/money.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/float-text.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/unset.h"
#include "datatypes/series/string-core.h"
#include "evaluator/random.h"
#include "loader/number-scanners.h"
#include "runtime/datatype-registry.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"
#include "runtime/value-hash.h"

namespace qel {

namespace {

using SignedUnits = __int128;

SignedUnits signed_units(const Cell& money) {
  SignedUnits units = static_cast<SignedUnits>(money_units(money));
  return money_negative_bit(money) ? -units : units;
}

[[noreturn]] void raise_money_limit() { raise_type_limit(Type::money); }

// Significant digits of an amount, at least 1.
int digit_count(MoneyUnits units) {
  int n = 1;
  for (MoneyUnits bound = 10; units >= bound && n < 38; bound *= 10) ++n;
  return n;
}

// Quotient and remainder in 64 bits when both operands fit: 128-bit division is slow.
MoneyUnits units_divide(MoneyUnits a, MoneyUnits b) {
  return (a | b) >> 64 == 0 ? MoneyUnits(static_cast<uint64_t>(a) / static_cast<uint64_t>(b)) : a / b;
}
MoneyUnits units_remainder(MoneyUnits a, MoneyUnits b) {
  return (a | b) >> 64 == 0 ? MoneyUnits(static_cast<uint64_t>(a) % static_cast<uint64_t>(b)) : a % b;
}

// An operand of the arithmetic: its units, sign and currency.
struct Amount {
  MoneyUnits units;
  bool negative;
  uint32_t currency;
  SignedUnits signed_units() const { return negative ? -static_cast<SignedUnits>(units) : static_cast<SignedUnits>(units); }
};

// A number or money! as an amount (a double by its shortest digits, as money! from float!
// takes it); script invalid-type (its datatype) for anything else.
Amount amount_of(const Cell& value) {
  switch (cell_type(value)) {
    case Type::money: return {money_units(value), money_negative_bit(value), money_currency(value)};
    case Type::integer: {
      int64_t n = integer_value(value);
      return {MoneyUnits(n < 0 ? -n : n) * kMoneyUnitsPerWhole, n < 0, 0};
    }
    case Type::float_:
    case Type::percent: {
      double x = float_value(value);
      Cell refused;
      if (!std::isfinite(x) || std::fabs(x) >= 1e17) money_from_float(refused, x);  // raises
      bool cut;
      MoneyUnits units = money_units_of_double(x, cut);
      return {units, x < 0 && units != 0, 0};
    }
    default: raise_invalid_type(value);
  }
}

// A number or money! as money!; script invalid-type (its datatype) for anything else.
Cell as_money(const Cell& value) {
  Cell money;
  switch (cell_type(value)) {
    case Type::money: return value;
    case Type::integer: return *money_from_integer(money, integer_value(value));
    case Type::float_:
    case Type::percent: return *money_from_float(money, float_value(value));
    default: raise_invalid_type(value);
  }
}

// The magnitude of a signed result, checked against the range.
Cell money_result(SignedUnits value, uint32_t currency) {
  MoneyUnits magnitude = static_cast<MoneyUnits>(value < 0 ? -value : value);
  if (magnitude >= kMoneyUnitsLimit) raise_money_limit();
  Cell cell;
  return *money_set(cell, magnitude, value < 0, currency);
}

// A product or quotient: never 0 unless an operand was, never beyond the range.
Cell scaled_result(MoneyUnits magnitude, bool negative, uint32_t currency) {
  if (magnitude == 0 || magnitude >= kMoneyUnitsLimit) raise_money_limit();
  Cell cell;
  return *money_set(cell, magnitude, negative, currency);
}

}  // namespace

// --- Arithmetic ---------------------------------------------------------------------------------------

void money_math(Cell& value1, Cell& value2, int32_t op) {
  bool left_money = cell_type(value1) == Type::money, right_money = cell_type(value2) == Type::money;
  if ((op == kOpMultiply && left_money && right_money) ||
      (!left_money && right_money && (op == kOpDivide || op == kOpRemainder)))
    raise_error(error_id("script", "invalid-type"), datatype_cell(Type::money));
  const Amount a = amount_of(value1), b = amount_of(value2);
  if (a.currency && b.currency && a.currency != b.currency)
    raise_error(error_id("script", "wrong-denom"), value1, value2);
  uint32_t currency = b.currency ? b.currency : a.currency;
  bool differ = a.negative != b.negative;
  Cell result;
  switch (op) {
    case kOpAdd: result = money_result(a.signed_units() + b.signed_units(), currency); break;
    case kOpSubtract: result = money_result(a.signed_units() - b.signed_units(), currency); break;
    case kOpMultiply:
      if (a.units == 0 || b.units == 0) {  // the zero operand, as it is
        money_set(result, 0, a.units == 0 ? a.negative : b.negative, currency);
        break;
      }
      if (digit_count(a.units) + digit_count(b.units) > 28) raise_money_limit();
      result = scaled_result(units_divide(a.units * b.units, kMoneyUnitsPerWhole), differ, currency);
      break;
    case kOpDivide:
      if (b.units == 0) raise_zero_divide();
      if (a.units == 0) money_set(result, 0, a.negative, currency);
      else result = scaled_result(units_divide(a.units * kMoneyUnitsPerWhole, b.units), differ, currency);
      if (left_money && right_money) {
        float_make_at(value1, money_to_float(result));
        return;
      }
      break;
    case kOpRemainder:
      if (b.units == 0) raise_zero_divide();
      money_set(result, units_remainder(a.units, b.units), a.negative, currency);
      break;
    default: raise_error(error_id("script", "cannot-use"), stack_caller_name(), datatype_cell(Type::money));
  }
  value1 = result;
}

namespace {

template <int32_t Op>
void money_action() {
  money_math(value_stack.base[0], value_stack.base[1], Op);
}

// --- Compare ---------------------------------------------------------------------------------------------

// The money against the exact decimal the double reads as (its shortest digits): -1, 0 or 1;
// doubles beyond the range and infinities by their sign.
int32_t order_against_double(const Cell& money, double x) {
  if (std::fabs(x) >= 1e17) return x > 0 ? -1 : 1;
  bool rest;
  MoneyUnits units = money_units_of_double(x, rest);
  SignedUnits truncated = x < 0 ? -static_cast<SignedUnits>(units) : static_cast<SignedUnits>(units);
  SignedUnits value = signed_units(money);
  if (value != truncated) return value < truncated ? -1 : 1;
  if (!rest) return 0;
  return x > 0 ? -1 : 1;  // x lies beyond its truncation, away from zero
}

int32_t order_of(const Cell& a, const Cell& b) {
  SignedUnits x = signed_units(a), y = signed_units(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

bool is_ordering_code(int32_t code) { return code >= kCompareLesser && code <= kCompareGreaterOrEqual; }

// The answer for an order under a code: equality codes answer 0 or 1.
int32_t answer(int32_t order, int32_t code) {
  if (is_ordering_code(code) || code == kCompareSort || code == kCompareSortCase) return order;
  return order == 0 ? 0 : 1;
}

// Two currency indexes under the sort: none first, then the codes by name.
int32_t currency_order(uint32_t a, uint32_t b) {
  if (a == b) return 0;
  if (!a || !b) return a ? 1 : -1;
  Cell word_a = money_currency_word(a), word_b = money_currency_word(b);
  std::string_view name_a = cell_type(word_a) == Type::word ? symbol_name(word_a.w2) : "";
  std::string_view name_b = cell_type(word_b) == Type::word ? symbol_name(word_b.w2) : "";
  return three_way(name_a.compare(name_b), 0);
}

int32_t compare_two_moneys(const Cell& a, const Cell& b, int32_t code) {
  uint32_t ca = money_currency(a), cb = money_currency(b);
  bool loose = !ca || !cb || ca == cb;
  if (code == kCompareSort || code == kCompareSortCase) {
    if (int32_t order = currency_order(ca, cb)) return order;
    return order_of(a, b);
  }
  if (is_ordering_code(code)) {
    if (!loose) raise_error(error_id("script", "wrong-denom"), a, b);
    return order_of(a, b);
  }
  bool strict = code == kCompareStrictEqual || code == kCompareSame || (code == kCompareFind && cb);
  if (strict ? ca != cb : !loose) return 1;
  return order_of(a, b) == 0 ? 0 : 1;
}

// The order answers of a NaN: every ordering test false.
int32_t nan_answer(int32_t code) {
  if (code == kCompareLesser || code == kCompareLesserOrEqual) return 1;
  if (code == kCompareGreater || code == kCompareGreaterOrEqual) return -1;
  return is_ordering_code(code) || code == kCompareSort || code == kCompareSortCase ? 0 : 1;
}

}  // namespace

int32_t money_compare(const Cell& money, const Cell& other, int32_t code) {
  Type type = cell_type(other);
  if ((is_strict_code(code) || code == kCompareSame) && type != Type::money) return 1;
  switch (type) {
    case Type::money: return compare_two_moneys(money, other, code);
    case Type::integer: {
      Cell converted;
      return answer(order_of(money, *money_from_integer(converted, integer_value(other))), code);
    }
    case Type::float_:
    case Type::percent: {
      double x = float_value(other);
      if (x != x) return nan_answer(code);
      return answer(order_against_double(money, x), code);
    }
    default: return kNotComparable;
  }
}

int32_t money_compare_reversed(const Cell& number, const Cell& money, int32_t code) {
  if (is_strict_code(code) || code == kCompareSame) return 1;
  if (cell_type(number) == Type::integer) {
    Cell converted;
    return answer(order_of(*money_from_integer(converted, integer_value(number)), money), code);
  }
  double x = float_value(number);
  if (x != x) return nan_answer(code);
  return answer(-order_against_double(money, x), code);
}

namespace {

// --- round -------------------------------------------------------------------------------------------

// The value rounded to a multiple of the scale's magnitude (money, or an integer! or float!
// taken as money; 1 without one); script not-related for another scale.
void money_round(Cell& value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
                 bool half_ceiling) {
  MoneyUnits s = kMoneyUnitsPerWhole;
  if (scale) {
    Type type = cell_type(*scale);
    if (type != Type::money && type != Type::integer && type != Type::float_) raise_not_related_to_caller(type);
    s = amount_of(*scale).units;
  }
  MoneyUnits a = money_units(value);
  if (s == 0 || a == 0) return;
  MoneyUnits r = units_remainder(a, s);
  if (r == 0) return;
  bool positive = !money_negative_bit(value);
  bool tie = r == s - r;
  enum { kDown, kUp } move = r >= s - r ? kUp : kDown;  // nearest: a tie goes away from zero
  if (down) move = kDown;
  else if (floor) move = positive ? kDown : kUp;
  else if (ceiling) move = positive ? kUp : kDown;
  else if (even && tie) move = units_divide(a, s) % 2 == 0 ? kDown : kUp;
  else if (half_down && tie) move = kDown;
  else if (half_ceiling && tie) move = positive ? kUp : kDown;
  MoneyUnits rounded = move == kDown ? a - r : a + (s - r);
  if (rounded >= kMoneyUnitsLimit) raise_money_limit();
  money_set(value, rounded, !positive, money_currency(value));
}

// --- Text ------------------------------------------------------------------------------------------------

// The fraction digits shown: money-digits when it is an integer! (0 to 5), else 2; all five
// with /all.
int fraction_digits(bool all) {
  if (all) return kMoneyFractionDigits;
  const Cell digits = services().money_digits();
  if (cell_type(digits) != Type::integer) return 2;
  return std::clamp(integer_value(digits), 0, kMoneyFractionDigits);
}

// "-", the currency code, "$", the whole part (grouped by "'" in threes for form) and the cut
// fraction.
int32_t money_output(const Cell& money, Cell& output, bool all, bool grouping, int32_t budget) {
  std::string text;
  if (money_negative(money)) text += '-';
  if (uint32_t currency = money_currency(money)) {
    Cell word = money_currency_word(currency);
    if (cell_type(word) == Type::word) text += symbol_name(word.w2);
  }
  text += '$';
  MoneyUnits units = money_units(money);
  std::string whole;
  MoneyUnits integer_part = units / kMoneyUnitsPerWhole;
  do whole.insert(whole.begin(), static_cast<char>('0' + static_cast<int>(integer_part % 10)));
  while ((integer_part /= 10) != 0);
  for (size_t i = 0; i < whole.size(); ++i) {
    text += whole[i];
    size_t left = whole.size() - 1 - i;
    if (grouping && left > 0 && left % 3 == 0) text += '\'';
  }
  int shown = fraction_digits(all);
  if (shown > 0) {
    unsigned fraction = static_cast<unsigned>(units % kMoneyUnitsPerWhole);
    char digits[kMoneyFractionDigits];
    for (int i = kMoneyFractionDigits - 1; i >= 0; --i, fraction /= 10) digits[i] = static_cast<char>('0' + fraction % 10);
    text += '.';
    text.append(digits, static_cast<size_t>(shown));
  }
  return output_text(output, text, budget);
}

int32_t money_form(const Cell& money, Cell& output, bool, int32_t budget) {
  return money_output(money, output, false, true, budget);
}

int32_t money_mold(const Cell& money, Cell& output, bool, bool all, bool, bool, int32_t budget, int32_t) {
  return money_output(money, output, all, false, budget);
}

// --- make and to ---------------------------------------------------------------------------------------

[[noreturn]] void raise_bad_make_arg(const Cell& value) {
  raise_error(error_id("script", "bad-make-arg"), datatype_cell(Type::money), value);
}

// [currency] amount [units of 0.00001]: a known currency word never last; an integer! or float!
// amount; after an integer! amount an integer! 0-99999 added with the amount's sign.
Cell money_from_block(const Cell& block) {
  const uint32_t length = series_buffer_length(block.w2);
  const uint32_t count = block.w1 < length ? length - block.w1 : 0;
  if (count < 1 || count > 3) raise_bad_make_arg(block);
  const Cell* items = series_buffer(block.w2)->head_cell() + block.w1;
  uint32_t at = 0, currency = 0;
  if (cell_type(items[0]) == Type::word) {
    int32_t found = money_find_currency(items[0]);
    if (found < 0 || count == 1) raise_bad_make_arg(block);
    currency = static_cast<uint32_t>(found);
    ++at;
  }
  Type amount_type = cell_type(items[at]);
  if (amount_type != Type::integer && amount_type != Type::float_) raise_bad_make_arg(block);
  Cell money = as_money(items[at++]);
  if (at < count) {
    if (amount_type != Type::integer || cell_type(items[at]) != Type::integer) raise_bad_make_arg(block);
    int32_t extra = integer_value(items[at++]);
    if (extra < 0 || extra > 99999) raise_bad_make_arg(block);
    MoneyUnits units = money_units(money) + static_cast<MoneyUnits>(extra);
    if (units >= kMoneyUnitsLimit) raise_bad_make_arg(block);
    money_set(money, units, money_negative_bit(money), 0);
  }
  if (at < count) raise_bad_make_arg(block);
  money_set_currency(money, currency);
  return money;
}

Cell money_from_text(const Cell& text) {
  Cell money;
  int32_t error = 0;
  scan_money(string_text(text), money, error);
  if (error) raise_bad_to_arg(Type::money, text);
  return money;
}

Cell* money_to(Cell& type, Cell& spec, Type) {
  switch (cell_type(spec)) {
    case Type::money:
    case Type::integer:
    case Type::float_:
    case Type::percent: type = as_money(spec); return &type;
    default:
      if (is_text_type(cell_type(spec))) {
        type = money_from_text(spec);
        return &type;
      }
      raise_bad_to_arg(Type::money, spec);
  }
}

Cell* money_make(Cell& type, Cell& spec, Type type_id) {
  switch (cell_type(spec)) {
    case Type::word: {
      int32_t found = money_find_currency(spec);
      if (found < 0) raise_bad_make_arg(spec);
      return money_set(type, 0, false, static_cast<uint32_t>(found));
    }
    case Type::block:
      type = money_from_block(spec);
      return &type;
    default: return money_to(type, spec, type_id);
  }
}

// --- Fields by path and pick ---------------------------------------------------------------------

// 1 or code: the currency word (none without one); 2 or amount: the value without currency.
int32_t money_field_number(const Cell& element) {
  if (cell_type(element) == Type::integer) {
    int32_t n = integer_value(element);
    return n == 1 || n == 2 ? n : 0;
  }
  if (cell_type(element) != Type::word) return 0;
  uint32_t symbol = symbol_canonical(element.w2);
  if (symbol == symbol_canonical(sym_code)) return 1;
  if (symbol == symbol_canonical(sym_amount)) return 2;
  return 0;
}

Cell money_field(const Cell& money, int32_t field) {
  if (field == 1) return money_currency(money) ? money_currency_word(money_currency(money)) : kNoneCell;
  Cell amount = money;
  money_set_currency(amount, 0);
  return amount;
}

Cell* money_path_step(Cell& money, Cell& element, Cell* new_value, const PathStep& step) {
  int32_t field = money_field_number(element);
  const Cell& path = step.path ? *step.path : money;
  if (!field) raise_error(error_id("script", "invalid-path"), path, element);
  if (new_value) raise_error(error_id("script", "bad-path-set"), path, element);
  money = money_field(money, field);
  return &money;
}

Cell* money_pick(Cell& money, int32_t, Cell& index) {
  int32_t field = money_field_number(index);
  if (!field) raise_error(error_id("script", "out-of-range"), index);
  money = money_field(money, field);
  return &money;
}

// --- The other actions ----------------------------------------------------------------------------------

void money_absolute() { value_stack.base->header &= ~kMoneySignBit; }
void money_negate(Cell& money) { money.header ^= kMoneySignBit; }

bool money_odd(const Cell& money) { return (money_units(money) / kMoneyUnitsPerWhole) % 2 != 0; }
bool money_even(const Cell& money) { return !money_odd(money); }

// /seed seeds the generator from the cell; else each digit from the first significant one is
// drawn below or at the value's digit there, and once one falls below, the rest freely.
void money_random(Cell& money, bool seed, bool, bool) {
  if (seed) {
    random_seed(static_cast<int32_t>(money.w1 ^ money.w2 ^ money.w3 ^ static_cast<uint32_t>(money_sign(money))));
    money = kUnsetCell;
    return;
  }
  MoneyUnits units = money_units(money);
  std::string digits;
  do digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(units % 10)));
  while ((units /= 10) != 0);
  bool bounded = true;
  MoneyUnits drawn = 0;
  for (char c : digits) {
    int bound = c - '0', digit;
    if (!bounded) {
      digit = static_cast<int>(static_cast<uint32_t>(random_next()) % 10);
    } else {
      for (;;) {
        digit = static_cast<int>(static_cast<uint32_t>(random_next()) % static_cast<uint32_t>(bound + 1));
        if (digit < bound) break;
        if (static_cast<uint32_t>(random_next()) % 1000 == static_cast<uint32_t>(random_next()) % 1000) break;
      }
      bounded = digit == bound;
    }
    drawn = drawn * 10 + static_cast<MoneyUnits>(digit);
  }
  money_set(money, drawn, money_negative_bit(money), money_currency(money));
}

// What the hash sees: the type, the sign of a nonzero amount and the amount, so values equal
// under the loose compare hash alike.
Cell money_hash_normal(const Cell& money) {
  Cell normal;
  return *money_set(normal, money_units(money), money_negative(money), 0);
}

int32_t money_compare_action(const Cell& money, const Cell& other, int32_t code) {
  return money_compare(money, other, code);
}

}  // namespace

void register_money_datatype() {
  set_money_hash_normaliser(money_hash_normal);
  register_datatype(Type::money, Type::none_id, "money!",
                    ActionRow()
                        .set<Act::Make>(money_make)
                        .set<Act::Random>(money_random)
                        .set<Act::To>(money_to)
                        .set<Act::Form>(money_form)
                        .set<Act::Mold>(money_mold)
                        .set<Act::PathStep>(money_path_step)
                        .set<Act::Compare>(money_compare_action)
                        .set<Act::Absolute>(money_absolute)
                        .set<Act::Add>(money_action<kOpAdd>)
                        .set<Act::Divide>(money_action<kOpDivide>)
                        .set<Act::Multiply>(money_action<kOpMultiply>)
                        .set<Act::Negate>(money_negate)
                        .set<Act::Remainder>(money_action<kOpRemainder>)
                        .set<Act::Round>(money_round)
                        .set<Act::Subtract>(money_action<kOpSubtract>)
                        .set<Act::EvenQ>(money_even)
                        .set<Act::OddQ>(money_odd)
                        .set<Act::Pick>(money_pick));
}

}  // namespace qel
