// os-time.h: the clock, the packed date and sleeping.
#pragma once

#include <cstdint>
#include <ctime>

namespace qel {

// Packed date: year in bits 17-31, month in bits 12-16, day in bits 7-11, zone in bits 0-6.
// Zone: the hours field in bits 2-6 (magnitude in its low 4 bits, 0x10 for a negative
// offset), quarter hours in bits 0-1.
inline constexpr uint32_t kZoneNegative = 0x10;  // in the hours field

// The UTC seconds of the current day; with `precise` plus its fraction in 100 ns steps.
double os_now_utc_seconds(bool precise);

// Today's packed date, UTC (zone 0) or local (zone of the local offset).
uint32_t os_now_date_packed(bool utc);

// One reading of the clock: the calendar date, the seconds of that day and the zone, all from a
// single instant, so midnight cannot fall between the date and the time.
struct ClockReading {
  int year;
  int month;
  int day;
  double seconds;  // of the day, whole unless the reading was precise (then in 100 ns steps)
  uint32_t zone;   // packed as os_pack_zone packs it; 0 for UTC
};

// The clock now: local time with its zone, or UTC.
ClockReading os_now_reading(bool utc, bool precise);

// Sleeps at least 1 ms, resuming after signals; see os_sleep_span for the length. With a wake
// descriptor (not -1) the sleep ends early once it is readable, and answers true then.
bool os_sleep(double seconds, int wake_fd = -1);

// Pure parts of the above, exposed for tests and for callers that hold their own times.

// The seconds of the day of a CLOCK_REALTIME reading, as os_now_utc_seconds computes them.
double os_seconds_of_day(timespec now, bool precise);

// The zone field for an offset from UTC in minutes: sign and magnitude of |minutes|, the
// magnitude capped at 15:45 (what 4 bits of hours and 2 of quarters hold).
uint32_t os_pack_zone(int64_t minutes);

uint32_t os_pack_date(int year, int month, int day, uint32_t zone);

// The reading of an instant (a CLOCK_REALTIME value) at an offset from UTC in seconds.
ClockReading os_clock_reading(timespec instant, int64_t offset_seconds, bool precise);

// The span os_sleep sleeps: whole milliseconds of seconds x 1000; below 1 ms (and NaN) 1 ms;
// at most 2^53 ms, which is forever in practice and converts exactly.
timespec os_sleep_span(double seconds);

}  // namespace qel
