// float.h: float! and percent!, the 64-bit IEEE double (percent! holds the fraction: 1% is
// 0.01): constructors, accessors, the float arithmetic core and the routines other types use.
#pragma once

#include <bit>
#include <cstdint>

#include "datatypes/scalars/math-ops.h"
#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// Words 2 and 3 hold the double, low half first; word 1 is not used.
inline Cell* float_make_at(Cell& cell, double value, Type type = Type::float_) {
  cell.header = static_cast<uint32_t>(type);
  set_payload_f64(cell, value);
  return &cell;
}
inline Cell* float_make_in(const Cell& block, double value) { return float_make_at(*block_append_fresh_slot(block), value); }
inline Cell* float_push(double value) { return float_make_at(*stack_push_cell(), value); }
// A float! from the two halves of its bit pattern.
inline Cell* float_push_halves(uint32_t low, uint32_t high) {
  return float_push(std::bit_cast<double>(uint64_t{high} << 32 | low));
}
inline Cell* float_box(double value) { return float_make_at(*value_stack.base, value); }

inline double float_value(const Cell& cell) { return payload_f64(cell); }

// --- Doubles ---------------------------------------------------------------------------------------

inline constexpr double kFloatEpsilon = 2.220446049250313e-16;

constexpr double double_clear_sign(double value) {
  return std::bit_cast<double>(std::bit_cast<uint64_t>(value) & ~(uint64_t{1} << 63));
}
// NaN from the two halves of a double: exponent all ones and mantissa not zero.
constexpr bool float_nan(uint32_t low, uint32_t high) {
  return (high & 0x7FF00000) == 0x7FF00000 && ((high & 0x000FFFFF) | low) != 0;
}
constexpr bool float32_nan(float value) { return value != value; }
constexpr bool float_not_finite(double value) {
  return (std::bit_cast<uint64_t>(value) & 0x7FF0000000000000) == 0x7FF0000000000000;
}
// The double is above 2147483647.0, below -2147483648.0, or NaN.
constexpr bool double_out_of_int_range(double value) { return !(value >= -2147483648.0 && value <= 2147483647.0); }
inline bool float_out_of_int_range(const Cell& cell) { return double_out_of_int_range(float_value(cell)); }

// The nearest integer, halves going up (2.5 gives 3, -2.5 gives -2); NaN gives 0 and values
// beyond the 32-bit range clamp to it. Places pixels.
int32_t float_round_to_int(double value);

// Equal, or within 2.220446049250313e-16 of each other, or at most 10 doubles apart; never for
// a NaN.
bool float_almost_equal(double a, double b);
// The same for float32 values; magnitudes at or above the largest float32 must match in sign
// and lie fewer than 0x100000 float32 steps apart.
bool float32_almost_equal(float a, float b);

// --- The arithmetic core ----------------------------------------------------------------------------

// The IEEE operation for add, subtract, multiply and divide (infinities and NaN, never an error)
// and the remainder; any other code raises script cannot-use naming the action and float!.
double float_math_op(double left, double right, int32_t op);

// The float arithmetic of value1 op value2 into value1, the first an integer!, float! or
// percent!: the second's type routes the operation (numbers by the float core, others to their
// own types' arithmetic; invalid-type for the rest).
void float_arithmetic(Cell& value1, Cell& value2, int32_t op);

// power with the value taken as a double: the exponent must be an integer! or float!, else
// script expect-arg.
void float_power(Cell& value, const Cell& exponent);

// round of a float!, percent! (or an integer! taken as float!) with an optional scale.
void float_round(Cell& value, const Cell* scale, const RoundMode& mode);

// -1, 0 or 1 (-2 when not comparable) for two doubles under a comparison code.
int32_t float_compare_doubles(double a, double b, int32_t code);

// The random double of random: value x r / 2147483647.0 from the generator, or from two draws
// of the secure source.
double float_random_value(double value, bool secure);

void register_float_datatype();

}  // namespace qel
