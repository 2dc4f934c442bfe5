// date-loaders.cpp: date! tokens in their four forms: separated (1-Mar-2024, 2024/3/1, with
// month names), compact (20240615T083005+0200), week (2024-W01-1) and ordinal (2024-366), each
// with an optional time of day and zone.
#include <cstring>
#include <optional>

#include "datatypes/scalars/date.h"
#include "datatypes/scalars/time.h"
#include "loader/lexer/clock-text.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/token-loaders.h"

namespace qel {

namespace {

constexpr bool is_digit(uint8_t byte) { return byte >= '0' && byte <= '9'; }
constexpr bool is_letter(uint8_t byte) { return (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z'; }

constexpr const char* kMonthNames[] = {"january", "february", "march",     "april",   "may",      "june",
                                       "july",    "august",   "september", "october", "november", "december"};

// A cursor over the token.
struct DateText {
  const uint8_t* at;
  const uint8_t* end;

  bool done() const { return at == end; }
  bool take(uint8_t byte) {
    if (at == end || *at != byte) return false;
    ++at;
    return true;
  }
  // Up to `most` digits (at least one); their count goes to `count`.
  std::optional<int64_t> digits(int most, int* count = nullptr) {
    int64_t value = 0;
    int n = 0;
    while (at < end && is_digit(*at) && n < most) value = value * 10 + (*at++ - '0'), ++n;
    if (count) *count = n;
    if (n == 0) return std::nullopt;
    return value;
  }
  // Exactly n digits.
  std::optional<int64_t> fixed_digits(int n) {
    int count;
    std::optional<int64_t> value = digits(n, &count);
    return count == n ? value : std::nullopt;
  }
};

// What a date token says.
struct DateFields {
  int64_t year = 0;
  int64_t month = 1;
  int64_t day = 1;
  std::optional<int64_t> days;  // a week or ordinal date's day number
  bool timed = false;
  double seconds = 0;  // local time of day
  uint32_t zone = 0;
};

// 1 to 12 from a case-insensitive prefix of 3 to 9 letters of a month name.
std::optional<int64_t> month_name(DateText& text) {
  const uint8_t* first = text.at;
  while (text.at < text.end && is_letter(*text.at)) ++text.at;
  size_t length = static_cast<size_t>(text.at - first);
  if (length < 3 || length > 9) return std::nullopt;
  for (int m = 0; m < 12; ++m) {
    const char* name = kMonthNames[m];
    if (std::strlen(name) < length) continue;
    bool match = true;
    for (size_t i = 0; i < length && match; ++i) match = (first[i] | 0x20) == name[i];
    if (match) return m + 1;
  }
  return std::nullopt;
}

// Z, or a sign, hours of at most two digits, an optional colon and the minutes.
bool read_zone(DateText& text, DateFields& fields) {
  if (text.take('Z')) return true;
  bool negative = text.at < text.end && *text.at == '-';
  if (!text.take('+') && !text.take('-')) return false;
  std::optional<int64_t> hours = text.digits(2);
  if (!hours) return false;
  int64_t minutes = 0;
  bool colon = text.take(':');
  if (colon || !text.done()) {
    std::optional<int64_t> read = text.fixed_digits(2);
    if (!read) return false;
    minutes = *read;
  }
  std::optional<uint32_t> zone = date_zone_bits(negative, *hours, minutes);
  if (!zone) return false;
  fields.zone = *zone;
  return true;
}

// hours ":" minutes [":" seconds], then an optional zone, to the token's end.
bool read_clock(DateText& text, DateFields& fields) {
  ClockTime clock;
  const uint8_t* after = clock_time_of_day(text.at, text.end, clock);
  if (!after) return false;
  text.at = after;
  if (clock.hours > 23 || clock.minutes > 59 || !(clock.seconds < 60)) return false;
  fields.timed = true;
  fields.seconds = clock.hours * kSecondsPerHour + clock.minutes * kSecondsPerMinute + clock.seconds;
  return text.done() || (read_zone(text, fields) && text.done());
}

// An optional T and a time to the end.
bool read_optional_time(DateText& text, DateFields& fields) {
  if (text.done()) return true;
  return text.take('T') && read_clock(text, fields);
}

// yyyymmddThhmm, then Z, or seconds, then optionally Z or a zone of +hhmm.
bool read_compact(DateText& text, DateFields& fields) {
  std::optional<int64_t> year = text.fixed_digits(4), month = text.fixed_digits(2), day = text.fixed_digits(2);
  if (!year || !month || !day || !text.take('T')) return false;
  std::optional<int64_t> hours = text.fixed_digits(2), minutes = text.fixed_digits(2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return false;
  fields.year = *year;
  fields.month = *month;
  fields.day = *day;
  fields.timed = true;
  double seconds = 0;
  if (text.at < text.end && is_digit(*text.at)) {
    const uint8_t* after = clock_seconds(text.at, text.end, seconds);
    if (!after || !(seconds < 60)) return false;
    text.at = after;
  }
  fields.seconds = *hours * kSecondsPerHour + *minutes * kSecondsPerMinute + seconds;
  return text.done() || (read_zone(text, fields) && text.done());
}

// -Www[-d][Thh:mm...]: the week must exist in the year.
bool read_week(DateText& text, DateFields& fields) {
  std::optional<int64_t> week = text.fixed_digits(2);
  if (!week) return false;
  int64_t weekday = 1;
  if (text.take('-')) {
    std::optional<int64_t> read = text.fixed_digits(1);
    if (!read || *read < 1 || *read > 7) return false;
    weekday = *read;
  }
  int32_t first_weekday;
  int64_t start = date_iso_week_one(fields.year, first_weekday);
  int64_t weeks = first_weekday == 4 || (first_weekday == 3 && leap_year(fields.year)) ? 53 : 52;
  if (*week < 1 || *week > weeks) return false;
  fields.days = start + 7 * (*week - 1) + weekday - 1;
  return read_optional_time(text, fields);
}

// -ddd[Thh:mm...]: the day must exist in the year.
bool read_ordinal(DateText& text, DateFields& fields) {
  std::optional<int64_t> day = text.fixed_digits(3);
  if (!day || *day < 1 || *day > (leap_year(fields.year) ? 366 : 365)) return false;
  fields.days = date_year_start(fields.year) + *day - 1;
  return read_optional_time(text, fields);
}

// first sep month sep third [("/" or "T") time]: the first field is the year when it has more
// than two digits' worth and the third could be a day.
bool read_separated(DateText& text, DateFields& fields, int64_t first, uint8_t separator) {
  std::optional<int64_t> month =
      text.at < text.end && is_letter(*text.at) ? month_name(text) : text.digits(2);
  if (!month || !text.take(separator)) return false;
  bool negative = text.take('-');
  int third_digits;
  std::optional<int64_t> third = text.digits(6, &third_digits);
  if (!third) return false;
  int64_t third_value = negative ? -*third : *third;
  bool third_is_day = third_value >= 0 && third_value <= 31;
  int64_t year = third_value;
  fields.day = first;
  if (third_is_day && first > 99) {
    year = first;
    fields.day = third_value;
  } else if (!negative && third_digits <= 2) {
    year += year > 49 ? 1900 : 2000;
  }
  fields.year = year;
  fields.month = *month;
  if (text.done()) return true;
  return (text.take('/') || text.take('T')) && read_clock(text, fields);
}

std::optional<DateFields> read_date(const uint8_t* start, const uint8_t* end) {
  DateText text{start, end};
  DateFields fields;
  bool negative = text.take('-');
  int count;
  std::optional<int64_t> first = text.digits(8, &count);
  if (!first) return std::nullopt;
  if (count > 4) {
    if (negative || count != 8) return std::nullopt;
    text.at -= count;
    return read_compact(text, fields) ? std::optional(fields) : std::nullopt;
  }
  int64_t first_value = negative ? -*first : *first;
  fields.year = first_value;
  if (text.take('-')) {
    if (text.take('W')) return read_week(text, fields) ? std::optional(fields) : std::nullopt;
    DateText ahead = text;
    int ordinal_digits;
    if (ahead.digits(4, &ordinal_digits) && ordinal_digits == 3 && (ahead.done() || *ahead.at == 'T'))
      return read_ordinal(text, fields) ? std::optional(fields) : std::nullopt;
    if (negative) return std::nullopt;
    return read_separated(text, fields, first_value, '-') ? std::optional(fields) : std::nullopt;
  }
  if (negative || !text.take('/')) return std::nullopt;
  return read_separated(text, fields, first_value, '/') ? std::optional(fields) : std::nullopt;
}

// The calendar checks: year -9999 ... 9999, month 1-12, day within its month.
bool calendar_valid(const DateFields& fields) {
  if (fields.year < -9999 || fields.year > 9999) return false;
  if (fields.days) return true;
  if (fields.month < 1 || fields.month > 12 || fields.day < 1) return false;
  int64_t next_month = fields.month == 12 ? civil_to_days(fields.year + 1, 1, 1)
                                          : civil_to_days(fields.year, static_cast<int32_t>(fields.month + 1), 1);
  return civil_to_days(fields.year, static_cast<int32_t>(fields.month), fields.day) < next_month;
}

}  // namespace

LexStatus load_date(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  std::optional<DateFields> fields = read_date(start, end);
  if (!fields || !calendar_valid(*fields)) return lexer_syntax_error(state, start, end, static_cast<int32_t>(Type::date));
  if (!load) return LexStatus::ok;
  int64_t days = fields->days ? *fields->days
                              : civil_to_days(fields->year, static_cast<int32_t>(fields->month), fields->day);
  uint32_t zone = fields->timed ? fields->zone : 0;
  std::optional<uint32_t> word = days_to_date(days, zone, fields->timed);
  if (!word) return lexer_syntax_error(state, start, end, static_cast<int32_t>(Type::date));
  lexer_append_value(state, [&](Cell& cell) {
    date_set(cell, *word, fields->timed ? fields->seconds - date_zone_offset(zone) : 0.0);
  });
  return LexStatus::ok;
}

}  // namespace qel
