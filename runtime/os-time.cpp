// os-time.cpp: the clock, the packed date and sleeping.
#include "runtime/os-time.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace qel {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kZoneMaxMinutes = 15 * 60 + 45;
constexpr double kSleepMaxMilliseconds = 9007199254740992.0;  // 2^53

constexpr long kNanosecondsPerSecond = 1000000000;
constexpr time_t kSleepSliceSeconds = 86400;

timespec monotonic_now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

timespec realtime_now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

}  // namespace

double os_seconds_of_day(timespec now, bool precise) {
  int64_t of_day = now.tv_sec % kSecondsPerDay;
  if (of_day < 0) of_day += kSecondsPerDay;  // a clock set before 1970
  double seconds = static_cast<double>(of_day);
  if (precise) seconds += static_cast<double>(now.tv_nsec / 100 * 100) / 1e9;
  return seconds;
}

double os_now_utc_seconds(bool precise) { return os_seconds_of_day(realtime_now(), precise); }

uint32_t os_pack_zone(int64_t minutes) {
  int64_t capped = std::clamp(minutes, -kZoneMaxMinutes, kZoneMaxMinutes);
  int64_t magnitude = capped < 0 ? -capped : capped;
  auto hours = static_cast<uint32_t>(magnitude / 60);
  auto quarters = static_cast<uint32_t>(magnitude % 60 / 15);
  // An offset that packs as zero stays unsigned: there is no "-00:00".
  if (minutes < 0 && (hours | quarters)) hours |= kZoneNegative;
  return hours << 2 | quarters;
}

uint32_t os_pack_date(int year, int month, int day, uint32_t zone) {
  return (static_cast<uint32_t>(year) & 0x7FFF) << 17 | (static_cast<uint32_t>(month) & 0x1F) << 12 |
         (static_cast<uint32_t>(day) & 0x1F) << 7 | (zone & 0x7F);
}

uint32_t os_now_date_packed(bool utc) {
  time_t now = realtime_now().tv_sec;
  tm parts{};
  if (utc)
    gmtime_r(&now, &parts);
  else
    localtime_r(&now, &parts);
  uint32_t zone = utc ? 0 : os_pack_zone(parts.tm_gmtoff / 60);
  return os_pack_date(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, zone);
}

ClockReading os_clock_reading(timespec instant, int64_t offset_seconds, bool precise) {
  const timespec local{static_cast<time_t>(instant.tv_sec + offset_seconds), instant.tv_nsec};
  tm parts{};
  gmtime_r(&local.tv_sec, &parts);  // the shifted instant's calendar fields are the local ones
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, os_seconds_of_day(local, precise),
          os_pack_zone(offset_seconds / 60)};
}

ClockReading os_now_reading(bool utc, bool precise) {
  const timespec now = realtime_now();
  tm parts{};
  const int64_t offset = utc || localtime_r(&now.tv_sec, &parts) == nullptr ? 0 : parts.tm_gmtoff;
  return os_clock_reading(now, offset, precise);
}

timespec os_sleep_span(double seconds) {
  double milliseconds = seconds * 1000.0;
  if (!(milliseconds >= 1.0)) milliseconds = 1.0;  // also NaN and negative
  if (milliseconds > kSleepMaxMilliseconds) milliseconds = kSleepMaxMilliseconds;
  auto whole = static_cast<uint64_t>(milliseconds);
  return {static_cast<time_t>(whole / 1000), static_cast<long>(whole % 1000 * 1000000)};
}

bool os_sleep(double seconds, int wake_fd) {
  const timespec span = os_sleep_span(seconds);
  timespec deadline = monotonic_now();
  deadline.tv_sec += span.tv_sec;
  deadline.tv_nsec += span.tv_nsec;
  if (deadline.tv_nsec >= kNanosecondsPerSecond) ++deadline.tv_sec, deadline.tv_nsec -= kNanosecondsPerSecond;
  pollfd watch{wake_fd, POLLIN, 0};
  for (;;) {
    const timespec now = monotonic_now();
    timespec left{deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
    if (left.tv_nsec < 0) --left.tv_sec, left.tv_nsec += kNanosecondsPerSecond;
    if (left.tv_sec < 0) return false;
    if (left.tv_sec > kSleepSliceSeconds) left = {kSleepSliceSeconds, 0};  // far deadlines in slices
    const int got = ::ppoll(&watch, wake_fd >= 0 ? 1 : 0, &left, nullptr);
    if (got > 0) return true;
    if (got < 0 && errno != EINTR) return false;
  }
}

}  // namespace qel
