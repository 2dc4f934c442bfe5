// clock-natives.h: now and wait.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/os-time.h"
#include "runtime/throw.h"

namespace qel {

// The field of a reading that now answers: the whole date! or one refinement's part.
enum class NowField : uint8_t { date_time, year, month, day, time, zone, date, weekday, yearday };

// The value of the field in a clock reading: the date! with time and zone; the year, month,
// day, weekday (Monday 1) or day of the year as integer!; the time of day or the zone as time!;
// the date alone.
Cell now_value(const ClockReading& reading, NowField field);

// now /year /month /day /time /zone /date /weekday /yearday /precise /utc: one reading of the
// clock, local or UTC, whole seconds unless /precise; two field refinements (but /time with
// /precise) are script bad-refines.
Status native_now(const int32_t* refinements);

// wait value /all: sleeps the seconds of a number or time! (at least 1 ms), then handles the
// window events already pending; answers none. A block! or none! is script invalid-arg.
Status native_wait(const int32_t* refinements);

}  // namespace qel
