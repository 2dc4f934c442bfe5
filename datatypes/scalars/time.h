// time.h: time!, a signed duration in seconds (a double) written as hours, minutes and
// seconds: constructors, the field splits date! shares, the text, and the registration.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// Words 2 and 3 hold the seconds, low half first; word 1 is not used.
inline Cell* time_make_at(Cell& cell, double seconds) {
  cell.header = static_cast<uint32_t>(Type::time);
  cell.w1 = 0;
  set_payload_f64(cell, seconds);
  return &cell;
}
inline Cell* time_make_in(const Cell& block, double seconds) {
  return time_make_at(*block_append_fresh_slot(block), seconds);
}
inline Cell* time_push(double seconds) { return time_make_at(*stack_push_cell(), seconds); }

inline double time_value(const Cell& cell) { return payload_f64(cell); }

inline constexpr double kSecondsPerHour = 3600.0;
inline constexpr double kSecondsPerMinute = 60.0;

// The fields by number: 1 hour, 2 minute, 3 second.
enum TimeField : int32_t { kTimeHour = 1, kTimeMinute = 2, kTimeSecond = 3 };

// The field an integer! 1-3 or a word hour, minute or second names; 0 for anything else.
int32_t time_field_number(const Cell& element);

// The value of a field of t: the hour truncated toward zero (an integer!; script type-limit
// beyond 32 bits), the minute of |t| (an integer!), the seconds left, with t's sign (a float!).
Cell time_field_value(double t, int32_t field);

// t with one field set to an integer! (hour, minute) or an integer! or float! (second), by the
// same splits as get, so the other fields stay as they read; script invalid-arg for another
// value.
double time_with_field(double t, int32_t field, const Cell& value);

// Appends the text of t ("-1:02:03.5", "100:00:00") and answers the budget less what was
// written after the sign. Seconds are written to six significant digits and carry into the
// minutes and hours when they round to 60.
int32_t time_output_text(double t, Cell& output, int32_t budget);

// A finite result of time arithmetic, else math zero-divide (a divide or remainder by zero) or
// overflow.
double time_checked_result(double result, double divisor, int32_t op);

void register_time_datatype();

}  // namespace qel
