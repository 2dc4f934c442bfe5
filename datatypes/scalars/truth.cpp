// truth.cpp: the truth tests that raise on an unset! value.
#include "datatypes/scalars/truth.h"

#include "runtime/error-raise.h"

namespace qel {

bool value_true(const Cell& cell, bool check_unset, const Cell& name) {
  if (check_unset && cell_type(cell) == Type::unset) raise_error(error_id("script", "no-value"), name);
  return cell_truthy(cell);
}

void raise_no_return() { raise_error(error_id("script", "no-return")); }

}  // namespace qel
