// float-form.cpp: formed text of doubles by mode.
#include "datatypes/scalars/float-form.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "datatypes/scalars/float.h"

namespace qel {

namespace {

bool pretty_print = true;

bool is_percent_mode(FloatTextMode mode) {
  return mode == FloatTextMode::float32_percent || mode == FloatTextMode::percent_form;
}

bool is_float32_mode(FloatTextMode mode) {
  return mode == FloatTextMode::float32 || mode == FloatTextMode::float32_percent || mode == FloatTextMode::float32_bare;
}

// The first text of a value: the mode's precision.
std::string_view first_text(double value, FloatTextMode mode, FloatTextBuffer& buffer) {
  if (mode == FloatTextMode::time_seconds) return float_format_digits(value, 6, false, buffer);
  int precision = is_float32_mode(mode) ? 7 : mode == FloatTextMode::percent_form ? 13 : 16;
  return float_format_general(value, precision, buffer);
}

// The precision of the second, shorter text.
int short_precision(FloatTextMode mode) {
  return mode == FloatTextMode::float32 || mode == FloatTextMode::time_seconds || mode == FloatTextMode::float32_bare
             ? 5
             : 14;
}

// Whether a text is long enough to be formed again and ends (before any exponent) in "01" or
// "99": the noise of a last binary digit (0.1 + 0.7 gives 0.7999999999999999).
bool ends_in_noise(std::string_view text) {
  size_t e = text.find('e');
  std::string_view mantissa = text.substr(0, e);
  bool is_long;
  if (e != std::string_view::npos) {
    is_long = mantissa.size() > 16;
  } else {
    size_t first_digit = text.starts_with('-') ? 1 : 0;
    is_long = text.size() > (text.size() > first_digit && text[first_digit] == '0' ? 17u : 16u);
  }
  return is_long && (mantissa.ends_with("01") || mantissa.ends_with("99"));
}

// Copies text into the buffer and answers it there.
std::string_view place(std::string_view text, FloatTextBuffer& buffer) {
  std::memmove(buffer.chars, text.data(), text.size());
  return {buffer.chars, text.size()};
}

}  // namespace

bool float_pretty_print() { return pretty_print; }
void set_float_pretty_print(bool on) { pretty_print = on; }

std::string_view float_to_text(double value, FloatTextMode mode, FloatTextBuffer& buffer) {
  if (float_not_finite(value)) return float_format_general(value, 1, buffer);  // the special texts
  bool percent = is_percent_mode(mode);
  // Zero forms without its sign; so does a time's seconds part below the double epsilon, the
  // noise of time arithmetic. Any other value keeps its digits, however small.
  if (pretty_print && (value == 0.0 || (mode == FloatTextMode::time_seconds && std::fabs(value) < kFloatEpsilon)))
    return place(percent ? "0%" : mode == FloatTextMode::float32_bare ? "0" : "0.0", buffer);
  FloatTextBuffer scratch;
  std::string_view text = first_text(value, mode, scratch);
  if (pretty_print && ends_in_noise(text)) text = float_format_general(value, short_precision(mode), scratch);
  // The ending: "%", or ".0" before the exponent (or at the end) where no point was written.
  size_t size = text.size();
  std::memcpy(buffer.chars, text.data(), size);
  if (percent) {
    buffer.chars[size++] = '%';
  } else if (text.find('.') == std::string_view::npos && mode != FloatTextMode::time_seconds &&
             mode != FloatTextMode::float32_bare) {
    size_t at = std::min(text.find('e'), size);
    std::memmove(buffer.chars + at + 2, buffer.chars + at, size - at);
    std::memcpy(buffer.chars + at, ".0", 2);
    size += 2;
  }
  return {buffer.chars, size};
}

}  // namespace qel
