// date.cpp: date! actions: the fields by path and pick, make and to, text, compare,
// arithmetic and random.
#include "datatypes/scalars/date.h"

#include <array>
#include <charconv>
#include <cmath>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/time.h"
#include "datatypes/scalars/unset.h"
#include "datatypes/series/string-core.h"
#include "evaluator/path-write-back.h"
#include "evaluator/random.h"
#include "runtime/datatype-registry.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// --- Fields -------------------------------------------------------------------------------------------

enum DateField : int32_t {
  kFieldDate = 1, kFieldYear, kFieldMonth, kFieldDay, kFieldZone, kFieldTime, kFieldHour, kFieldMinute,
  kFieldSecond, kFieldWeekday, kFieldYearday, kFieldTimezone, kFieldWeek, kFieldIsoweek,
};
inline constexpr int32_t kFieldCount = 14;

struct FieldWord {
  const uint32_t* symbol;
  int32_t field;
};
const FieldWord kFieldWords[] = {
    {&sym_date, kFieldDate},       {&sym_year, kFieldYear},         {&sym_month, kFieldMonth},
    {&sym_day, kFieldDay},         {&sym_zone, kFieldZone},         {&sym_time, kFieldTime},
    {&sym_hour, kFieldHour},       {&sym_minute, kFieldMinute},     {&sym_second, kFieldSecond},
    {&sym_weekday, kFieldWeekday}, {&sym_yearday, kFieldYearday},   {&sym_julian, kFieldYearday},
    {&sym_timezone, kFieldTimezone}, {&sym_week, kFieldWeek},       {&sym_isoweek, kFieldIsoweek},
};

// The field an integer! 1-14 or a field word names; 0 for anything else.
int32_t date_field_number(const Cell& element) {
  if (cell_type(element) == Type::integer) {
    int32_t n = integer_value(element);
    return n >= 1 && n <= kFieldCount ? n : 0;
  }
  if (!is_word_type(cell_type(element))) return 0;
  for (const FieldWord& entry : kFieldWords)  // the spelling itself first: no lookups
    if (*entry.symbol == element.w2) return entry.field;
  uint32_t symbol = symbol_canonical(element.w2);
  for (const FieldWord& entry : kFieldWords)
    if (symbol_canonical(*entry.symbol) == symbol) return entry.field;
  return 0;
}

double local_time_of_day(const Cell& date) { return date_time(date) + date_zone_seconds(date); }

Cell integer_of(int64_t value) {
  Cell cell;
  integer_make_at(cell, static_cast<int32_t>(value));
  return cell;
}

Cell time_of(double seconds) {
  Cell cell;
  time_make_at(cell, seconds);
  return cell;
}

// Sunday-based week number: week 1 holds 1 January.
int64_t sunday_week(uint32_t word) {
  int64_t start = date_year_start(date_year(word));
  int64_t first = floor_mod(start + 3, 7);  // 1 January's weekday, Sunday 0
  int64_t yearday = date_to_days(word) - start + 1;
  return yearday > 7 - first ? (yearday + first - 1) / 7 + 1 : 1;
}

int64_t iso_week(uint32_t word) {
  int64_t year = date_year(word);
  int64_t days = date_to_days(word);
  int32_t first_weekday;
  int64_t start = date_iso_week_one(year, first_weekday);
  if (days < start) {  // the last week of the previous year
    if (first_weekday == 5) return 53;
    if (first_weekday == 6) return leap_year(year - 1) ? 53 : 52;
    return 52;
  }
  int32_t next_weekday;
  return days < date_iso_week_one(year + 1, next_weekday) ? (days - start) / 7 + 1 : 1;
}

Cell date_get_field(const Cell& date, int32_t field) {
  uint32_t word = date.w1;
  bool timed = date_has_time(word);
  switch (field) {
    case kFieldDate: {
      Cell plain;
      return *date_set(plain, word & ~(kDateTimeFlag | kDateZoneBits), 0.0);
    }
    case kFieldYear: return integer_of(date_year(word));
    case kFieldMonth: return integer_of(date_month(word));
    case kFieldDay: return integer_of(date_day(word));
    case kFieldZone:
    case kFieldTimezone: return timed ? time_of(date_zone_seconds(date)) : kNoneCell;
    case kFieldTime: return timed ? time_of(local_time_of_day(date)) : kNoneCell;
    case kFieldHour: return time_field_value(local_time_of_day(date), kTimeHour);
    case kFieldMinute: return time_field_value(local_time_of_day(date), kTimeMinute);
    case kFieldSecond: return time_field_value(local_time_of_day(date), kTimeSecond);
    case kFieldWeekday: return integer_of(weekday_of_days(date_to_days(word)));
    case kFieldYearday: return integer_of(date_to_days(word) - date_year_start(date_year(word)) + 1);
    case kFieldWeek: return integer_of(sunday_week(word));
    default: return integer_of(iso_week(word));
  }
}

// --- Setting fields -----------------------------------------------------------------------------------

// Repacks the date on a new day number, keeping zone, time flag and time; script out-of-range
// (the value) outside the year range.
void set_days(Cell& date, int64_t days, const Cell& value) {
  std::optional<uint32_t> word = days_to_date(days, date_zone(date.w1), date_has_time(date.w1));
  if (!word) raise_date_limit(DateLimit::out_of_range, value);
  date.w1 = *word;
}

// The day number of (year, month, day) with the month carried into the years.
int64_t days_with_month(int64_t year, int64_t month, int64_t day) {
  int64_t carried = floor_div(month - 1, 12);
  return civil_to_days(year + carried, static_cast<int32_t>(floor_mod(month - 1, 12) + 1), day);
}

// A zone value: an integer! of hours or a time!; the zone takes the whole value's sign and a
// magnitude up to 15:45 (minutes cut to quarter hours). none beyond that.
std::optional<uint32_t> zone_of_value(const Cell& value) {
  double seconds;
  if (cell_type(value) == Type::integer) seconds = integer_value(value) * 3600.0;
  else if (cell_type(value) == Type::time) seconds = time_value(value);
  else return std::nullopt;
  double magnitude = std::fabs(seconds);
  if (!(magnitude < 16 * 3600.0)) return std::nullopt;
  int64_t hours = static_cast<int64_t>(magnitude / 3600.0);
  int64_t minutes = static_cast<int64_t>(std::fmod(magnitude, 3600.0) / 60.0);
  return date_zone_bits(seconds < 0, hours, minutes);
}

// zone (keep_instant false) keeps the local clock time; timezone keeps the instant, and the
// local date and time follow the new zone.
void set_zone(Cell& date, const Cell& value, bool keep_instant) {
  std::optional<uint32_t> zone = zone_of_value(value);
  if (!zone) raise_error(error_id("script", "invalid-arg"), value);
  double local = local_time_of_day(date);
  date.w1 = (date.w1 & ~kDateZoneBits) | kDateTimeFlag | *zone;
  if (keep_instant) date_normalize(date, date_time(date), false, DateLimit::out_of_range, value);
  else date_set(date, date.w1, local - date_zone_offset(*zone));
}

void require_integer(const Cell& value) {
  if (cell_type(value) != Type::integer) raise_error(error_id("script", "invalid-arg"), value);
}

void date_set_field(Cell& date, int32_t field, const Cell& value) {
  uint32_t word = date.w1;
  int64_t year = date_year(word);
  int64_t v = integer_value(value);
  switch (field) {
    case kFieldDate:
      if (cell_type(value) != Type::date) raise_error(error_id("script", "invalid-arg"), value);
      date.w1 = (value.w1 & ~(kDateTimeFlag | kDateZoneBits)) | (word & (kDateTimeFlag | kDateZoneBits));
      return;
    case kFieldZone:
    case kFieldTimezone:
      set_zone(date, value, field == kFieldTimezone);
      return;
    case kFieldTime:
      if (cell_type(value) == Type::none) {
        date_set(date, word & ~(kDateTimeFlag | kDateZoneBits), 0.0);
        return;
      }
      if (cell_type(value) != Type::time) raise_error(error_id("script", "invalid-arg"), value);
      date.w1 |= kDateTimeFlag;
      date_normalize(date, time_value(value), true, DateLimit::out_of_range, value);
      return;
    case kFieldHour:
    case kFieldMinute:
    case kFieldSecond: {
      double local = time_with_field(local_time_of_day(date), field - kFieldHour + kTimeHour, value);
      date.w1 |= kDateTimeFlag;
      date_normalize(date, local, true, DateLimit::out_of_range, value);
      return;
    }
    default: break;
  }
  require_integer(value);
  int64_t days;
  switch (field) {
    case kFieldYear: days = days_with_month(v, date_month(word), date_day(word)); break;
    case kFieldMonth: days = days_with_month(year, v, date_day(word)); break;
    case kFieldDay: days = days_with_month(year, date_month(word), 0) + v; break;
    case kFieldWeekday: days = date_to_days(word) - (weekday_of_days(date_to_days(word)) - 1) + v - 1; break;
    case kFieldYearday: days = date_year_start(year) + v - 1; break;
    case kFieldWeek: {
      int64_t start = date_year_start(year);
      days = v > 1 ? start + 7 * v - floor_mod(start + 3, 7) - 7 : start;
      break;
    }
    default: {
      int32_t weekday;
      days = date_iso_week_one(year, weekday) + 7 * v - 7;
    }
  }
  set_days(date, days, value);
}

Cell* date_path_step(Cell& date, Cell& element, Cell* new_value, const PathStep& step) {
  int32_t field = date_field_number(element);
  if (!field) raise_error(error_id("script", "invalid-path"), step.path ? *step.path : date, element);
  if (!new_value) {
    date = date_get_field(date, field);
    return &date;
  }
  Cell changed = date;
  date_set_field(changed, field, *new_value);
  date = changed;
  path_write_back(changed, field, step);
  return new_value;
}

Cell* date_pick(Cell& date, int32_t, Cell& index) {
  int32_t field = date_field_number(index);
  if (!field) raise_error(error_id("script", "out-of-range"), index);
  date = date_get_field(date, field);
  return &date;
}

// --- make and to ---------------------------------------------------------------------------------

// Where each item of the block form goes, by the walk's state and the item's type.
enum Slot : uint8_t { kN1, kN2, kN3, kHour, kTime, kZoneHours, kZoneTime, kZoneMinutes, kMinute, kSecond, kFraction };
struct BlockMove {
  int8_t next;  // -1: no transition
  Slot slot;
};
struct BlockState {
  BlockMove on_integer, on_time, on_float;
};
constexpr BlockMove kNoMove{-1, kN1};
constexpr BlockState kBlockStates[] = {
    /* 0 */ {{1, kN1}, kNoMove, kNoMove},
    /* 1 */ {{2, kN2}, kNoMove, kNoMove},
    /* 2 */ {{3, kN3}, kNoMove, kNoMove},
    /* 3 */ {{8, kHour}, {4, kTime}, kNoMove},
    /* 4 */ {{6, kZoneHours}, {5, kZoneTime}, kNoMove},
    /* 5 */ {kNoMove, kNoMove, kNoMove},
    /* 6 */ {{7, kZoneMinutes}, kNoMove, kNoMove},
    /* 7 */ {kNoMove, kNoMove, kNoMove},
    /* 8 */ {{9, kMinute}, kNoMove, kNoMove},
    /* 9 */ {{10, kSecond}, kNoMove, {10, kFraction}},
    /* 10 */ {{12, kZoneHours}, {11, kZoneTime}, kNoMove},
    /* 11 */ {kNoMove, kNoMove, kNoMove},
    /* 12 */ {{13, kZoneMinutes}, kNoMove, kNoMove},
    /* 13 */ {kNoMove, kNoMove, kNoMove},
};

struct BlockFields {
  std::array<double, kFraction + 1> value{};
  std::array<bool, kFraction + 1> given{};
  uint32_t count = 0;
};

BlockFields walk_block(const Cell& block) {
  BlockFields fields;
  uint32_t length = series_buffer_length(block.w2);
  const Cell* cells = series_buffer(block.w2)->head_cell();
  int8_t state = 0;
  for (uint32_t i = block.w1; i < length; ++i, ++fields.count) {
    const BlockState& row = kBlockStates[state];
    Type type = cell_type(cells[i]);
    const BlockMove& move = type == Type::integer ? row.on_integer
                            : type == Type::time  ? row.on_time
                            : type == Type::float_ ? row.on_float
                                                   : kNoMove;
    if (move.next < 0) raise_bad_to_arg(Type::date, block);
    fields.value[move.slot] = type == Type::integer ? integer_value(cells[i]) : float_value(cells[i]);
    fields.given[move.slot] = true;
    state = move.next;
  }
  if (fields.count < 3) raise_bad_to_arg(Type::date, block);
  return fields;
}

// The zone of the block form, from a time! or from hours and minutes; script bad-to-arg beyond
// 15:45 or for minutes outside 0-59.
uint32_t block_zone(const BlockFields& fields, const Cell& block) {
  std::optional<uint32_t> zone = 0;
  if (fields.given[kZoneTime]) {
    Cell value;
    time_make_at(value, fields.value[kZoneTime]);
    zone = zone_of_value(value);
  } else if (fields.given[kZoneHours]) {
    double hours = fields.value[kZoneHours], minutes = fields.value[kZoneMinutes];
    zone = date_zone_bits(hours < 0, static_cast<int64_t>(std::fabs(hours)), static_cast<int64_t>(minutes));
  }
  if (!zone) raise_bad_to_arg(Type::date, block);
  return *zone;
}

// The local time of day the block gives (0 without one).
double block_time(const BlockFields& fields) {
  if (fields.given[kTime]) return fields.value[kTime];
  double second = fields.given[kFraction] && fields.value[kFraction] != 0 ? fields.value[kFraction]
                                                                          : fields.value[kSecond];
  return fields.value[kHour] * 3600.0 + fields.value[kMinute] * 60.0 + second;
}

// day month year (or year month day when the first is a year): the day counts on from the
// month's start and the month into the years, so out-of-range fields carry; `checked` (make)
// refuses what carries and a time of day outside one day.
Cell* date_from_block(Cell& result, const Cell& block, bool checked) {
  BlockFields fields = walk_block(block);
  double n1 = fields.value[kN1], n2 = fields.value[kN2], n3 = fields.value[kN3];
  if (n1 >= 100 && n1 > n3) std::swap(n1, n3);
  double time = block_time(fields);
  uint32_t zone = block_zone(fields, block);
  if (!(std::fabs(n3) <= 1e6 && std::fabs(n2) <= 1e9) || !std::isfinite(time)) raise_bad_to_arg(Type::date, block);
  int64_t days = days_with_month(static_cast<int64_t>(n3), static_cast<int64_t>(n2), 0) + static_cast<int64_t>(n1);
  std::optional<uint32_t> word = days_to_date(days, 0, fields.count > 3);
  if (!word) raise_bad_to_arg(Type::date, block);
  if (checked) {
    bool fields_kept = date_year(*word) == n3 && date_month(*word) == n2 && date_day(*word) == n1;
    bool clock_kept = time >= 0 && time < kSecondsPerDay && fields.value[kMinute] < 60 &&
                      (!fields.given[kSecond] || fields.value[kSecond] < 60);
    if (!fields_kept || !clock_kept) raise_bad_to_arg(Type::date, block);
  }
  date_set(result, *word | zone, 0.0);
  date_normalize(result, time, true, DateLimit::bad_to_arg, block);
  return &result;
}

// Seconds since 1970 (UTC) as a date with the time flag.
Cell* date_from_epoch(Cell& result, const Cell& seconds) {
  date_set(result, date_pack(1970, 1, 1, 0, true), 0.0);
  date_normalize(result, integer_value(seconds), false, DateLimit::bad_to_arg, seconds);
  return &result;
}

// make and to: a date as it is, the block forms (make refusing what carries), and for to the
// seconds since 1970.
Cell* date_convert(Cell& type, const Cell& spec, bool make) {
  switch (cell_type(spec)) {
    case Type::date: return date_set(type, spec.w1, date_time(spec));
    case Type::block:
    case Type::paren:
    case Type::hash: return date_from_block(type, spec, make);
    case Type::integer:
      if (!make) return date_from_epoch(type, spec);
      [[fallthrough]];
    default: raise_bad_to_arg(Type::date, spec);
  }
}

Cell* date_to(Cell& type, Cell& spec, Type) { return date_convert(type, spec, false); }
Cell* date_make(Cell& type, Cell& spec, Type) { return date_convert(type, spec, true); }

// --- Text ------------------------------------------------------------------------------------------

// The first three characters of the locale's name of the month; script invalid-months when the
// list holds no string there.
int32_t output_month_name(int32_t month, Cell& output, int32_t budget) {
  const Cell months = services().locale_months();
  if (!any_block_type(cell_type(months)) || months.w1 + month > series_buffer_length(months.w2))
    raise_error(error_id("script", "invalid-months"));
  const Cell name = series_buffer(months.w2)->head_cell()[months.w1 + month - 1];
  if (cell_type(name) != Type::string) raise_error(error_id("script", "invalid-months"));
  uint32_t length = std::min<uint32_t>(3, string_length(name));
  for (uint32_t i = 0; i < length; ++i) string_append_char(output.w2, string_char_at(name, i));
  return budget_less(budget, length);
}

// Two digits with a leading zero.
std::string_view two_digits(int64_t value, char (&text)[2]) {
  text[0] = static_cast<char>('0' + value / 10);
  text[1] = static_cast<char>('0' + value % 10);
  return {text, 2};
}

int32_t date_form(const Cell& date, Cell& output, bool, int32_t budget) {
  uint32_t word = date.w1;
  int64_t year = date_year(word);
  const char* separator = year < 0 ? "/" : "-";
  budget = output_text(output, integer_form_decimal(date_day(word)).view(), budget);
  budget = output_text(output, separator, budget);
  budget = output_month_name(date_month(word), output, budget);
  budget = output_text(output, separator, budget);
  char year_text[8];
  char* at = year_text;
  if (year < 0) *at++ = '-';
  int64_t magnitude = year < 0 ? -year : year;
  for (int64_t pad = 1000; magnitude < 100 && pad > std::max<int64_t>(magnitude, 1); pad /= 10) *at++ = '0';
  at = std::to_chars(at, year_text + sizeof year_text, magnitude).ptr;
  budget = output_text(output, {year_text, static_cast<size_t>(at - year_text)}, budget);
  if (!date_has_time(word)) return budget;
  budget = output_text(output, "/", budget);
  budget = time_output_text(local_time_of_day(date), output, budget);
  uint32_t zone = date_zone(word);
  if (!zone) return budget;
  char hours[2], minutes[2];
  budget = output_text(output, zone & kDateZoneSign ? "-" : "+", budget);
  budget = output_text(output, two_digits((zone >> 2) & 15, hours), budget);
  budget = output_text(output, ":", budget);
  return output_text(output, two_digits((zone & 3) * 15, minutes), budget);
}

int32_t date_mold(const Cell& date, Cell& output, bool, bool, bool, bool, int32_t budget, int32_t) {
  return date_form(date, output, false, budget);
}

// --- Compare ----------------------------------------------------------------------------------------

// Year, month and day, ordered as signed numbers.
int32_t calendar_key(uint32_t word) { return static_cast<int32_t>(word & ~kDateTimeFlag) >> 7; }

// By local date, then by the stored UTC-based time: one instant on two local dates is unequal.
int32_t date_compare(const Cell& a, const Cell& b, int32_t code) {
  if (cell_type(b) != Type::date) return kNotComparable;
  int32_t key_a = calendar_key(a.w1), key_b = calendar_key(b.w1);
  double time_a = date_time(a), time_b = date_time(b);
  if (code == kCompareSame) return key_a == key_b && a.w2 == b.w2 && a.w3 == b.w3 ? 0 : 1;
  bool equal = key_a == key_b && float_almost_equal(time_a, time_b);
  if (is_equality_code(code)) return equal ? 0 : 1;
  if (equal) return 0;
  if (key_a != key_b) return three_way(key_a, key_b);
  return three_way(time_a, time_b);
}

// --- Arithmetic ----------------------------------------------------------------------------------------

template <int32_t Op>
void date_arithmetic() {
  date_math(value_stack.base[0], value_stack.base[1], Op);
}

// --- random --------------------------------------------------------------------------------------------

void date_random(Cell& date, bool seed, bool secure, bool) {
  if (seed) {
    random_seed(static_cast<int32_t>(date.w1 + static_cast<uint32_t>(static_cast<int64_t>(date_time(date)))));
    date = kUnsetCell;
    return;
  }
  int64_t days = date_to_days(date.w1);
  int64_t drawn = days >= 1 ? random_integer(secure, static_cast<int32_t>(std::min<int64_t>(days, INT32_MAX))) : 1;
  bool timed = date_has_time(date.w1);
  uint32_t zone = timed ? static_cast<uint32_t>(random_next()) & kDateZoneBits : 0;
  if (!date_zone_bits(zone & kDateZoneSign, (zone >> 2) & 15, (zone & 3) * 15)) zone &= ~kDateZoneSign;
  date_set(date, *days_to_date(drawn - 1, zone, timed), 0.0);
  if (!timed) return;
  double u = secure ? (random_secure() / 2147483647.0 + random_secure()) / (2147483648.0 / 3600.0)
                    : random_next() / 2147483647.0 * 3600.0;
  date_normalize(date, std::floor(u) * 24.0, true, DateLimit::overflow, date);
}

}  // namespace

void date_math(Cell& date, const Cell& operand, int32_t op) {
  int64_t days = 0;
  double seconds = 0;
  uint32_t word = date.w1;
  switch (cell_type(operand)) {
    case Type::integer: days = integer_value(operand); break;
    case Type::time:
      seconds = time_value(operand);
      word |= kDateTimeFlag;
      break;
    case Type::date:
      if (op != kOpSubtract) raise_not_related_to_caller(Type::date);
      days = date_to_days(operand.w1);
      seconds = date_time(operand);
      break;
    default: raise_invalid_type(operand);
  }
  int64_t n = date_to_days(word) + (op == kOpSubtract ? -days : days);
  double t = date_time(date) + (op == kOpSubtract ? -seconds : seconds);
  if (!date_carry_days(n, t, date_zone(word))) raise_math_overflow();
  if (cell_type(operand) == Type::date) {
    if (n < INT32_MIN || n > INT32_MAX) raise_math_overflow();
    integer_make_at(date, static_cast<int32_t>(n));
    return;
  }
  std::optional<uint32_t> result = days_to_date(n, date_zone(word), date_has_time(word));
  if (!result) raise_math_overflow();
  date_set(date, *result, t);
}

void date_math_swapped(Cell& value1, Cell& value2, int32_t op) {
  if (op != kOpAdd) raise_not_related_to_caller(cell_type(value1));
  Cell date = value2;
  date_math(date, value1, kOpAdd);
  value1 = date;
}

void register_date_datatype() {
  register_datatype(Type::date, Type::none_id, "date!",
                    ActionRow()
                        .set<Act::Make>(date_make)
                        .set<Act::Random>(date_random)
                        .set<Act::To>(date_to)
                        .set<Act::Form>(date_form)
                        .set<Act::Mold>(date_mold)
                        .set<Act::PathStep>(date_path_step)
                        .set<Act::Compare>(date_compare)
                        .set<Act::Add>(date_arithmetic<kOpAdd>)
                        .set<Act::Subtract>(date_arithmetic<kOpSubtract>)
                        .set<Act::Pick>(date_pick));
}

}  // namespace qel
