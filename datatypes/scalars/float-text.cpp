// float-text.cpp: the double <-> decimal text engine, a wrapper over the standard charconv
// conversions (correctly rounded both ways) that gives them this system's contracts.
//
// The standard conversions are locale-free. Writing asks them for scientific text of the
// magnitude and reshapes it in place. Reading runs its own scanner, which decides what a number
// is, and hands the standard reader only text of a checked shape: ASCII digits with at most one
// ".", then "e", a sign and at most four digits. Text of other units, a shifted or long exponent
// or more than 800 digits is first rewritten so (digits, "e" and a saturated exponent).
#include "datatypes/scalars/float-text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <iterator>
#include <limits>

#include "runtime/quit.h"

namespace qel {

namespace {

constexpr uint64_t kSignBit = uint64_t{1} << 63;
constexpr uint64_t kExponentField = 0x7FF0000000000000;
constexpr uint64_t kMantissaField = 0x000FFFFFFFFFFFFF;
constexpr uint64_t kQuietNaN = 0x7FF8000000000000;

// ---------------------------------------------------------------------------------------------
// Writing

// Where double_to_digits puts the first digit: room ahead for a sign, "0." and six zeros, so
// float_format_digits lays its text out in place around the digits.
constexpr size_t kDigitsAt = 9;
constexpr size_t kBufferSize = sizeof(FloatTextBuffer::chars);

// The longest scientific text of a magnitude: 30 digits, ".", "e-324".
static_assert(kDigitsAt + kMaxFloatDigits + 1 + 5 <= kBufferSize);
// The longest general text: "-0.0001" and 30 digits.
static_assert(7 + kMaxFloatDigits <= kBufferSize);

// The text of infinity or NaN (by the double's bits).
std::string_view not_finite_text(uint64_t bits) {
  if ((bits & kMantissaField) != 0) return "1.#NaN";
  return (bits & kSignBit) != 0 ? "-1.#INF" : "1.#INF";
}

// The answer of double_to_digits for infinity and NaN.
DoubleDigits not_finite_digits(uint64_t bits) {
  bool is_nan = (bits & kMantissaField) != 0;
  return {not_finite_text(bits), kPointNotFinite, !is_nan && (bits & kSignBit) != 0};
}

// The answer of double_to_digits for 0.0 and -0.0.
DoubleDigits zero_digits(bool negative, bool keep_point) {
  std::string_view text = keep_point ? "-0.0" : "-0";
  return {negative ? text : text.substr(1), kPointZero, negative};
}

// Reads the decimal exponent written after "e" ("+05", "-308"): at most three digits.
int read_written_exponent(const char* first, const char* end) {
  bool negative = *first == '-';
  int exponent = 0;
  for (const char* c = first + 1; c < end; ++c) exponent = exponent * 10 + (*c - '0');
  return negative ? -exponent : exponent;
}

// Turns scientific text "d.ddde+XX" (or "de+XX") at first into bare digits without trailing
// zeros; answers the end of the digits and sets point to the exponent + 1.
char* join_scientific_digits(char* first, char* end, int& point) {
  char* e = std::find(first, end, 'e');
  point = read_written_exponent(e + 1, end) + 1;
  char* digits_end = e;
  if (first[1] == '.') {
    std::memmove(first + 1, first + 2, static_cast<size_t>(e - first - 2));
    --digits_end;
  }
  while (digits_end > first + 1 && digits_end[-1] == '0') --digits_end;
  return digits_end;
}

// Writes "e" and the exponent at out (no "+", no leading zeros); answers the new end.
char* write_exponent(char* out, int exponent) {
  *out++ = 'e';
  return std::to_chars(out, out + 5, exponent).ptr;
}

// Scientific layout of count digits at first: "d.ddd" or "d.0" / "d", then the exponent.
char* lay_out_scientific(char* first, size_t count, int point, bool keep_point) {
  char* end = first + count;
  if (count > 1) {
    std::memmove(first + 2, first + 1, count - 1);
    first[1] = '.';
    ++end;
  } else if (keep_point) {
    *end++ = '.';
    *end++ = '0';
  }
  return write_exponent(end, point - 1);
}

// Layout of a value below 1 (point -6 to 0): "0.", -point zeros, then the digits at first.
// Answers the new start.
char* lay_out_fraction(char* first, int point) {
  first -= -point;
  std::fill_n(first, -point, '0');
  *--first = '.';
  *--first = '0';
  return first;
}

// Layout of a value of 1 or more (point 1 to 17): the point after the first point digits,
// zeros when the digits run short, ".0" or nothing after a whole number. Answers the new end.
char* lay_out_whole(char* first, size_t count, int point, bool keep_point) {
  size_t whole = static_cast<size_t>(point);
  if (count > whole) {
    std::memmove(first + whole + 1, first + whole, count - whole);
    first[whole] = '.';
    return first + count + 1;
  }
  char* end = std::fill_n(first + count, whole - count, '0');
  if (keep_point) {
    *end++ = '.';
    *end++ = '0';
  }
  return end;
}

// Drops the "+" and the leading zeros of the exponent of general text ("1e+05" -> "1e5").
char* clean_exponent(char* first, char* end) {
  char* e = std::find(first, end, 'e');
  if (e == end) return end;
  char* out = e + 1;
  const char* in = out;
  if (*in == '+') ++in;
  else if (*in == '-') *out++ = *in++;
  while (in + 1 < end && *in == '0') ++in;
  while (in < end) *out++ = *in++;
  return out;
}

// ---------------------------------------------------------------------------------------------
// Reading

// Digits handed to the standard reader. A boundary between two rounding results (a midpoint of
// neighbouring doubles) has at most 768 significant digits, so the first 800 significant digits
// and one "1" standing for the non-zero digits after them round as the whole text does.
constexpr size_t kKeptDigits = 800;
// Where the explicit exponent saturates while it is read: far beyond any exponent that matters,
// far below where sums with digit counts could wrap in 64 bits.
constexpr int64_t kExponentCeiling = int64_t{1} << 40;
// Where the exponent handed to the standard reader saturates. With at most 801 digits d (d >= 1
// unless all are zero), d x 10^2000 is infinite and d x 10^-2000 is zero, as with any exponent
// beyond.
constexpr int64_t kCanonicalExponentLimit = 2000;
// The longest exponent that text of 1-byte units may hand to the standard reader as written.
constexpr int kShortExponentDigits = 4;

// The powers of ten that doubles hold exactly, and the digit count whose integers they hold.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int64_t kLargestExactPower = 22;
constexpr int64_t kExactDigits = 15;

// The digit value of a unit, or a value of 10 or more for any other unit.
template <typename Unit>
uint32_t digit_value(Unit unit) {
  return static_cast<uint32_t>(unit) - '0';
}

// Whether unit is the ASCII letter lower (given in lower case), in either case.
template <typename Unit>
bool is_letter(Unit unit, char lower) {
  return unit == static_cast<Unit>(lower) || unit == static_cast<Unit>(lower - 'a' + 'A');
}

// Whether all eight bytes of a word are ASCII digits.
bool eight_digits(uint64_t word) {
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
  constexpr uint64_t kDigitHigh = 0x3030303030303030;
  return (word & kHigh) == kDigitHigh && ((word + 0x0606060606060606) & kHigh) == kDigitHigh;
}

// The end of the run of digits from p; bytes are tested eight at a time.
template <typename Unit>
const Unit* skip_digits(const Unit* p, const Unit* end) {
  if constexpr (sizeof(Unit) == 1) {
    for (uint64_t word; end - p >= 8; p += 8) {
      std::memcpy(&word, p, 8);
      if (!eight_digits(word)) break;
    }
  }
  while (p < end && digit_value(*p) <= 9) ++p;
  return p;
}

// A number the scanner found: the runs of digits before and after the point (either may be
// empty, not both) and the exponent that makes the value the digits as written x 10^scale.
template <typename Unit>
struct ScannedNumber {
  std::span<const Unit> integer;
  std::span<const Unit> fraction;
  int64_t scale;

  size_t digit_count() const { return integer.size() + fraction.size(); }

  // Whether the value is 1 or more (it is not zero): its digits from the first non-zero one
  // on, shifted by scale, leave some before the point.
  bool at_least_one() const {
    size_t leading = 0;
    for (std::span<const Unit> run : {integer, fraction}) {
      for (Unit unit : run) {
        if (unit != static_cast<Unit>('0')) return static_cast<int64_t>(digit_count() - leading) + scale > 0;
        ++leading;
      }
    }
    return false;
  }
};

// The value when the digits fit 15 and scale a power of ten a double holds: exact by
// construction, one correctly rounded operation (a scale above 22 first moves spare digits into
// the integer). Answers false otherwise.
template <typename Unit>
bool exact_value(const ScannedNumber<Unit>& number, double& value) {
  auto count = static_cast<int64_t>(number.digit_count());
  int64_t scale = number.scale;
  if (count > kExactDigits || scale < -kLargestExactPower || scale > kLargestExactPower + (kExactDigits - count)) {
    return false;
  }
  uint64_t integer = 0;
  for (std::span<const Unit> run : {number.integer, number.fraction}) {
    for (Unit unit : run) integer = integer * 10 + digit_value(unit);
  }
  for (; scale > kLargestExactPower; --scale) integer *= 10;
  value = scale < 0 ? static_cast<double>(integer) / kExactPowersOfTen[-scale]
                    : static_cast<double>(integer) * kExactPowersOfTen[scale];
  return true;
}

// The standard reader over [first, last), which holds ASCII digits with at most one ".", then
// maybe "e", a sign and at most four digits: the correctly rounded magnitude, or, out of range,
// infinity or zero as the number is 1 or more or not.
template <typename Unit>
double standard_read(const char* first, const char* last, const ScannedNumber<Unit>& number) {
  double value = 0.0;
  auto [stop, error] = std::from_chars(first, last, value);
  if (stop != last) fatal_assertion();  // the scanner has checked the text's shape
  if (error != std::errc::result_out_of_range) return value;
  return number.at_least_one() ? std::numeric_limits<double>::infinity() : 0.0;
}

// The canonical text of a number for the standard reader: its digits as written when there
// are at most kKeptDigits of them, else the first kKeptDigits from the first non-zero one and
// a "1" when a non-zero digit follows them; "e" and the scale of what was written, saturated.
// Answers the end.
template <typename Unit>
char* write_canonical(const ScannedNumber<Unit>& number, char* out) {
  int64_t scale = number.scale;
  size_t written = 0;
  bool long_text = number.digit_count() > kKeptDigits;
  bool sticky = false;
  for (std::span<const Unit> run : {number.integer, number.fraction}) {
    for (Unit unit : run) {
      if (long_text && written == 0 && unit == static_cast<Unit>('0')) continue;  // leading zeros weigh nothing
      if (written < kKeptDigits) {
        out[written++] = static_cast<char>(unit);
      } else {
        ++scale;  // a digit left out
        sticky |= unit != static_cast<Unit>('0');
      }
    }
  }
  if (sticky) {
    out[written++] = '1';
    --scale;
  }
  if (written == 0) out[written++] = '0';  // a long text of zeros
  out[written++] = 'e';
  scale = std::clamp(scale, -kCanonicalExponentLimit, kCanonicalExponentLimit);
  return std::to_chars(out + written, out + written + 5, scale).ptr;
}

// Reads "#INF" / "#NaN" after "d." at p ("#" included). Answers false when the letter after "#"
// decides neither; otherwise sets value and stop (past the word's letters that match).
template <typename Unit>
bool read_not_finite(const Unit* p, const Unit* end, bool negative, double& value, const Unit*& stop) {
  if (end - p < 2 || *p != static_cast<Unit>('#')) return false;
  const char* word;
  if (is_letter(p[1], 'i')) {
    word = "inf";
    value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  } else if (is_letter(p[1], 'n')) {
    word = "nan";
    value = std::bit_cast<double>(kQuietNaN);
  } else {
    return false;
  }
  stop = p + 2;
  for (const char* letter = word + 1; *letter != 0 && stop < end && is_letter(*stop, *letter); ++letter) ++stop;
  return true;
}

// Reads an exponent "e" [sign] digits at p; answers its end (p when there is none) and sets
// exponent, saturated at kExponentCeiling, and its digit count.
template <typename Unit>
const Unit* read_exponent(const Unit* p, const Unit* end, int64_t& exponent, size_t& digits) {
  if (end - p < 2 || !is_letter(*p, 'e')) return p;
  const Unit* first = p + 1;
  bool negative = *first == static_cast<Unit>('-');
  if (negative || *first == static_cast<Unit>('+')) ++first;
  const Unit* q = first;
  int64_t magnitude = 0;
  for (; q < end && digit_value(*q) <= 9; ++q) magnitude = std::min(magnitude * 10 + digit_value(*q), kExponentCeiling);
  if (q == first) return p;
  exponent = negative ? -magnitude : magnitude;
  digits = static_cast<size_t>(q - first);
  return q;
}

// The magnitude with the sign bit of negative (set without a branch: the sign is unpredictable).
double signed_double(double magnitude, bool negative) {
  return std::bit_cast<double>(std::bit_cast<uint64_t>(magnitude) | (static_cast<uint64_t>(negative) << 63));
}

// decimal_text_to_double over text of one unit width.
template <typename Unit>
double read_decimal(std::span<const Unit> text, int32_t exponent_adjustment, size_t& unconsumed) {
  const Unit* p = text.data();
  const Unit* const end = p + text.size();
  bool negative = p < end && *p == static_cast<Unit>('-');
  if (negative || (p < end && *p == static_cast<Unit>('+'))) ++p;
  const Unit* const number_start = p;
  const Unit* const integer_end = p = skip_digits(p, end);
  const Unit* fraction_start = p;
  if (p < end && *p == static_cast<Unit>('.')) {
    double value;
    const Unit* stop;
    if (integer_end - number_start == 1 && read_not_finite(p + 1, end, negative, value, stop)) {
      unconsumed = static_cast<size_t>(end - stop);
      return value;
    }
    fraction_start = ++p;
    p = skip_digits(p, end);
  }
  ScannedNumber<Unit> number{{number_start, integer_end}, {fraction_start, p}, 0};
  if (number.digit_count() == 0) {  // no number here: nothing is read
    unconsumed = text.size();
    return 0.0;
  }
  int64_t exponent = 0;
  size_t exponent_digits = 0;
  const Unit* const number_end = read_exponent(p, end, exponent, exponent_digits);
  unconsumed = static_cast<size_t>(end - number_end);
  // |scale| stays far below 2^62: the exponent is saturated and no address space holds a text
  // that long.
  number.scale = exponent + exponent_adjustment - static_cast<int64_t>(number.fraction.size());
  double magnitude;
  if (exact_value(number, magnitude)) return signed_double(magnitude, negative);
  if constexpr (sizeof(Unit) == 1) {
    // Checked text with a short exponent, taken as it is written, is read as it stands.
    if (exponent_adjustment == 0 && exponent_digits <= kShortExponentDigits && number.digit_count() <= kKeptDigits) {
      return signed_double(standard_read(reinterpret_cast<const char*>(number_start),
                                         reinterpret_cast<const char*>(number_end), number),
                           negative);
    }
  }
  char canonical[kKeptDigits + 1 + 7];  // the digits, the sticky "1", "e", a sign, four digits
  return signed_double(standard_read(canonical, write_canonical(number, canonical), number), negative);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entries

DoubleDigits double_to_digits(double value, int ndigits, bool keep_point, FloatTextBuffer& buffer) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  bool negative = (bits & kSignBit) != 0;
  if ((bits & kExponentField) == kExponentField) return not_finite_digits(bits);
  if ((bits & ~kSignBit) == 0) return zero_digits(negative, keep_point);
  double magnitude = std::bit_cast<double>(bits & ~kSignBit);
  char* first = buffer.chars + kDigitsAt;
  char* limit = std::end(buffer.chars);
  std::to_chars_result written =
      ndigits <= 0 ? std::to_chars(first, limit, magnitude, std::chars_format::scientific)
                   : std::to_chars(first, limit, magnitude, std::chars_format::scientific,
                                   std::min(ndigits, kMaxFloatDigits) - 1);
  if (written.ec != std::errc{}) fatal_assertion();  // the buffer holds the longest text
  int point;
  char* end = join_scientific_digits(first, written.ptr, point);
  return {{first, end}, point, negative};
}

std::string_view float_format_digits(double value, int ndigits, bool keep_point, FloatTextBuffer& buffer) {
  DoubleDigits digits = double_to_digits(value, ndigits, keep_point, buffer);
  if (digits.point >= kPointZero) return digits.text;
  char* first = buffer.chars + kDigitsAt;
  size_t count = digits.text.size();
  char* end;
  if (digits.point >= 18 || digits.point < -6) {
    end = lay_out_scientific(first, count, digits.point, keep_point);
  } else if (digits.point <= 0) {
    end = first + count;
    first = lay_out_fraction(first, digits.point);
  } else {
    end = lay_out_whole(first, count, digits.point, keep_point);
  }
  if (digits.negative) *--first = '-';
  return {first, end};
}

std::string_view float_format_general(double value, int precision, FloatTextBuffer& buffer) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  if ((bits & kExponentField) == kExponentField) return not_finite_text(bits);
  char* first = buffer.chars;
  std::to_chars_result written = std::to_chars(first, std::end(buffer.chars), value, std::chars_format::general,
                                               std::clamp(precision, 1, kMaxFloatDigits));
  if (written.ec != std::errc{}) fatal_assertion();  // the buffer holds the longest text
  return {first, clean_exponent(first, written.ptr)};
}

double decimal_text_to_double(std::span<const uint8_t> text, int32_t exponent_adjustment, size_t& unconsumed) {
  return read_decimal(text, exponent_adjustment, unconsumed);
}

double decimal_text_to_double(std::span<const uint16_t> text, int32_t exponent_adjustment, size_t& unconsumed) {
  return read_decimal(text, exponent_adjustment, unconsumed);
}

double decimal_text_to_double(std::span<const uint32_t> text, int32_t exponent_adjustment, size_t& unconsumed) {
  return read_decimal(text, exponent_adjustment, unconsumed);
}

std::string_view whole_double_digits(double whole, WholeDigitsBuffer& buffer) {
  auto result = std::to_chars(buffer.chars, buffer.chars + sizeof buffer.chars, whole, std::chars_format::fixed, 0);
  return {buffer.chars, static_cast<size_t>(result.ptr - buffer.chars)};
}

}  // namespace qel
