// conversion-natives.cpp: uppercase, lowercase, as-pair, as-point2D, as-point3D, as-money, as
// and to-local-file.
#include "evaluator/conversion-natives.h"

#include <cmath>
#include <limits>

#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/datatype.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/money.h"
#include "datatypes/series/change-case.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/url.h"
#include "runtime/action-entries.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

Status change_case(const int32_t* refinements, Case which) {
  Cell& value = value_stack.base[0];
  change_case_value(value, refinement_argument(refinements[0]), which);
  stack_keep_first();
  return {};
}

// An integer! or float! argument as a double.
double number_of(const Cell& number) {
  return cell_type(number) == Type::integer ? integer_value(number) : float_value(number);
}

// A pair coordinate: an integer as it is, a float truncated toward zero; a float that is not
// finite or whose truncation leaves 32 bits is script invalid-arg.
int32_t pair_coordinate(const Cell& number) {
  if (cell_type(number) == Type::integer) return integer_value(number);
  const double truncated = std::trunc(float_value(number));
  constexpr double kLow = std::numeric_limits<int32_t>::min(), kHigh = std::numeric_limits<int32_t>::max();
  if (!(truncated >= kLow && truncated <= kHigh)) raise_error(error_id("script", "invalid-arg"), number);
  return static_cast<int32_t>(truncated);
}

float point_coordinate_of(const Cell& number) { return static_cast<float>(number_of(number)); }

enum class SeriesClass : uint8_t { none, block, text };

SeriesClass series_class(Type type) {
  switch (type) {
    case Type::block: case Type::paren: case Type::path: case Type::lit_path: case Type::set_path:
    case Type::get_path:
      return SeriesClass::block;
    case Type::string: case Type::file: case Type::url: case Type::tag: case Type::email: case Type::ref:
      return SeriesClass::text;
    default: return SeriesClass::none;
  }
}

}  // namespace

Status native_uppercase(const int32_t* refinements) { return change_case(refinements, Case::upper); }
Status native_lowercase(const int32_t* refinements) { return change_case(refinements, Case::lower); }

Status native_as_pair(const int32_t*) {
  const int32_t x = pair_coordinate(value_stack.base[0]);
  const int32_t y = pair_coordinate(value_stack.base[1]);
  Cell pair = make_cell(Type::none);
  stack_set_result_only(*pair_make_at(pair, x, y));
  return {};
}

Status native_as_point2d(const int32_t*) {
  Cell point = make_cell(Type::none);
  stack_set_result_only(*point2D_make_at(point, point_coordinate_of(value_stack.base[0]), point_coordinate_of(value_stack.base[1])));
  return {};
}

Status native_as_point3d(const int32_t*) {
  Cell point = make_cell(Type::none);
  point3D_make_at(point, point_coordinate_of(value_stack.base[0]), point_coordinate_of(value_stack.base[1]),
                  point_coordinate_of(value_stack.base[2]));
  stack_set_result_only(point);
  return {};
}

Status native_as_money(const int32_t*) {
  const Cell& currency = value_stack.base[0];
  const Cell& amount = value_stack.base[1];
  const int32_t index = money_find_currency(currency);
  if (index < 0) raise_error(error_id("script", "bad-denom"), currency);
  Cell money;
  if (cell_type(amount) == Type::integer) money_from_integer(money, integer_value(amount));
  else money_from_float(money, float_value(amount));
  money_set_currency(money, static_cast<uint32_t>(index));
  stack_set_result_only(money);
  return {};
}

Status native_as(const int32_t*) {
  const Cell& type = value_stack.base[0];
  Cell spec = value_stack.base[1];
  const Type target = cell_type(type) == Type::datatype ? datatype_value(type) : cell_type(type);
  const Type from = cell_type(spec);
  if (series_class(target) == SeriesClass::none || series_class(target) != series_class(from)) {
    Cell target_type, from_type;
    datatype_make_at(from_type, from);
    datatype_make_at(target_type, target);
    raise_error(error_id("script", "not-same-class"), from_type, target_type);
  }
  set_value_type_byte(spec, target);
  stack_set_result_only(spec);
  return {};
}

Status native_to_local_file(const int32_t* refinements) {
  const bool full = refinement_flag(refinements[0]);
  Cell text;
  string_make_at(text, 0);
  stack_push_value(text);  // kept on the stack while the path is written into it
  file_path_to_local(value_stack.base[0], text.w2, full);
  stack_set_result_only(text);
  return {};
}

}  // namespace qel
