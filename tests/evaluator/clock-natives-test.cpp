// now over one injected clock reading: the date, time and zone agree across midnight and offsets.
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/time.h"
#include "evaluator/clock-natives.h"
#include "tests/evaluator/eval-fixture.h"

namespace qel::testing {
namespace {

using ClockNativesTest = EvalTest;

// 14 March 2026, 18:29:59.9999999 UTC: 23:59:59.9999999 at +05:30.
constexpr timespec kLastInstantOfTheDay{1773512999, 999999900};
constexpr int64_t kIndia = 5 * 3600 + 30 * 60;

TEST_F(ClockNativesTest, OneReadingGivesTheLocalDateTimeAndZone) {
  struct Row {
    timespec instant;
    int64_t offset;
    bool precise;
    NowField field;
    const char* molded;
  };
  const Row rows[] = {
      {kLastInstantOfTheDay, kIndia, false, NowField::date_time, "14-Mar-2026/23:59:59+05:30"},
      {kLastInstantOfTheDay, 0, false, NowField::date_time, "14-Mar-2026/18:29:59"},
      {kLastInstantOfTheDay, kIndia, false, NowField::zone, "5:30:00"},
      {kLastInstantOfTheDay, kIndia, false, NowField::date, "14-Mar-2026"},
      {kLastInstantOfTheDay, kIndia, false, NowField::weekday, "6"},
      {kLastInstantOfTheDay, kIndia, false, NowField::yearday, "73"},
      // 02:00 UTC on the 15th is still the 14th five hours west.
      {{1773540000, 0}, -5 * 3600, false, NowField::date_time, "14-Mar-2026/21:00:00-05:00"},
      {{1773540000, 0}, -5 * 3600, false, NowField::day, "14"},
      {{1773540000, 0}, 0, false, NowField::day, "15"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(mold(now_value(os_clock_reading(row.instant, row.offset, row.precise), row.field)), row.molded)
        << row.molded;
}

// The last tenth of a microsecond of the day stays on that day (mold rounds it to the second).
TEST_F(ClockNativesTest, APreciseReadingKeepsItsFraction) {
  const ClockReading reading = os_clock_reading(kLastInstantOfTheDay, kIndia, true);
  const Cell date = now_value(reading, NowField::date_time);
  EXPECT_EQ(date_day(date.w1), 14);
  EXPECT_DOUBLE_EQ(date_time(date) + date_zone_seconds(date), 86399.9999999);
  EXPECT_DOUBLE_EQ(time_value(now_value(reading, NowField::time)), 86399.9999999);
}

}  // namespace
}  // namespace qel::testing
