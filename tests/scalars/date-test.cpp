// date!: the calendar core against the standard library over the whole year range, day carries
// under every zone, the month names from the locale service, hashes, and the constructors other
// modules use.
#include <gtest/gtest.h>

#include <chrono>

#include "datatypes/scalars/date.h"
#include "datatypes/scalars/time.h"
#include "runtime/value-hash.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using DateTest = ScalarTest;

TEST(DateCalendar, EveryDayOfTheRangeRoundTripsAndMatchesTheStandardCalendar) {
  using namespace std::chrono;
  const int64_t first = civil_to_days(kDateYearMin, 1, 1), last = civil_to_days(kDateYearMax, 12, 31);
  for (int64_t days = first; days <= last; ++days) {
    const year_month_day ymd{sys_days{std::chrono::days{days - kEpochDays}}};
    const CivilDate civil = civil_from_days(days);
    ASSERT_EQ(civil.year, int{ymd.year()}) << days;
    ASSERT_EQ(civil.month, static_cast<int32_t>(unsigned{ymd.month()})) << days;
    ASSERT_EQ(civil.day, static_cast<int32_t>(unsigned{ymd.day()})) << days;
    ASSERT_EQ(weekday_of_days(days), static_cast<int32_t>(weekday{ymd}.iso_encoding())) << days;
    std::optional<uint32_t> word = days_to_date(days, 0, false);
    ASSERT_TRUE(word);
    ASSERT_EQ(date_to_days(*word), days);
    ASSERT_EQ(leap_year(civil.year), ymd.year().is_leap()) << days;
  }
  EXPECT_FALSE(days_to_date(first - 1, 0, false));
  EXPECT_FALSE(days_to_date(last + 1, 0, false));
  EXPECT_EQ(civil_to_days(1970, 1, 1), kEpochDays);
}

TEST(DateCalendar, CarriesKeepTheLocalTimeOfDayWithinOneDay) {
  const uint32_t east = *date_zone_bits(false, 15, 45), west = *date_zone_bits(true, 15, 45);
  struct Row {
    uint32_t zone;
    double t;
    int64_t days_moved;
    double t_after;
  } rows[] = {
      {0, -1.0, -1, 86399.0},
      {0, 86400.0, 1, 0.0},
      {0, -86400.0 * 3 - 0.5, -4, 86399.5},
      {east, -56700.0, 0, -56700.0},  // local midnight east of UTC: a negative stored time
      {east, -56701.0, -1, 86400.0 - 56701.0},
      {west, 56700.0 + 86399.0, 0, 56700.0 + 86399.0},
      {west, 56700.0 + 86400.0, 1, 56700.0},
      {west, -10.0, -1, 86390.0},
  };
  for (const Row& row : rows) {
    int64_t days = 1000;
    double t = row.t;
    ASSERT_TRUE(date_carry_days(days, t, row.zone));
    EXPECT_EQ(days, 1000 + row.days_moved) << row.t;
    EXPECT_DOUBLE_EQ(t, row.t_after) << row.t;
  }
  int64_t days = 0;
  double t = 1e300;
  EXPECT_FALSE(date_carry_days(days, t, 0));
  EXPECT_EQ(date_zone_offset(east), 56700.0);
  EXPECT_EQ(date_zone_offset(west), -56700.0);
  EXPECT_FALSE(date_zone_bits(false, 16, 0));
  EXPECT_FALSE(date_zone_bits(true, 1, 60));
  EXPECT_EQ(*date_zone_bits(true, 0, 0), 0u);  // no sign without a magnitude
  EXPECT_EQ(*date_zone_bits(true, 0, 30), kDateZoneSign | 2);
}

TEST_F(DateTest, ConstructorsDifferenceAndZone) {
  Cell a, b;
  date_make_at_hms(a, 2024, 3, 1, 12, 30, 15, 500000000);
  EXPECT_EQ(mold(a), "1-Mar-2024/12:30:15.5");
  date_make_at(b, 2024, 2, 28, 3600.0, *date_zone_bits(false, 2, 0), true);
  EXPECT_EQ(mold(b), "28-Feb-2024/1:00:00+02:00");
  EXPECT_EQ(date_zone_seconds(b), 7200.0);
  EXPECT_EQ(date_time(b), -3600.0);
  EXPECT_EQ(date_difference(a, b), 2 * 86400.0 + 45015.5 + 3600.0);
  date_make_at(b, 2024, 2, 28, 3600.0, 0, false);
  EXPECT_EQ(mold(b), "28-Feb-2024");
}

Cell months_double;
Cell broken_months() { return months_double; }

TEST_F(DateTest, MonthNamesComeFromTheLocaleService) {
  Cell date;
  date_make_at(date, 2024, 5, 9, 0, 0, false);
  EXPECT_EQ(form(date), "9-May-2024");
  Cell short_list = services().locale_months();
  short_list.w1 = 8;  // the list from September on: May lies past its tail
  months_double = short_list;
  services().locale_months = broken_months;
  EXPECT_EQ(error_of([&] { form(date); }), error_id("script", "invalid-months"));
  months_double = make_cell(Type::none);
  EXPECT_EQ(error_of([&] { form(date); }), error_id("script", "invalid-months"));
  months_double = services().locale_currencies();  // words, no strings
  services().locale_months = broken_months;
  EXPECT_EQ(error_of([&] { form(date); }), error_id("script", "invalid-months"));
}

TEST_F(DateTest, EqualDatesHashAlike) {
  Cell plain, midnight, zoned;
  date_make_at(plain, 2024, 1, 1, 0, 0, false);
  date_make_at(midnight, 2024, 1, 1, 0, 0, true);
  date_make_at(zoned, 2024, 1, 1, 7200, *date_zone_bits(false, 2, 0), true);
  Cell utc_two;
  date_make_at(utc_two, 2024, 1, 1, 0, 0, true);
  EXPECT_EQ(value_hash(plain, false), value_hash(midnight, false));
  // 2:00 at +02:00 stores the same time as midnight UTC on the same local date.
  EXPECT_EQ(value_hash(zoned, false), value_hash(utc_two, false));
  Cell next;
  date_make_at(next, 2024, 1, 2, 0, 0, false);
  EXPECT_NE(value_hash(plain, false), value_hash(next, false));
}

}  // namespace
}  // namespace qel
