// compare-codes.h: the groups of comparison codes the scalar compare functions answer by.
#pragma once

#include <cstdint>

#include "runtime/action-lookup.h"

namespace qel {

// equal?, not-equal?, strict-equal?, same? and the equality of find and select.
constexpr bool is_equality_code(int32_t code) {
  return (code >= kCompareEqual && code <= kCompareStrictEqual) || code == kCompareSame || code == kCompareFind;
}

// The codes that tell values of another type apart: strict-equal? and find's equality.
constexpr bool is_strict_code(int32_t code) { return code == kCompareStrictEqual || code == kCompareFind; }

// The equality codes and the two sort orders.
constexpr bool is_equality_or_sort_code(int32_t code) {
  return is_equality_code(code) || code == kCompareSort || code == kCompareSortCase;
}

// -1, 0 or 1 as a is below, equal to or above b.
template <class T>
constexpr int32_t three_way(T a, T b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

// unset! and none!: a value of the same type is equal (0) under the equality and sort codes;
// everything else cannot compare.
inline int32_t unit_value_compare(const Cell& value, const Cell& other, int32_t code) {
  return cell_type(other) == cell_type(value) && is_equality_or_sort_code(code) ? 0 : kNotComparable;
}

}  // namespace qel
