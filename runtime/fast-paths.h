// fast-paths.h: operators, comparisons, block picks and navigation done in place for the common
// types, with the general route (a native frame and the action's entry) for everything else.
// Both routes leave the same result in the same place, so a caller cannot tell them apart.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// Arithmetic codes (others, 3 and 4 included, are runtime error 101).
enum ArithCode : int32_t { kArithAdd = 0, kArithSubtract = 1, kArithMultiply = 2, kArithOr = 5, kArithAnd = 6, kArithXor = 7 };
// Navigation codes (others are runtime error 101).
enum NavCode : int32_t {
  kNavLength = 1, kNavIndex = 2, kNavHeadQ = 3, kNavTailQ = 4, kNavNext = 5, kNavBack = 6, kNavHead = 7, kNavTail = 8,
};

// Every operation takes the operator's word (only the general route uses it, to name its frame).

// fast-arith: the result pushed. Two integer!: in place, an add, subtract or multiply that
// overflows 32 bits giving the float! of the operation on doubles; two float! with codes 0-2: in
// place; anything else: the general route.
void fast_arith(const Cell& word, int32_t code, const Cell& left, const Cell& right);
void fast_arith_int(const Cell& word, int32_t code, const Cell& left, int32_t right);
// The left operand is the last pushed cell; the result replaces it.
void fast_arith_top(const Cell& word, int32_t code, const Cell& right);
void fast_arith_top_int(const Cell& word, int32_t code, int32_t right);

// Comparisons by the codes of compare-values 0 to 6 (others: 101); two integer! in place.
// fast-compare: the logic! result pushed and answered.
bool fast_compare(const Cell& word, int32_t code, const Cell& left, const Cell& right);
bool fast_compare_int(const Cell& word, int32_t code, const Cell& left, int32_t right);
// fast-compare-test: 1 when the result differs from `expected`, else 0; the value stack unchanged.
int fast_compare_test(const Cell& word, int32_t code, const Cell& left, const Cell& right, bool expected);
int fast_compare_int_test(const Cell& word, int32_t code, const Cell& left, int32_t right, bool expected);
// fast-compare-base: the result written into the current frame's result cell and answered.
bool fast_compare_base(const Cell& word, int32_t code, const Cell& left, const Cell& right);
bool fast_compare_base_int(const Cell& word, int32_t code, const Cell& left, int32_t right);
// fast-compare-top: the last pushed cell compared with the operand; the result replaces it.
bool fast_compare_top(const Cell& word, int32_t code, const Cell& right);
bool fast_compare_top_int(const Cell& word, int32_t code, int32_t right);
// compare-to-logic: the current frame's first two cells compared (compare-values), the logic!
// result written into its result cell.
void compare_to_logic(int32_t code);

// fast-block-pick: pick n of a block! pushed (position index + n - 1 for n > 0, index + n for
// n < 0; none! for n = 0 and outside the block); any other type through the path-step entry.
void fast_block_pick(const Cell& word, const Cell& value, int32_t n);
// fast-series-nav: the navigation of a block! pushed; any other type through the action entry.
void fast_series_nav(const Cell& word, const Cell& value, int32_t code);

}  // namespace qel
