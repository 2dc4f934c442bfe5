// The clock, the packed date, the zone packer and the sleep span.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "runtime/os-environment.h"
#include "runtime/os-time.h"

namespace qel {
namespace {

uint32_t hours_field(uint32_t zone) { return zone >> 2; }
uint32_t quarters(uint32_t zone) { return zone & 3; }

TEST(Zone, SignAndMagnitudeOfTheOffset) {
  struct Row {
    int64_t minutes;
    uint32_t hours_field, quarters;
  };
  const Row rows[] = {
      {0, 0, 0},           {8 * 60 + 45, 8, 3}, {-(9 * 60 + 30), 0x19, 2}, {-30, 0x10, 2},
      {5 * 60 + 30, 5, 2}, {-3 * 60, 0x13, 0},  {-(3 * 60 + 30), 0x13, 2},  {14 * 60, 14, 0},
      {-10, 0, 0},         {20 * 60, 15, 3},    {-20 * 60, 0x1F, 3},
  };
  for (const Row& row : rows) {
    uint32_t zone = os_pack_zone(row.minutes);
    EXPECT_EQ(hours_field(zone), row.hours_field) << row.minutes;
    EXPECT_EQ(quarters(zone), row.quarters) << row.minutes;
    EXPECT_LT(zone, 0x80u) << row.minutes;
  }
}

TEST(Date, PackedLayout) {
  uint32_t packed = os_pack_date(2024, 12, 9, os_pack_zone(-(9 * 60 + 30)));
  EXPECT_EQ(packed >> 17, 2024u);
  EXPECT_EQ(packed >> 12 & 0x1F, 12u);
  EXPECT_EQ(packed >> 7 & 0x1F, 9u);
  EXPECT_EQ(packed & 0x7F, 0x19u << 2 | 2);
}

// Runs `body` with the local zone set by a POSIX TZ rule (no zone database needed).
template <class Body>
void with_zone(const char* rule, Body body) {
  std::optional<std::string> saved = os_get_env("TZ");
  ASSERT_TRUE(os_set_env("TZ", rule));
  tzset();
  body();
  ASSERT_TRUE(os_set_env("TZ", saved ? std::optional<std::string_view>(*saved) : std::nullopt));
  tzset();
}

TEST(Date, TodayInUtcAndInTheLocalZone) {
  time_t now = time(nullptr);
  tm utc{};
  gmtime_r(&now, &utc);
  uint32_t packed = os_now_date_packed(true);
  EXPECT_EQ(packed >> 17, static_cast<uint32_t>(utc.tm_year + 1900));
  EXPECT_EQ(packed & 0x7F, 0u);

  // POSIX rules count west as positive: "XYZ-5:45" is UTC+05:45, "ABC3:30" is UTC-03:30.
  with_zone("XYZ-5:45", [] { EXPECT_EQ(os_now_date_packed(false) & 0x7F, 5u << 2 | 3); });
  with_zone("ABC3:30", [] { EXPECT_EQ(os_now_date_packed(false) & 0x7F, 0x13u << 2 | 2); });
}

TEST(Clock, SecondsOfTheDayTruncatedTo100Nanoseconds) {
  timespec reading{19000 * 86400 + 3661, 123456789};
  EXPECT_EQ(os_seconds_of_day(reading, false), 3661.0);
  EXPECT_DOUBLE_EQ(os_seconds_of_day(reading, true), 3661.1234567);
  EXPECT_EQ(os_seconds_of_day({-1, 0}, false), 86399.0);
  double now = os_now_utc_seconds(true);
  EXPECT_GE(now, 0.0);
  EXPECT_LT(now, 86400.0);
}

TEST(Sleep, SpanIsAtLeastOneMillisecondAndClamped) {
  struct Row {
    double seconds;
    time_t whole_seconds;
    long nanoseconds;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const time_t forever = 9007199254740992 / 1000;  // 2^53 ms
  const Row rows[] = {
      {0, 0, 1000000},          {0.0004, 0, 1000000},       {nan, 0, 1000000},
      {-5, 0, 1000000},         {-infinity, 0, 1000000},    {0.0015, 0, 1000000},
      {0.25, 0, 250000000},     {2.5, 2, 500000000},        {1e300, forever, 992000000},
      {infinity, forever, 992000000},
  };
  for (const Row& row : rows) {
    timespec span = os_sleep_span(row.seconds);
    EXPECT_EQ(span.tv_sec, row.whole_seconds) << row.seconds;
    EXPECT_EQ(span.tv_nsec, row.nanoseconds) << row.seconds;
  }
}

TEST(Sleep, ZeroSecondsSleepsOneMillisecond) {
  timespec before{}, after{};
  clock_gettime(CLOCK_MONOTONIC, &before);
  os_sleep(0);
  clock_gettime(CLOCK_MONOTONIC, &after);
  int64_t elapsed = (after.tv_sec - before.tv_sec) * 1000000000 + (after.tv_nsec - before.tv_nsec);
  EXPECT_GE(elapsed, 1000000);
}

}  // namespace
}  // namespace qel
