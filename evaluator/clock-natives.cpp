// clock-natives.cpp: now over one clock reading and the date services, wait over the OS sleep,
// which Ctrl+C cuts short.
#include "evaluator/clock-natives.h"

#include "datatypes/scalars/date.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/time.h"
#include "runtime/action-entries.h"
#include "runtime/error-raise.h"
#include "runtime/halt-exit.h"
#include "runtime/interrupt.h"
#include "runtime/os-time.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// now's refinements in spec order: the nine that select (or refine) the answer, then /utc.
constexpr NowField kFieldOfRefinement[] = {NowField::year, NowField::month,   NowField::day,
                                           NowField::time, NowField::zone,    NowField::date,
                                           NowField::weekday, NowField::yearday};
constexpr size_t kPreciseRefinement = 8;
constexpr size_t kUtcRefinement = 9;

Cell integer_of(int64_t n) { return make_cell(Type::integer, 0, static_cast<uint32_t>(n)); }

Cell time_of(double seconds) {
  Cell time;
  return *time_make_at(time, seconds);
}

}  // namespace

Cell now_value(const ClockReading& reading, NowField field) {
  const int64_t days = civil_to_days(reading.year, reading.month, reading.day);
  Cell date;
  switch (field) {
    case NowField::year: return integer_of(reading.year);
    case NowField::month: return integer_of(reading.month);
    case NowField::day: return integer_of(reading.day);
    case NowField::time: return time_of(reading.seconds);
    case NowField::zone: return time_of(date_zone_offset(reading.zone));
    case NowField::weekday: return integer_of(weekday_of_days(days));
    case NowField::yearday: return integer_of(days - date_year_start(reading.year) + 1);
    case NowField::date: return *date_make_at(date, reading.year, reading.month, reading.day, 0.0, 0, false);
    case NowField::date_time: break;
  }
  return *date_make_at(date, reading.year, reading.month, reading.day, reading.seconds, reading.zone, true);
}

Status native_now(const int32_t* refinements) {
  NowField field = NowField::date_time;
  int chosen = 0;
  for (size_t k = 0; k < std::size(kFieldOfRefinement); ++k) {
    if (!refinement_flag(refinements[k])) continue;
    field = kFieldOfRefinement[k];
    ++chosen;
  }
  const bool precise = refinement_flag(refinements[kPreciseRefinement]);
  // /precise refines the whole date or the time; with any other field it is one field too many.
  if (chosen > 1 || (precise && chosen == 1 && field != NowField::time)) raise_error(error_id("script", "bad-refines"));
  stack_set_result_only(now_value(os_now_reading(refinement_flag(refinements[kUtcRefinement]), precise), field));
  return {};
}

Status native_wait(const int32_t*) {
  const Cell& value = value_stack.base[0];
  double seconds = 0;
  switch (cell_type(value)) {
    case Type::integer: seconds = integer_value(value); break;
    case Type::float_: case Type::percent: case Type::time: seconds = payload_f64(value); break;
    default: raise_error(error_id("script", "invalid-arg"), value);
  }
  // Ctrl+C ends the wait, to the console's catch; a request that waits for such a catch to open
  // lets the wait sleep, or every wait until then would end at once.
  if (interrupt_pending() && !halt_target_open())
    os_sleep(seconds);
  else if (interrupt_wait(seconds))
    halt_if_interrupted();
  services().run_event_loop();
  stack_set_result_only(make_cell(Type::none));
  return {};
}

}  // namespace qel
