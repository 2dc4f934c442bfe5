// Fast paths: in-place integer and float arithmetic, comparisons, block picks and navigation,
// and the general route (doubles of the datatypes' actions record that it was taken).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "memory-fixture.h"
#include "probe-rows.h"
#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/fast-paths.h"
#include "runtime/value-stack.h"

namespace qel {
namespace {

std::vector<const char*> general_route;

double as_double(const Cell& cell) { return cell_type(cell) == Type::float_ ? payload_f64(cell) : payload_i32(cell, 2); }

// Probe rows of the actions the general route reaches: each records itself.
void probe_add() {
  general_route.push_back("add");
  Cell* base = stack_base();
  base[0] = float_cell(as_double(base[0]) + as_double(base[1]));
}
void probe_xor() {
  general_route.push_back("xor");
  stack_base()[0] = make_cell(Type::none);
}
int32_t probe_float_compare(const Cell& a, const Cell& b, int32_t) {
  general_route.push_back("compare");
  return probe::order(static_cast<int64_t>(as_double(a)), static_cast<int64_t>(as_double(b)));
}
Cell picked = integer(99);
Cell* probe_path_step(Cell&, Cell& element, Cell*, const PathStep&) {
  general_route.push_back("path-step");
  picked = element;
  return &picked;
}

class FastPaths : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    probe::register_rows();
    // Doubles of integer! and float! that show the general route taken.
    register_datatype(Type::integer, Type::none_id, "integer!", ActionRow().set<Act::Add>(probe_add));
    register_datatype(Type::float_, Type::none_id, "float!",
                      ActionRow().set<Act::Xor>(probe_xor).set<Act::Compare>(probe_float_compare));
    register_datatype(Type::paren, Type::none_id, "paren!", ActionRow().set<Act::PathStep>(probe_path_step));
    init_action_entries();
    general_route.clear();
    op = word_from_c_string("op");
    stack_open_native_frame(op);
  }
  void TearDown() override {
    datatype_tables_init();
    MemoryTest::TearDown();
  }

  Cell op;
  // The last pushed cell, taken off.
  static Cell popped() {
    Cell cell = *stack_last_value();
    stack_drop(1);
    return cell;
  }
};

TEST_F(FastPaths, IntegerArithmeticOverflowsIntoFloat) {
  struct Row {
    int32_t a;
    int32_t code;
    int32_t b;
    Type type;
    double value;
  };
  const Row rows[] = {
      {2147483647, kOpMultiply, 2, Type::float_, 4294967294.0},
      {-2147483647, kOpSubtract, 2, Type::float_, -2147483649.0},
      {46341, kOpMultiply, 46341, Type::float_, 2147488281.0},
      {46340, kOpMultiply, 46340, Type::integer, 2147395600.0},
      {2147483647, kOpAdd, 1, Type::float_, 2147483648.0},
      {-2147483647 - 1, kOpSubtract, 1, Type::float_, -2147483649.0},
      {65536, kOpMultiply, 65536, Type::float_, 4294967296.0},
      {-7, kOpAdd, 3, Type::integer, -4.0},
      {12, kOpXor, 10, Type::integer, 6.0},
      {12, kOpOr, 10, Type::integer, 14.0},
      {12, kOpAnd, 10, Type::integer, 8.0},
  };
  for (const Row& row : rows) {
    fast_arith(op, row.code, integer(row.a), integer(row.b));
    Cell result = popped();
    EXPECT_EQ(cell_type(result), row.type) << row.a << " " << row.code << " " << row.b;
    EXPECT_EQ(as_double(result), row.value) << row.a << " " << row.code << " " << row.b;
    fast_arith_int(op, row.code, integer(row.a), row.b);
    EXPECT_EQ(as_double(popped()), row.value);
    stack_push_value(integer(row.a));
    fast_arith_top_int(op, row.code, row.b);
    EXPECT_EQ(as_double(popped()), row.value);
  }
  EXPECT_TRUE(general_route.empty());
}

TEST_F(FastPaths, FloatsInPlaceAndTheGeneralRoute) {
  fast_arith(op, kOpMultiply, float_cell(1.5), float_cell(4.0));
  EXPECT_EQ(payload_f64(popped()), 6.0);
  fast_arith(op, kOpSubtract, float_cell(1.5), float_cell(4.0));
  EXPECT_EQ(payload_f64(popped()), -2.5);
  EXPECT_TRUE(general_route.empty());
  const Cell* top = stack_top();
  fast_arith(op, kOpXor, float_cell(3.0), float_cell(1.0));
  EXPECT_EQ(cell_type(popped()), Type::none);
  fast_arith(op, kOpAdd, integer(1), float_cell(1.5));
  EXPECT_EQ(payload_f64(popped()), 2.5);
  stack_push_value(integer(1));
  fast_arith_top(op, kOpAdd, float_cell(1.5));
  EXPECT_EQ(payload_f64(popped()), 2.5);
  EXPECT_EQ(stack_top(), top);
  EXPECT_EQ(general_route, (std::vector<const char*>{"xor", "add", "add"}));
}

TEST_F(FastPaths, Comparisons) {
  struct Row {
    int32_t code;
    int32_t a, b;
    bool result;
  };
  const Row rows[] = {{kCompareEqual, 3, 3, true},          {kCompareStrictEqual, 3, 4, false},
                      {kCompareNotEqual, 3, 4, true},       {kCompareLesser, -5, 4, true},
                      {kCompareLesserOrEqual, 4, 4, true},  {kCompareGreater, 4, 4, false},
                      {kCompareGreaterOrEqual, 4, -4, true}};
  for (const Row& row : rows) {
    EXPECT_EQ(fast_compare(op, row.code, integer(row.a), integer(row.b)), row.result);
    EXPECT_EQ(popped().w1, row.result ? 1u : 0u);
    EXPECT_EQ(fast_compare_int(op, row.code, integer(row.a), row.b), row.result);
    stack_drop(1);
    stack_push_value(integer(row.a));
    EXPECT_EQ(fast_compare_top_int(op, row.code, row.b), row.result);
    EXPECT_EQ(cell_type(popped()), Type::logic);
    EXPECT_EQ(fast_compare_base_int(op, row.code, integer(row.a), row.b), row.result);
    EXPECT_EQ(stack_base()[0].w1, row.result ? 1u : 0u);
  }
  EXPECT_TRUE(general_route.empty());
  // The test variant, on either route, leaves the stack as it was.
  stack_push_value(integer(7));
  const Cell* base = stack_base();
  const Cell* top = stack_top();
  EXPECT_EQ(fast_compare_test(op, kCompareLesser, integer(1), integer(2), true), 0);
  EXPECT_EQ(fast_compare_int_test(op, kCompareLesser, integer(1), 2, false), 1);
  EXPECT_EQ(fast_compare_test(op, kCompareLesser, float_cell(1.0), float_cell(2.0), false), 1);
  EXPECT_EQ(stack_base(), base);
  EXPECT_EQ(stack_top(), top);
  EXPECT_EQ(general_route, (std::vector<const char*>{"compare"}));
}

TEST_F(FastPaths, BlockPicks) {
  NodeId node = new_cell_series(5);
  for (int32_t n : {10, 20, 30, 40, 50}) *series_append_fresh_slot(node) = integer(n);
  const Cell block = make_cell(Type::block, 2, node);
  root_slot_append(block);
  struct Row {
    int32_t n;
    int32_t picked;  // 0: none
  };
  const Row rows[] = {{1, 30}, {3, 50}, {4, 0}, {-1, 20}, {-2, 10}, {-3, 0}, {0, 0}};
  for (const Row& row : rows) {
    fast_block_pick(op, block, row.n);
    Cell result = popped();
    if (row.picked == 0)
      EXPECT_EQ(cell_type(result), Type::none) << row.n;
    else
      EXPECT_EQ(payload_i32(result, 2), row.picked) << row.n;
  }
  fast_block_pick(op, make_cell(Type::paren, 0, node), 2);
  EXPECT_EQ(payload_i32(popped(), 2), 2) << "through the path-step entry with the integer";
  EXPECT_EQ(general_route, (std::vector<const char*>{"path-step"}));
}

TEST_F(FastPaths, BlockNavigation) {
  NodeId node = new_cell_series(3);
  for (int32_t n : {1, 2, 3}) *series_append_fresh_slot(node) = integer(n);
  root_slot_append(make_cell(Type::block, 0, node));
  auto nav = [&](uint32_t index, int32_t code) {
    fast_series_nav(op, make_cell(Type::block, index, node), code);
    return popped();
  };
  struct Row {
    uint32_t index;
    int32_t code;
    Type type;
    uint32_t value;  // the index of a block result, the number or flag otherwise
  };
  const Row rows[] = {{1, kNavLength, Type::integer, 2}, {5, kNavLength, Type::integer, 0},
                      {1, kNavIndex, Type::integer, 2},  {0, kNavHeadQ, Type::logic, 1},
                      {1, kNavHeadQ, Type::logic, 0},    {3, kNavTailQ, Type::logic, 1},
                      {2, kNavTailQ, Type::logic, 0},    {1, kNavNext, Type::block, 2},
                      {3, kNavNext, Type::block, 3},     {0, kNavBack, Type::block, 0},
                      {2, kNavBack, Type::block, 1},     {2, kNavHead, Type::block, 0},
                      {1, kNavTail, Type::block, 3},     {5, kNavTail, Type::block, 3}};
  for (const Row& row : rows) {
    Cell result = nav(row.index, row.code);
    EXPECT_EQ(cell_type(result), row.type) << row.index << " " << row.code;
    EXPECT_EQ(row.type == Type::integer ? result.w2 : result.w1, row.value) << row.index << " " << row.code;
  }
}

TEST_F(FastPaths, CodesOutsideTheTablesEndTheProcess) {
  EXPECT_EXIT(fast_series_nav(op, make_cell(Type::block, 0, new_cell_series(1)), 9), ::testing::ExitedWithCode(101), "");
  EXPECT_EXIT(fast_arith(op, 3, integer(1), integer(2)), ::testing::ExitedWithCode(101), "");
  EXPECT_EXIT(fast_compare(op, 7, integer(1), integer(2)), ::testing::ExitedWithCode(101), "");
}

}  // namespace
}  // namespace qel
