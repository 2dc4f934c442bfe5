// math-natives.cpp: sine, cosine and tangent (degrees folded into range first), the arc
// functions, log-2, log-10, log-e, exp and square-root. The formulas and their order of
// operations are fixed, so results match to the last digit; domain errors give NaN or an
// infinity, never a language error.
#include "evaluator/math-natives.h"

#include <cmath>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "evaluator/words.h"
#include "runtime/action-entries.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kLn2 = 0.6931471805599453;
constexpr double kE = 2.718281828459045;

// arg-to-float: an integer! exactly, a percent! as its fraction, a float! as it is.
double arg_to_float(const Cell& value) {
  return cell_type(value) == Type::integer ? static_cast<double>(integer_value(value)) : float_value(value);
}

Status answer_float(double value) {
  float_box(value);
  stack_keep_first();
  return {};
}

// The angle argument in radians: as given with /radians, else folded by the mode (0 tangent,
// 1 cosine, 2 sine) and converted.
double angle_argument(const int32_t* refinements, int32_t mode) {
  const double angle = arg_to_float(value_stack.base[0]);
  return refinement_flag(refinements[0]) ? angle : angle_to_radians(angle, mode);
}

// A sine or cosine below the double epsilon is 0.0, so sine 180 is 0.0 exactly; the angle
// itself so small is left alone, since there the result is the angle (sine/radians 1e-20).
double snap_to_zero(double radians, double result) {
  return std::fabs(radians) >= kFloatEpsilon && std::fabs(result) < kFloatEpsilon ? 0.0 : result;
}

// An arc function's answer in radians, or in degrees without /radians.
Status answer_angle(const int32_t* refinements, double radians) {
  return answer_float(refinement_flag(refinements[0]) ? radians : radians * 180.0 / kPi);
}

double first_float() { return arg_to_float(value_stack.base[0]); }

}  // namespace

Status native_sine(const int32_t* refinements) {
  const double radians = angle_argument(refinements, 2);
  return answer_float(snap_to_zero(radians, std::sin(radians)));
}

Status native_cosine(const int32_t* refinements) {
  const double radians = angle_argument(refinements, 1);
  return answer_float(snap_to_zero(radians, std::cos(radians)));
}

// tangent: an infinity at exactly plus or minus a right angle, where tan gives a large finite
// number.
Status native_tangent(const int32_t* refinements) {
  const double radians = angle_argument(refinements, 0);
  if (radians == kPi / 2.0) return answer_float(HUGE_VAL);
  if (radians == kPi / -2.0) return answer_float(-HUGE_VAL);
  return answer_float(std::tan(radians));
}

Status native_arcsine(const int32_t* refinements) { return answer_angle(refinements, std::asin(first_float())); }
Status native_arccosine(const int32_t* refinements) { return answer_angle(refinements, std::acos(first_float())); }
Status native_arctangent(const int32_t* refinements) { return answer_angle(refinements, std::atan(first_float())); }

// arctangent2 y x
Status native_arctangent2(const int32_t* refinements) {
  return answer_angle(refinements, std::atan2(first_float(), arg_to_float(value_stack.base[1])));
}

Status native_log_2(const int32_t*) { return answer_float(std::log(first_float()) / kLn2); }
Status native_log_10(const int32_t*) { return answer_float(std::log10(first_float())); }
Status native_log_e(const int32_t*) { return answer_float(std::log(first_float())); }
// pow of the constant e, not exp: the two differ in the last digit for some arguments.
Status native_exp(const int32_t*) { return answer_float(std::pow(kE, first_float())); }
Status native_square_root(const int32_t*) { return answer_float(std::sqrt(first_float())); }

}  // namespace qel
