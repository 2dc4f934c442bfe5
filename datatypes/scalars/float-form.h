// float-form.h: the formed text of doubles (float! and percent! form, and the float parts of
// pairs, points, vectors and time), with the "pretty" adjustments.
#pragma once

#include <string_view>

#include "datatypes/scalars/float-text.h"

namespace qel {

// What a double is formed for; each mode has its precision and its ending.
enum class FloatTextMode : int {
  float32 = 0,          // float32 components: 7 digits
  float_form = 1,       // float! form, 64-bit vector elements: 16 digits
  float32_percent = 2,  // float32 percent elements: 7 digits, then "%"
  percent_form = 3,     // percent! form (the value x 100): 13 digits, then "%"
  time_seconds = 4,     // seconds of time!: 6 significant digits in the system's layout, no ".0"
  float32_bare = 5,     // float32 without the ".0" ending: 7 digits
};

// The process-wide "pretty" flag (on at start-up): zero forms without a sign (and so does a
// time's seconds part below 2.220446049250313e-16), and a long text ending in "01" or "99" is
// formed again with fewer digits.
bool float_pretty_print();
void set_float_pretty_print(bool on);

// The text of a double in a mode: "1.#INF", "-1.#INF" and "1.#NaN" for the specials; otherwise
// the general form of the mode's precision with a clean exponent ("1e20", "1.5e-7"), then "%"
// in the percent modes, else ".0" where no point was written (except modes 4 and 5).
std::string_view float_to_text(double value, FloatTextMode mode, FloatTextBuffer& buffer);

}  // namespace qel
