// clock-text.h: the clock fields of time! and date! tokens: hours, minutes and seconds with a
// fraction after a point or comma.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

// The longest seconds text read (digits, point and fraction).
inline constexpr size_t kClockTextLimit = 320;

struct ClockTime {
  double hours = 0;
  double minutes = 0;
  double seconds = 0;
};

// Decimal digits from `at` (at least one) read as a double; answers where they end, or null.
const uint8_t* clock_digits(const uint8_t* at, const uint8_t* end, double& value);
// Digits with an optional fraction after "." or "," (at least one digit each side); answers where
// they end, or null.
const uint8_t* clock_seconds(const uint8_t* at, const uint8_t* end, double& value);
// hours ":" minutes, optionally ":" and seconds; answers where the text read ends, or null when
// a field is missing.
const uint8_t* clock_time_of_day(const uint8_t* at, const uint8_t* end, ClockTime& clock);

}  // namespace qel
