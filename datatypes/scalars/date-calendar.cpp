// date-calendar.cpp: civil day numbers, weeks, zones and day carries of date!.
#include <cmath>

#include "datatypes/scalars/date.h"
#include "datatypes/scalars/scalar-errors.h"

namespace qel {

namespace {

inline constexpr int64_t kDaysPerEra = 146097;  // 400 years
// Day counts a carry may reach: far beyond every calendar year, well inside 64 bits.
inline constexpr double kCarryDayLimit = 1e12;

}  // namespace

// March-based years (March is month 0, so the leap day ends the year), counted in 400-year eras
// so every division but the era's works on non-negative numbers.
int64_t civil_to_days(int64_t year, int32_t month, int64_t day) {
  int64_t m = month > 2 ? month - 3 : month + 9;
  int64_t y = year - (month <= 2);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t year_of_era = y - era * 400;
  int64_t day_of_era = 365 * year_of_era + year_of_era / 4 - year_of_era / 100 + (153 * m + 2) / 5 + (day - 1);
  return era * kDaysPerEra + day_of_era;
}

// The exact inverse, by the same eras.
CivilDate civil_from_days(int64_t days) {
  int64_t era = (days >= 0 ? days : days - (kDaysPerEra - 1)) / kDaysPerEra;
  // Within an era everything is small and non-negative: unsigned 32-bit arithmetic.
  uint32_t day_of_era = static_cast<uint32_t>(days - era * kDaysPerEra);
  uint32_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  uint32_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  uint32_t m = (5 * day_of_year + 2) / 153;
  int32_t day = static_cast<int32_t>(day_of_year - (153 * m + 2) / 5 + 1);
  int32_t month = static_cast<int32_t>(m < 10 ? m + 3 : m - 9);
  return {int64_t{year_of_era} + era * 400 + (month <= 2), month, day};
}

bool leap_year(int64_t year) { return (floor_mod(year, 4) == 0 && floor_mod(year, 100) != 0) || floor_mod(year, 400) == 0; }

int32_t weekday_of_days(int64_t days) { return static_cast<int32_t>(floor_mod(days + 2, 7)) + 1; }

int64_t date_to_days(uint32_t word) { return civil_to_days(date_year(word), date_month(word), date_day(word)); }

std::optional<uint32_t> days_to_date(int64_t days, uint32_t zone, bool time_flag) {
  CivilDate civil = civil_from_days(days);
  if (civil.year < kDateYearMin || civil.year > kDateYearMax) return std::nullopt;
  return date_pack(civil.year, civil.month, civil.day, zone, time_flag);
}

int64_t date_year_start(int64_t year) { return civil_to_days(year, 1, 1); }

int64_t date_iso_week_one(int64_t year, int32_t& weekday) {
  int64_t start = date_year_start(year);
  int64_t w = floor_mod(start + 2, 7);  // 0 Monday
  weekday = static_cast<int32_t>(w) + 1;
  return start - w + (w >= 4 ? 7 : 0);
}

double date_zone_offset(uint32_t zone) {
  double magnitude = ((zone >> 2) & 15) * 3600.0 + (zone & 3) * 900.0;
  return zone & kDateZoneSign ? -magnitude : magnitude;
}

std::optional<uint32_t> date_zone_bits(bool negative, int64_t hours, int64_t minutes) {
  if (hours < 0 || minutes < 0 || minutes > 59 || hours > 15) return std::nullopt;
  uint32_t magnitude = static_cast<uint32_t>(hours) << 2 | static_cast<uint32_t>(minutes / 15);
  return magnitude && negative ? magnitude | kDateZoneSign : magnitude;
}

bool date_carry_days(int64_t& days, double& t, uint32_t zone) {
  double offset = date_zone_offset(zone);
  if (t + offset >= 0 && t + offset < kSecondsPerDay) return std::fabs(static_cast<double>(days)) < kCarryDayLimit;
  double carried = std::floor((t + offset) / kSecondsPerDay);
  if (!(std::fabs(carried) < kCarryDayLimit)) return false;
  t -= carried * kSecondsPerDay;
  days += static_cast<int64_t>(carried);
  // The division may round across a day's edge.
  if (t + offset < 0) {
    t += kSecondsPerDay;
    --days;
  } else if (t + offset >= kSecondsPerDay) {
    t -= kSecondsPerDay;
    ++days;
  }
  return std::fabs(static_cast<double>(days)) < kCarryDayLimit;
}

void raise_date_limit(DateLimit limit, const Cell& argument) {
  switch (limit) {
    case DateLimit::overflow: raise_math_overflow();
    case DateLimit::bad_to_arg: raise_bad_to_arg(Type::date, argument);
    default: raise_error(error_id("script", "out-of-range"), argument);
  }
}

void date_normalize(Cell& date, double t, bool from_local, DateLimit limit, const Cell& argument) {
  uint32_t word = date.w1;
  uint32_t zone = date_zone(word);
  if (from_local) t -= date_zone_offset(zone);
  int64_t days = date_to_days(word);
  if (!date_carry_days(days, t, zone)) raise_date_limit(limit, argument);
  std::optional<uint32_t> carried = days_to_date(days, zone, date_has_time(word));
  if (!carried) raise_date_limit(limit, argument);
  date_set(date, *carried, t);
}

Cell* date_make_at(Cell& cell, int32_t year, int32_t month, int32_t day, double seconds, uint32_t zone,
                   bool time_flag) {
  if (!time_flag) return date_set(cell, date_pack(year, month & 15, day & 31, 0, false), 0.0);
  return date_set(cell, date_pack(year, month & 15, day & 31, zone, true), seconds - date_zone_offset(zone));
}

Cell* date_make_at_hms(Cell& cell, int32_t year, int32_t month, int32_t day, int32_t hours, int32_t minutes,
                       int32_t seconds, int32_t nanoseconds) {
  double time = 3600.0 * hours + 60.0 * minutes + seconds + 1e-9 * nanoseconds;
  return date_make_at(cell, year, month, day, time, 0, true);
}

double date_difference(const Cell& a, const Cell& b) {
  double days = static_cast<double>(date_to_days(a.w1) - date_to_days(b.w1));
  return days * kSecondsPerDay + (date_time(a) - date_time(b));
}

int32_t date_to_epoch_seconds(const Cell& date) {
  double seconds = static_cast<double>(date_to_days(date.w1) - kEpochDays) * kSecondsPerDay +
                   std::floor(date_time(date) + 0.5);
  if (!(seconds >= -2147483648.0 && seconds <= 2147483647.0)) raise_type_limit(Type::integer);
  return static_cast<int32_t>(seconds);
}

}  // namespace qel
