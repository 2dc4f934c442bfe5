// time-loaders.cpp: time! tokens: an optional sign, hours, minutes and optional seconds with a
// fraction, or minutes and seconds when the second field has a fraction.
#include <cstring>

#include "datatypes/scalars/float-text.h"
#include "datatypes/scalars/time.h"
#include "loader/lexer/clock-text.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/token-loaders.h"

namespace qel {

namespace {

constexpr bool is_digit(uint8_t byte) { return byte >= '0' && byte <= '9'; }
constexpr bool is_fraction_point(uint8_t byte) { return byte == '.' || byte == ','; }

}  // namespace

const uint8_t* clock_digits(const uint8_t* at, const uint8_t* end, double& value) {
  const uint8_t* first = at;
  while (at < end && is_digit(*at)) ++at;
  if (at == first) return nullptr;
  size_t unconsumed;
  value = decimal_text_to_double(std::span(first, static_cast<size_t>(at - first)), 0, unconsumed);
  return at;
}

const uint8_t* clock_seconds(const uint8_t* at, const uint8_t* end, double& value) {
  const uint8_t* whole_end = clock_digits(at, end, value);
  if (!whole_end || whole_end == end || !is_fraction_point(*whole_end)) return whole_end;
  const uint8_t* fraction = whole_end + 1;
  const uint8_t* fraction_end = fraction;
  while (fraction_end < end && is_digit(*fraction_end)) ++fraction_end;
  if (fraction_end == fraction) return nullptr;
  // The digits with the point in the middle, read exactly; a comma reads as the point.
  uint8_t text[kClockTextLimit];
  size_t size = static_cast<size_t>(fraction_end - at);
  if (size > sizeof text) return nullptr;
  std::memcpy(text, at, size);
  text[whole_end - at] = '.';
  size_t unconsumed;
  value = decimal_text_to_double(std::span<const uint8_t>(text, size), 0, unconsumed);
  return fraction_end;
}

const uint8_t* clock_time_of_day(const uint8_t* at, const uint8_t* end, ClockTime& clock) {
  clock = {};
  if (!(at = clock_digits(at, end, clock.hours)) || at == end || *at != ':') return nullptr;
  if (!(at = clock_digits(at + 1, end, clock.minutes))) return nullptr;
  if (at < end && *at == ':') at = clock_seconds(at + 1, end, clock.seconds);
  return at;
}

LexStatus load_time(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const uint8_t* at = start;
  bool negative = *at == '-';
  if (negative || *at == '+') ++at;
  ClockTime clock{};
  const uint8_t* after = clock_time_of_day(at, end, clock);
  if (after && after < end && is_fraction_point(*after)) {
    // minutes:seconds.fraction
    after = clock_digits(at, end, clock.minutes);
    after = after ? clock_seconds(after + 1, end, clock.seconds) : nullptr;
    clock.hours = 0;
  }
  if (after != end) return lexer_syntax_error(state, start, end, static_cast<int32_t>(Type::time));
  double seconds = clock.hours * kSecondsPerHour + clock.minutes * kSecondsPerMinute + clock.seconds;
  if (load) lexer_append_value(state, [&](Cell& cell) { time_make_at(cell, negative ? 0.0 - seconds : seconds); });
  return LexStatus::ok;
}

}  // namespace qel
