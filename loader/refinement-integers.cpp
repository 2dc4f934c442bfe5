// refinement-integers.cpp: a non-integer is refused rather than read as a raw payload.
#include "loader/refinement-integers.h"

#include "datatypes/scalars/integer.h"
#include "datatypes/series/series.h"
#include "runtime/error-raise.h"
#include "runtime/services.h"

namespace qel {

std::optional<int32_t> refinement_integer(const Cell* argument, const char* refinement) {
  if (!argument) return std::nullopt;
  if (cell_type(*argument) != Type::integer)
    raise_invalid_refine_arg(services().word_from_c_string(refinement), *argument);
  return integer_value(*argument);
}

std::optional<int32_t> refinement_offset(const Cell* seek) {
  std::optional<int32_t> offset = refinement_integer(seek, "seek");
  if (offset && *offset < 0) raise_error(error_id("script", "out-of-range"), *seek);
  return offset;
}

}  // namespace qel
