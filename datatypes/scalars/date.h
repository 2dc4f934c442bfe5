// date.h: date!, a calendar date with an optional time of day and zone held whole in one cell:
// the packed word, the calendar core on civil day numbers, constructors and the registration.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// --- The packed word (payload word 1) ----------------------------------------------------------
// Bits 17-31 the signed year, 16 the time flag, 12-15 the month, 7-11 the day, 6 the zone's sign
// (west of UTC), 2-5 the zone hours, 0-1 the zone's quarter hours. The word holds the local date;
// the time double (words 2 and 3) holds the time of day in UTC counted from the local date's
// midnight, so the local time of day is the time double plus the zone offset.
inline constexpr uint32_t kDateTimeFlag = 1u << 16;
inline constexpr uint32_t kDateZoneBits = 0x7F;
inline constexpr uint32_t kDateZoneSign = 0x40;
inline constexpr int64_t kDateYearMin = -16384;
inline constexpr int64_t kDateYearMax = 16383;
inline constexpr double kSecondsPerDay = 86400.0;
// The civil day number of 1 January 1970.
inline constexpr int64_t kEpochDays = 719468;

constexpr int64_t date_year(uint32_t word) { return static_cast<int32_t>(word) >> 17; }
constexpr int32_t date_month(uint32_t word) { return (word >> 12) & 15; }
constexpr int32_t date_day(uint32_t word) { return (word >> 7) & 31; }
constexpr uint32_t date_zone(uint32_t word) { return word & kDateZoneBits; }
constexpr bool date_has_time(uint32_t word) { return word & kDateTimeFlag; }

// The word of a date in the year range; no carrying.
constexpr uint32_t date_pack(int64_t year, int32_t month, int32_t day, uint32_t zone, bool time_flag) {
  return static_cast<uint32_t>(year) << 17 | static_cast<uint32_t>(month) << 12 | static_cast<uint32_t>(day) << 7 |
         (time_flag ? kDateTimeFlag : 0) | zone;
}

inline Cell* date_set(Cell& cell, uint32_t word, double time) {
  cell.header = static_cast<uint32_t>(Type::date);
  cell.w1 = word;
  set_payload_f64(cell, time);
  return &cell;
}
inline Cell* date_make_in(const Cell& block, uint32_t word, double time) {
  return date_set(*block_append_fresh_slot(block), word, time);
}
inline Cell* date_push(uint32_t word, double time) { return date_set(*stack_push_cell(), word, time); }

inline double date_time(const Cell& cell) { return payload_f64(cell); }

// --- Calendar core ------------------------------------------------------------------------------
// Day numbers count from 1 March of year 0 (day 0); every division floors, so years at or below
// 0 follow the same rules (year 0 is a leap year).

constexpr int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
constexpr int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

struct CivilDate {
  int64_t year;
  int32_t month;
  int32_t day;
};

// The day number of a year, month (1-12) and day (any: it counts on from the month's start).
int64_t civil_to_days(int64_t year, int32_t month, int64_t day);
CivilDate civil_from_days(int64_t days);
bool leap_year(int64_t year);
// Monday 1 ... Sunday 7.
int32_t weekday_of_days(int64_t days);

int64_t date_to_days(uint32_t word);
// The word of a day number with the zone bits and time flag; none when its year leaves
// -16384 ... 16383.
std::optional<uint32_t> days_to_date(int64_t days, uint32_t zone, bool time_flag);
int64_t date_year_start(int64_t year);
// The Monday that starts ISO week 1 of the year; `weekday` gets 1 January's weekday.
int64_t date_iso_week_one(int64_t year, int32_t& weekday);

// The zone's offset in seconds (negative west of UTC).
double date_zone_offset(uint32_t zone);
// The zone bits of an offset; none beyond 15:45 either way. Minutes truncate to quarter hours.
std::optional<uint32_t> date_zone_bits(bool negative, int64_t hours, int64_t minutes);

// Moves whole days between the UTC-based time t and the day number so the local time of day lies
// in [0, 86400); false when t is not finite or the day count leaves every calendar year.
bool date_carry_days(int64_t& days, double& t, uint32_t zone);

// What a calendar result outside the year range raises: math overflow (arithmetic), script
// bad-to-arg (make and to, naming date! and the argument), script out-of-range (path sets, naming
// the value).
enum class DateLimit : uint8_t { overflow, bad_to_arg, out_of_range };
[[noreturn]] void raise_date_limit(DateLimit limit, const Cell& argument);

// Stores the date normalised: t (local when from_local) carried into the day under the cell's
// zone; raises by `limit` when the result leaves the year range.
void date_normalize(Cell& date, double t, bool from_local, DateLimit limit, const Cell& argument);

// --- Constructors for other modules ---------------------------------------------------------------

// A date with the time flag and no zone: time 3600 h + 60 m + s + 1e-9 ns; no carrying.
Cell* date_make_at_hms(Cell& cell, int32_t year, int32_t month, int32_t day, int32_t hours, int32_t minutes,
                       int32_t seconds, int32_t nanoseconds);
// A date with an optional time (local seconds) and zone; no carrying.
Cell* date_make_at(Cell& cell, int32_t year, int32_t month, int32_t day, double seconds, uint32_t zone,
                   bool time_flag);
// The zone offset of a date as a time! value's seconds.
inline double date_zone_seconds(const Cell& date) { return date_zone_offset(date_zone(date.w1)); }
// a - b as seconds: whole days apart x 86400 plus the time doubles' difference.
double date_difference(const Cell& a, const Cell& b);
// date op operand (add 0 or subtract 1) into the date's cell: days (integer!), seconds (time!) or,
// under subtract, a date! (answering an integer! of days).
void date_math(Cell& date, const Cell& operand, int32_t op);
// value1 op a date! value2, for the integer! and time! arithmetic: add takes the operands the
// other way round; any other operation raises script not-related (the action, value1's type).
void date_math_swapped(Cell& value1, Cell& value2, int32_t op);
// The seconds since 1970-01-01 00:00 UTC; script type-limit outside 32 bits.
int32_t date_to_epoch_seconds(const Cell& date);

void register_date_datatype();

}  // namespace qel
