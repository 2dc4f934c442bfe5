// fast-paths.cpp: in-place operators, comparisons, picks and navigation, and their general
// route through a native frame and the action entries.
#include "runtime/fast-paths.h"

#include <optional>

#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/call-stack.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Refinement offsets for entries called without refinements: every one absent. The path-step
// entry's one integer instead: 0, a get.
constexpr int32_t kNoRefinements[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
constexpr int32_t kPathGet[1] = {0};

Cell integer_cell(int32_t n) { return make_cell(Type::integer, 0, static_cast<uint32_t>(n)); }
Cell float_cell(double value) {
  Cell cell = make_cell(Type::float_);
  set_payload_f64(cell, value);
  return cell;
}
Cell logic_cell(bool flag) { return make_cell(Type::logic, flag ? 1 : 0); }
bool both(Type type, const Cell& left, const Cell& right) { return cell_type(left) == type && cell_type(right) == type; }

// The action behind an arithmetic code.
Act arith_action(int32_t code) {
  switch (code) {
    case kArithAdd: return Act::Add;
    case kArithSubtract: return Act::Subtract;
    case kArithMultiply: return Act::Multiply;
    case kArithOr: return Act::Or;
    case kArithAnd: return Act::And;
    case kArithXor: return Act::Xor;
  }
  fatal_no_match_switch();
}

// The action behind a navigation code.
Act nav_action(int32_t code) {
  switch (code) {
    case kNavLength: return Act::LengthQ;
    case kNavIndex: return Act::IndexQ;
    case kNavHeadQ: return Act::HeadQ;
    case kNavTailQ: return Act::TailQ;
    case kNavNext: return Act::Next;
    case kNavBack: return Act::Back;
    case kNavHead: return Act::Head;
    case kNavTail: return Act::Tail;
  }
  fatal_no_match_switch();
}

// Two integers: 32-bit in place, overflow of +, - and x giving the float of the double operation.
Cell integer_arith(int32_t code, int32_t a, int32_t b) {
  const double x = a, y = b;
  int32_t result;
  switch (code) {
    case kArithAdd:
      return __builtin_add_overflow(a, b, &result) ? float_cell(x + y) : integer_cell(result);
    case kArithSubtract:
      return __builtin_sub_overflow(a, b, &result) ? float_cell(x - y) : integer_cell(result);
    case kArithMultiply:
      return __builtin_mul_overflow(a, b, &result) ? float_cell(x * y) : integer_cell(result);
    case kArithOr: return integer_cell(a | b);
    case kArithAnd: return integer_cell(a & b);
    case kArithXor: return integer_cell(a ^ b);
  }
  fatal_no_match_switch();
}

// The in-place result, or nothing when the general route must answer.
std::optional<Cell> arith_in_place(int32_t code, const Cell& left, const Cell& right) {
  arith_action(code);  // every code is checked on both routes
  if (both(Type::integer, left, right)) return integer_arith(code, payload_i32(left, 2), payload_i32(right, 2));
  if (both(Type::float_, left, right) && code <= kArithMultiply) {
    const double a = payload_f64(left), b = payload_f64(right);
    return float_cell(code == kArithAdd ? a + b : code == kArithSubtract ? a - b : a * b);
  }
  return std::nullopt;
}

// The general route: a native frame named by the word with the operands, the action's entry;
// the result is left as the last pushed cell.
void through_entry(const Cell& word, Act act, std::initializer_list<Cell> operands) {
  const Cell word_copy = word;
  stack_open_native_frame(word_copy);
  for (const Cell& operand : operands) stack_push_value(operand);
  action_entry(act)(act == Act::PathStep ? kPathGet : kNoRefinements);
  stack_close_frame();
}

void arith(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  if (std::optional<Cell> result = arith_in_place(code, left, right)) {
    stack_push_value(*result);
    return;
  }
  through_entry(word, arith_action(code), {left, right});
}

void arith_top(const Cell& word, int32_t code, const Cell& right) {
  Cell* left = stack_last_value();
  if (std::optional<Cell> result = arith_in_place(code, *left, right)) {
    *left = *result;
    return;
  }
  const Cell operand = *left;
  stack_drop(1);
  through_entry(word, arith_action(code), {operand, right});
}

bool integer_compare(int32_t code, int32_t a, int32_t b) {
  switch (code) {
    case kCompareEqual:
    case kCompareStrictEqual: return a == b;
    case kCompareNotEqual: return a != b;
    case kCompareLesser: return a < b;
    case kCompareLesserOrEqual: return a <= b;
    case kCompareGreater: return a > b;
    case kCompareGreaterOrEqual: return a >= b;
  }
  fatal_no_match_switch();
}

// The flag of a comparison: in place for two integers, else through a native frame and
// compare-to-logic; the value stack is left as it was.
bool compare_flag(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  if (code < kCompareEqual || code > kCompareGreaterOrEqual) fatal_no_match_switch();
  if (both(Type::integer, left, right)) return integer_compare(code, payload_i32(left, 2), payload_i32(right, 2));
  const Cell word_copy = word, a = left, b = right;
  stack_open_native_frame(word_copy);
  stack_push_value(a);
  stack_push_value(b);
  compare_to_logic(code);
  const bool flag = value_stack.base[0].w1 & 1;
  stack_close_frame();
  stack_drop(1);
  return flag;
}

// A block value at another index.
Cell at_index(const Cell& block, int64_t index) {
  Cell moved = block;
  moved.w1 = static_cast<uint32_t>(index);
  return moved;
}

// The navigation of a block!: its result.
Cell block_nav(const Cell& block, int32_t code) {
  const int64_t index = block.w1;
  const int64_t cells = int64_t{series_buffer_length(block.w2)} - index;  // negative past the tail
  switch (code) {
    case kNavLength: return integer_cell(static_cast<int32_t>(cells < 0 ? 0 : cells));
    case kNavIndex: return integer_cell(static_cast<int32_t>(index + 1));
    case kNavHeadQ: return logic_cell(index == 0);
    case kNavTailQ: return logic_cell(cells < 1);
    case kNavNext: return cells < 1 ? block : at_index(block, index + 1);
    case kNavBack: return index > 0 ? at_index(block, index - 1) : block;
    case kNavHead: return at_index(block, 0);
    case kNavTail: return at_index(block, index + cells);
  }
  fatal_no_match_switch();
}

}  // namespace

void fast_arith(const Cell& word, int32_t code, const Cell& left, const Cell& right) { arith(word, code, left, right); }
void fast_arith_int(const Cell& word, int32_t code, const Cell& left, int32_t right) {
  arith(word, code, left, integer_cell(right));
}
void fast_arith_top(const Cell& word, int32_t code, const Cell& right) { arith_top(word, code, right); }
void fast_arith_top_int(const Cell& word, int32_t code, int32_t right) { arith_top(word, code, integer_cell(right)); }

void compare_to_logic(int32_t code) {
  Cell* base = value_stack.base;
  base[0] = logic_cell(compare_values(base[0], base[1], code));
}

bool fast_compare(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  const bool flag = compare_flag(word, code, left, right);
  stack_push_value(logic_cell(flag));
  return flag;
}
bool fast_compare_int(const Cell& word, int32_t code, const Cell& left, int32_t right) {
  return fast_compare(word, code, left, integer_cell(right));
}

int fast_compare_test(const Cell& word, int32_t code, const Cell& left, const Cell& right, bool expected) {
  return compare_flag(word, code, left, right) != expected ? 1 : 0;
}
int fast_compare_int_test(const Cell& word, int32_t code, const Cell& left, int32_t right, bool expected) {
  return fast_compare_test(word, code, left, integer_cell(right), expected);
}

bool fast_compare_base(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  const bool flag = compare_flag(word, code, left, right);
  value_stack.base[0] = logic_cell(flag);
  return flag;
}
bool fast_compare_base_int(const Cell& word, int32_t code, const Cell& left, int32_t right) {
  return fast_compare_base(word, code, left, integer_cell(right));
}

bool fast_compare_top(const Cell& word, int32_t code, const Cell& right) {
  const Cell left = *stack_last_value();
  const bool flag = compare_flag(word, code, left, right);
  *stack_last_value() = logic_cell(flag);
  return flag;
}
bool fast_compare_top_int(const Cell& word, int32_t code, int32_t right) {
  return fast_compare_top(word, code, integer_cell(right));
}

void fast_block_pick(const Cell& word, const Cell& value, int32_t n) {
  if (cell_type(value) != Type::block) return through_entry(word, Act::PathStep, {value, integer_cell(n)});
  const int64_t position = n > 0 ? int64_t{value.w1} + n - 1 : int64_t{value.w1} + n;
  if (n == 0 || position < 0 || position >= series_buffer_length(value.w2)) {
    stack_push_value(make_cell(Type::none));
    return;
  }
  stack_push_value(series_buffer(value.w2)->head_cell()[position]);
}

void fast_series_nav(const Cell& word, const Cell& value, int32_t code) {
  if (cell_type(value) != Type::block) return through_entry(word, nav_action(code), {value});
  stack_push_value(block_nav(value, code));
}

}  // namespace qel
