// output-text.h: how the scalar types end their form and mold functions: appending text to the
// output string (through the string core, which widens it as needed) and lowering the budget.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/cell.h"
#include "runtime/series.h"

namespace qel {

// What is left of a part budget after n characters, never below the smallest int32.
constexpr int32_t budget_less(int32_t budget, size_t n) {
  int64_t left = int64_t{budget} - static_cast<int64_t>(n);
  return left < INT32_MIN ? INT32_MIN : static_cast<int32_t>(left);
}

// Appends ASCII text and answers the budget less its length: how most form and mold functions end.
inline int32_t output_text(Cell& output, std::string_view text, int32_t budget) {
  series_append_ascii(output.w2, text);
  return budget_less(budget, text.size());
}

// Appends the text, within "#(" and ")" when `all` asks for the construction form (mold/all of
// true, none, unset, datatypes); answers the budget less what was written.
inline int32_t output_construct_text(Cell& output, std::string_view text, bool all, int32_t budget) {
  if (!all) return output_text(output, text, budget);
  budget = output_text(output, "#(", budget);
  budget = output_text(output, text, budget);
  return output_text(output, ")", budget);
}

}  // namespace qel
