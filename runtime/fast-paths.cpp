// fast-paths.cpp: in-place operators, comparisons, picks and navigation, and their general
// route through a native frame and the action entries.
#include "runtime/fast-paths.h"

#include <optional>

#include "datatypes/scalars/integer.h"
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
    case kOpAdd: return Act::Add;
    case kOpSubtract: return Act::Subtract;
    case kOpMultiply: return Act::Multiply;
    case kOpOr: return Act::Or;
    case kOpAnd: return Act::And;
    case kOpXor: return Act::Xor;
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

// What the inline route leaves: two integers whose result overflows (the float! of the double
// operation), two floats under codes 0-2; nothing for the general route.
std::optional<Cell> arith_in_place(int32_t code, const Cell& left, const Cell& right) {
  arith_action(code);  // every code is checked on both routes
  if (both(Type::integer, left, right)) {
    Cell result;
    integer_math_op(integer_value(left), integer_value(right), code, &result);  // a float! on overflow
    return result;
  }
  if (both(Type::float_, left, right) && code <= kOpMultiply) {
    const double a = payload_f64(left), b = payload_f64(right);
    return float_cell(code == kOpAdd ? a + b : code == kOpSubtract ? a - b : a * b);
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

void fast_arith_rest(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  if (std::optional<Cell> result = arith_in_place(code, left, right)) {
    stack_push_value(*result);
    return;
  }
  through_entry(word, arith_action(code), {left, right});
}

void fast_arith_top_rest(const Cell& word, int32_t code, const Cell& right) {
  const Cell left = *stack_last_value();
  stack_drop(1);
  fast_arith_rest(word, code, left, right);
}

bool compare_flag_rest(const Cell& word, int32_t code, const Cell& left, const Cell& right) {
  if (code < kCompareEqual || code > kCompareGreaterOrEqual) fatal_no_match_switch();
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

void compare_to_logic(int32_t code) {
  Cell* base = value_stack.base;
  base[0] = logic_cell(compare_values(base[0], base[1], code));
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
