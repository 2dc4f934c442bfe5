// time.cpp: time! actions: conversions, text, fields by path and pick, and the arithmetic that
// float! does with time-specific result types.
#include "datatypes/scalars/time.h"

#include <cmath>

#include "datatypes/scalars/date.h"
#include "datatypes/scalars/float-text.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/string-core.h"
#include "evaluator/path-write-back.h"
#include "loader/lexer/single-value-scan.h"
#include "runtime/datatype-registry.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"

namespace qel {

// --- Fields ------------------------------------------------------------------------------------------

int32_t time_field_number(const Cell& element) {
  if (cell_type(element) == Type::integer) {
    int32_t n = integer_value(element);
    return n >= kTimeHour && n <= kTimeSecond ? n : 0;
  }
  if (cell_type(element) != Type::word) return 0;
  uint32_t symbol = symbol_canonical(element.w2);
  if (symbol == symbol_canonical(sym_hour)) return kTimeHour;
  if (symbol == symbol_canonical(sym_minute)) return kTimeMinute;
  if (symbol == symbol_canonical(sym_second)) return kTimeSecond;
  return 0;
}

namespace {

double hour_split(double t) { return std::trunc(t / kSecondsPerHour); }
double minute_split(double t) { return std::floor(std::fmod(std::fabs(t), kSecondsPerHour) / kSecondsPerMinute); }
double second_split(double t) { return std::fmod(t, kSecondsPerMinute); }

// A whole double as an integer!; script type-limit beyond 32 bits.
Cell whole_integer(double whole) {
  if (double_out_of_int_range(whole)) raise_type_limit(Type::integer);
  Cell cell;
  integer_make_at(cell, static_cast<int32_t>(whole));
  return cell;
}

}  // namespace

Cell time_field_value(double t, int32_t field) {
  Cell cell;
  switch (field) {
    case kTimeHour: return whole_integer(hour_split(t));
    case kTimeMinute: return whole_integer(minute_split(t));
    default: float_make_at(cell, second_split(t)); return cell;
  }
}

// The field moves by the difference between its new value and what get reads, in the field's
// unit; a minute counts toward t's sign, as get splits the minutes off |t|.
double time_with_field(double t, int32_t field, const Cell& value) {
  Type type = cell_type(value);
  bool whole = type == Type::integer;
  if (!whole && !(field == kTimeSecond && type == Type::float_))
    raise_error(error_id("script", "invalid-arg"), value);
  double v = whole ? integer_value(value) : float_value(value);
  switch (field) {
    case kTimeHour: return t - (hour_split(t) - v) * kSecondsPerHour;
    case kTimeMinute: return t - (minute_split(t) - v) * (t < 0 ? -kSecondsPerMinute : kSecondsPerMinute);
    default: return t - (second_split(t) - v);
  }
}

// --- Text --------------------------------------------------------------------------------------------

namespace {

// Up to "59.99999" and a leading zero: the seconds field.
struct SecondsText {
  char chars[16];
  size_t length = 0;
  void add(char c) { chars[length++] = c; }
  std::string_view view() const { return {chars, length}; }
};

// The seconds field of s (0 <= s < 60) to six significant digits, "00" below 1e-6; true when the
// digits round up to a whole minute (the field then reads "00").
bool seconds_field(double s, SecondsText& text) {
  FloatTextBuffer buffer;
  DoubleDigits digits = s < 1e-6 ? DoubleDigits{} : double_to_digits(s, 6, false, buffer);
  bool carry = digits.point == 2 && digits.text == "6";
  if (s < 1e-6 || carry) {
    text.add('0');
    text.add('0');
    return carry;
  }
  SecondsText plain;
  if (digits.point <= 0) {
    plain.add('0');
    plain.add('.');
    for (int i = digits.point; i < 0; ++i) plain.add('0');
    for (char c : digits.text) plain.add(c);
  } else {
    for (int i = 0; i < digits.point; ++i) plain.add(i < static_cast<int>(digits.text.size()) ? digits.text[i] : '0');
    if (digits.text.size() > static_cast<size_t>(digits.point)) {
      plain.add('.');
      for (char c : digits.text.substr(digits.point)) plain.add(c);
    }
  }
  if (plain.length == 1 || plain.chars[1] == '.') text.add('0');
  for (char c : plain.view()) text.add(c);
  return false;
}

}  // namespace

int32_t time_output_text(double t, Cell& output, int32_t budget) {
  if (!std::isfinite(t)) {
    FloatTextBuffer special;
    return output_text(output, double_to_digits(t, 0, false, special).text, budget);
  }
  if (t < 0) series_append_ascii(output.w2, "-");
  double a = std::fabs(t);
  double hours = std::floor(a / kSecondsPerHour);
  int minutes = static_cast<int>(std::floor(std::fmod(a, kSecondsPerHour) / kSecondsPerMinute));
  SecondsText seconds;
  if (seconds_field(std::fmod(a, kSecondsPerMinute), seconds) && ++minutes == 60) {
    minutes = 0;
    hours += 1.0;
  }
  WholeDigitsBuffer hour_digits;
  budget = output_text(output, whole_double_digits(hours, hour_digits), budget);
  const char minute_text[] = {':', static_cast<char>('0' + minutes / 10), static_cast<char>('0' + minutes % 10), ':'};
  budget = output_text(output, {minute_text, sizeof minute_text}, budget);
  return output_text(output, seconds.view(), budget);
}

double time_checked_result(double result, double divisor, int32_t op) {
  if (std::isfinite(result)) return result;
  if ((op == kOpDivide || op == kOpRemainder) && divisor == 0.0) raise_zero_divide();
  raise_math_overflow();
}

namespace {

int32_t time_form(const Cell& value, Cell& output, bool, int32_t budget) {
  return time_output_text(time_value(value), output, budget);
}

int32_t time_mold(const Cell& value, Cell& output, bool, bool, bool, bool, int32_t budget, int32_t) {
  return time_form(value, output, false, budget);
}

// --- make and to -------------------------------------------------------------------------------------

// Seconds from a finite number; script bad-to-arg (time!, spec) otherwise.
double finite_seconds(double seconds, const Cell& spec) {
  if (!std::isfinite(seconds)) raise_bad_to_arg(Type::time, spec);
  return seconds;
}

// [hours minutes seconds], each optional from the right: hours and minutes integer!, seconds
// integer! or float!; negative hours make the whole time negative.
double seconds_from_block(const Cell& block) {
  uint32_t length = series_buffer_length(block.w2);
  uint32_t count = block.w1 < length ? length - block.w1 : 0;
  if (count > 3) raise_bad_to_arg(Type::time, block);
  const Cell* cells = series_buffer(block.w2)->head_cell() + block.w1;
  double fields[3] = {0, 0, 0};
  for (uint32_t i = 0; i < count; ++i) {
    Type type = cell_type(cells[i]);
    if (type != Type::integer && !(i == 2 && type == Type::float_)) raise_bad_to_arg(Type::time, block);
    fields[i] = type == Type::integer ? integer_value(cells[i]) : float_value(cells[i]);
    if (i > 0 && !(fields[i] >= 0)) raise_bad_to_arg(Type::time, block);
  }
  double magnitude = std::fabs(fields[0]) * kSecondsPerHour + fields[1] * kSecondsPerMinute + fields[2];
  return finite_seconds(fields[0] < 0 ? -magnitude : magnitude, block);
}

Cell* time_make_to(Cell& type, Cell& spec, Type) {
  switch (cell_type(spec)) {
    case Type::time:
      return time_make_at(type, time_value(spec));
    case Type::integer:
      return time_make_at(type, integer_value(spec));
    case Type::float_:
    case Type::percent:
      return time_make_at(type, finite_seconds(float_value(spec), spec));
    case Type::block:
    case Type::paren:
    case Type::hash:
      return time_make_at(type, seconds_from_block(spec));
    default:
      if (is_text_type(cell_type(spec))) {
        const Cell value = scan_single_value_as(spec, Type::time);
        if (cell_type(value) == Type::time) return time_make_at(type, time_value(value));
      }
      raise_bad_to_arg(Type::time, spec);
  }
}

// --- Fields by path and pick ----------------------------------------------------------------------

Cell* time_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  int32_t field = time_field_number(element);
  if (!field) raise_error(error_id("script", "invalid-path"), step.path ? *step.path : value, element);
  if (!new_value) {
    value = time_field_value(time_value(value), field);
    return &value;
  }
  time_make_at(value, time_with_field(time_value(value), field, *new_value));
  path_write_back(value, field, step);
  return new_value;
}

Cell* time_pick(Cell& value, int32_t, Cell& index) {
  int32_t field = time_field_number(index);
  if (!field) raise_error(error_id("script", "out-of-range"), index);
  value = time_field_value(time_value(value), field);
  return &value;
}

// --- Arithmetic ------------------------------------------------------------------------------------

// add, subtract, multiply and divide: the float arithmetic, which types the result; a date!
// adds the time to itself; a time! cannot multiply a time!, nor have a date! subtracted from it.
template <int32_t Op>
void time_arithmetic() {
  Cell* base = value_stack.base;
  Type other = cell_type(base[1]);
  if ((Op == kOpMultiply && other == Type::time) || (Op == kOpSubtract && other == Type::date)) raise_not_related_to_caller(Type::time);
  if (other == Type::date) return date_math_swapped(base[0], base[1], Op);
  float_arithmetic(base[0], base[1], Op);
}

// round: the float round on the seconds; the result stays a time!.
void time_round(Cell& n, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
                bool half_ceiling) {
  Cell seconds;
  float_make_at(seconds, time_value(n));
  Cell float_scale;
  if (scale) {
    Type type = cell_type(*scale);
    if (type == Type::money) raise_not_related_to_caller(type);
    if (type != Type::integer && type != Type::float_ && type != Type::percent && type != Type::time)
      raise_invalid_type(*scale);
    float_make_at(float_scale, type == Type::integer ? integer_value(*scale) : float_value(*scale));
  }
  float_round(seconds, scale ? &float_scale : nullptr, RoundMode{even, down, half_down, floor, ceiling, half_ceiling});
  time_make_at(n, float_value(seconds));
}

// The whole seconds of the time's seconds field, after a nudge of 1e-6 away from zero.
bool time_odd(const Cell& value) {
  double t = time_value(value);
  t += t < 0 ? -1e-6 : 1e-6;
  return static_cast<int64_t>(std::trunc(std::fmod(t, kSecondsPerMinute))) & 1;
}
bool time_even(const Cell& value) { return !time_odd(value); }

}  // namespace

void register_time_datatype() {
  ActionRow row;
  row.inherit<Act::Random>().inherit<Act::Compare>().inherit<Act::Absolute>().inherit<Act::Negate>();
  row.inherit<Act::Remainder>();
  register_datatype(Type::time, Type::float_, "time!",
                    row.set<Act::Make>(time_make_to)
                        .set<Act::To>(time_make_to)
                        .set<Act::Form>(time_form)
                        .set<Act::Mold>(time_mold)
                        .set<Act::PathStep>(time_path_step)
                        .set<Act::Add>(time_arithmetic<kOpAdd>)
                        .set<Act::Divide>(time_arithmetic<kOpDivide>)
                        .set<Act::Multiply>(time_arithmetic<kOpMultiply>)
                        .set<Act::Round>(time_round)
                        .set<Act::Subtract>(time_arithmetic<kOpSubtract>)
                        .set<Act::EvenQ>(time_even)
                        .set<Act::OddQ>(time_odd)
                        .set<Act::Pick>(time_pick));
}

}  // namespace qel
