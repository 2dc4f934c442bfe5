// fast-paths.h: operators, comparisons, block picks and navigation done in place for the common
// types, with the general route (a native frame and the action's entry) for everything else.
// Both routes leave the same result in the same place, so a caller cannot tell them apart.
#pragma once

#include <cstdint>

#include "datatypes/scalars/math-ops.h"
#include "runtime/cell.h"
#include "runtime/value-stack.h"

namespace qel {

// Arithmetic codes are those of the arithmetic cores (math-ops.h) but divide and remainder:
// add, subtract, multiply, or, and, xor; any other is runtime error 101.
// Navigation codes (others are runtime error 101).
enum NavCode : int32_t {
  kNavLength = 1, kNavIndex = 2, kNavHeadQ = 3, kNavTailQ = 4, kNavNext = 5, kNavBack = 6, kNavHead = 7, kNavTail = 8,
};

// Every operation takes the operator's word (only the general route uses it, to name its frame).
// Two integer! operands are handled inline here; everything else, and an integer result that
// does not fit 32 bits, takes the out-of-line routines (`..._rest`).

// The 32-bit result of an arithmetic code on two integers; false when it overflows (or the code
// is not one of the table's: the rest raises 101).
inline bool integer_arith_fits(int32_t code, int32_t a, int32_t b, int32_t& result) {
  switch (code) {
    case kOpAdd: return !__builtin_add_overflow(a, b, &result);
    case kOpSubtract: return !__builtin_sub_overflow(a, b, &result);
    case kOpMultiply: return !__builtin_mul_overflow(a, b, &result);
    case kOpOr: result = a | b; return true;
    case kOpAnd: result = a & b; return true;
    case kOpXor: result = a ^ b; return true;
    default: return false;
  }
}

// The truth of a comparison code on two integers; false with `known` cleared for a code outside
// 0 to 6 (the rest raises 101).
inline bool integer_compare(int32_t code, int32_t a, int32_t b, bool& known) {
  known = true;
  switch (code) {
    case 0: case 2: return a == b;
    case 1: return a != b;
    case 3: return a < b;
    case 4: return a <= b;
    case 5: return a > b;
    case 6: return a >= b;
    default: known = false; return false;
  }
}

// The in-place result of two integers when it fits; false otherwise.
inline bool integer_arith_in_place(int32_t code, const Cell& left, const Cell& right, Cell& result) {
  int32_t value;
  if (cell_type(left) != Type::integer || cell_type(right) != Type::integer ||
      !integer_arith_fits(code, payload_i32(left, 2), payload_i32(right, 2), value)) [[unlikely]]
    return false;
  result = make_cell(Type::integer, 0, static_cast<uint32_t>(value));
  return true;
}

// The flag of a comparison of two integers, when both are and the code is known.
inline bool integer_compare_in_place(int32_t code, const Cell& left, const Cell& right, bool& flag) {
  bool known = false;
  if (cell_type(left) == Type::integer && cell_type(right) == Type::integer)
    flag = integer_compare(code, payload_i32(left, 2), payload_i32(right, 2), known);
  return known;
}

void fast_arith_rest(const Cell& word, int32_t code, const Cell& left, const Cell& right);
void fast_arith_top_rest(const Cell& word, int32_t code, const Cell& right);
bool compare_flag_rest(const Cell& word, int32_t code, const Cell& left, const Cell& right);

// fast-arith: the result pushed. Two integer!: in place, an add, subtract or multiply that
// overflows 32 bits giving the float! of the operation on doubles; two float! with codes 0-2: in
// place; anything else: the general route.
inline void fast_arith(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  Cell result;
  if (integer_arith_in_place(code, left, right, result)) [[likely]]
    stack_push_value(result);
  else
    fast_arith_rest(word, code, left, right);
}
inline void fast_arith_int(const Cell& word, int32_t code, const Cell& left, int32_t right) {
  fast_arith(word, code, left, make_cell(Type::integer, 0, static_cast<uint32_t>(right)));
}
// The left operand is the last pushed cell; the result replaces it.
inline void fast_arith_top(const Cell& word, int32_t code, const Cell& right) {
  Cell* left = stack_last_value();
  if (!integer_arith_in_place(code, *left, right, *left)) [[unlikely]] fast_arith_top_rest(word, code, right);
}
inline void fast_arith_top_int(const Cell& word, int32_t code, int32_t right) {
  fast_arith_top(word, code, make_cell(Type::integer, 0, static_cast<uint32_t>(right)));
}

// The flag of a comparison by the codes of compare-values 0 to 6 (others: 101): in place for two
// integers, else through a native frame and compare-to-logic; the value stack as it was.
inline bool compare_flag(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  bool flag;
  if (integer_compare_in_place(code, left, right, flag)) [[likely]] return flag;
  return compare_flag_rest(word, code, left, right);
}

// fast-compare: the logic! result pushed and answered.
inline bool fast_compare(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  const bool flag = compare_flag(word, code, left, right);
  stack_push_value(make_cell(Type::logic, flag));
  return flag;
}
inline bool fast_compare_int(const Cell& word, int32_t code, const Cell& left, int32_t right) {
  return fast_compare(word, code, left, make_cell(Type::integer, 0, static_cast<uint32_t>(right)));
}
// fast-compare-test: 1 when the result differs from `expected`, else 0; the value stack unchanged.
inline int fast_compare_test(const Cell& word, int32_t code, const Cell& left, const Cell& right, bool expected) {
  return compare_flag(word, code, left, right) != expected;
}
inline int fast_compare_int_test(const Cell& word, int32_t code, const Cell& left, int32_t right, bool expected) {
  return fast_compare_test(word, code, left, make_cell(Type::integer, 0, static_cast<uint32_t>(right)), expected);
}
// fast-compare-base: the result written into the current frame's result cell and answered.
inline bool fast_compare_base(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  const bool flag = compare_flag(word, code, left, right);
  *stack_base() = make_cell(Type::logic, flag);
  return flag;
}
inline bool fast_compare_base_int(const Cell& word, int32_t code, const Cell& left, int32_t right) {
  return fast_compare_base(word, code, left, make_cell(Type::integer, 0, static_cast<uint32_t>(right)));
}
// fast-compare-top: the last pushed cell compared with the operand; the result replaces it.
inline bool fast_compare_top(const Cell& word, int32_t code, const Cell& right) {
  const Cell left = *stack_last_value();
  const bool flag = compare_flag(word, code, left, right);
  *stack_last_value() = make_cell(Type::logic, flag);
  return flag;
}
inline bool fast_compare_top_int(const Cell& word, int32_t code, int32_t right) {
  return fast_compare_top(word, code, make_cell(Type::integer, 0, static_cast<uint32_t>(right)));
}

// compare-to-logic: the current frame's first two cells compared (compare-values), the logic!
// result written into its result cell.
void compare_to_logic(int32_t code);

// fast-block-pick: pick n of a block! pushed (position index + n - 1 for n > 0, index + n for
// n < 0; none! for n = 0 and outside the block); any other type through the path-step entry.
void fast_block_pick(const Cell& word, const Cell& value, int32_t n);
// fast-series-nav: the navigation of a block! pushed; any other type through the action entry.
void fast_series_nav(const Cell& word, const Cell& value, int32_t code);

}  // namespace qel
