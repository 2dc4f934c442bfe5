// The cycle stack: nesting, overflow, collections, elided forms, repeated bytes.
#include <gtest/gtest.h>

#include <string>

#include "memory-fixture.h"
#include "probe-rows.h"
#include "runtime/action-entries.h"
#include "runtime/error-raise.h"
#include "datatypes/series/string-unit.h"
#include "runtime/cycle-guard.h"

namespace qel {
namespace {

using CycleGuard = MemoryTest;

TEST_F(CycleGuard, ANestedWalkLeavesTheOuterEntries) {
  NodeId outer = new_cell_series(1), inner = new_cell_series(1);
  {
    CyclePush walking(outer);
    {
      CycleScope nested_mold;  // an error molded inside the block mold
      CyclePush again(inner);
      EXPECT_TRUE(cycle_stack_contains(outer));
    }
    EXPECT_EQ(cycle_stack_depth(), 1u);
    EXPECT_TRUE(cycle_stack_contains(outer));
    EXPECT_FALSE(cycle_stack_contains(inner));
    try {
      CyclePush failing(inner);
      throw NonLocalExit{kThrowError};
    } catch (const NonLocalExit&) {
    }
    EXPECT_EQ(cycle_stack_depth(), 1u) << "an error leaves the cursor where the walk found it";
  }
  EXPECT_EQ(cycle_stack_depth(), 0u);
}

// A form that walks a series of its own and then fails, as an error's form inside a block mold.
int32_t walking_form(const Cell& value, Cell&, bool, int32_t limit) {
  cycle_stack_push(value.w2);
  raise_error(error_id("script", "invalid-arg"), value);
  return limit;
}

TEST_F(CycleGuard, AFormEntryInsideAWalkKeepsItsEntries) {
  probe::register_rows();
  register_datatype(Type::block, Type::none_id, "block!", ActionRow().set<Act::Form>(walking_form));
  init_action_entries();
  NodeId outer = new_cell_series(1);
  CyclePush walking(outer);
  const Cell inner[] = {make_cell(Type::block, 0, new_cell_series(1))};
  EXPECT_TRUE(raises_error(error_id("script", "invalid-arg"), [&] { call_action(Act::Form, inner); }));
  EXPECT_EQ(cycle_stack_depth(), 1u);
  EXPECT_TRUE(cycle_stack_contains(outer));
  const Cell number[] = {integer(5)};
  EXPECT_EQ(text_of(call_action(Act::Form, number).w2), "5");
  EXPECT_EQ(cycle_stack_depth(), 1u);
  datatype_tables_init();
}

TEST_F(CycleGuard, TheLastEntryRaisesAndEmpties) {
  NodeId series = new_cell_series(1);
  for (uint32_t i = 1; i < kCycleStackEntries; ++i) cycle_stack_push(series);
  EXPECT_EQ(cycle_stack_depth(), kCycleStackEntries - 1);
  EXPECT_TRUE(raises_error(error_id("internal", "too-deep"), [&] { cycle_stack_push(series); }));
  EXPECT_EQ(cycle_stack_depth(), 0u);
  cycle_stack_push(series);
  EXPECT_EQ(cycle_stack_depth(), 1u);
  cycle_stack_drop(5);
  cycle_stack_pop();
  EXPECT_EQ(cycle_stack_depth(), 0u);
}

TEST_F(CycleGuard, EntriesSurviveACollection) {
  NodeId walked = byte_series_of("walked");
  CyclePush walking(walked);
  ASSERT_TRUE(collect_now());
  EXPECT_TRUE(cycle_stack_contains(walked));
  EXPECT_EQ(text_of(walked), "walked") << "the stack keeps what it walks alive";
}

TEST_F(CycleGuard, ElidedFormsTakeTheirLengthOffTheLimit) {
  struct Row {
    Type type;
    const char* mold;
  };
  const Row rows[] = {{Type::block, "[...]"},        {Type::hash, "[...]"},  {Type::paren, "(...)"},
                      {Type::map, "#[...]"},         {Type::path, "..."},    {Type::set_path, "..."},
                      {Type::object, "make object! [...]"}};
  NodeId series = new_cell_series(1);
  for (unsigned unit : {1u, 2u, 4u})
    for (const Row& row : rows)
      for (bool mold : {true, false}) {
        Cell value = row.type == Type::object ? make_cell(Type::object, series) : make_cell(row.type, 0, series);
        NodeId buffer = new_string_series(4, unit);
        int32_t limit = 100;
        EXPECT_FALSE(mold_cycle_marker(value, buffer, limit, mold));
        CyclePush walking(series);
        ASSERT_TRUE(mold_cycle_marker(value, buffer, limit, mold));
        std::string expected = mold ? row.mold : "...";
        EXPECT_EQ(limit, 100 - static_cast<int32_t>(expected.size()));
        SeriesBuffer* text = series_buffer(buffer);
        ASSERT_EQ(text->tail - text->head, expected.size() * unit);
        for (size_t i = 0; i < expected.size(); ++i)
          EXPECT_EQ(code_point_read(text->head_address() + i * unit, unit), static_cast<uint8_t>(expected[i]));
      }
}

TEST(RepeatBytes, FillsByDoubling) {
  for (size_t n : {1u, 2u, 3u, 7u, 16u}) {
    std::string buffer(3 * n, '.');
    buffer.replace(0, 3, "abc");
    repeat_bytes_fill(reinterpret_cast<uint8_t*>(buffer.data()), 3, n);
    std::string expected;
    for (size_t i = 0; i < n; ++i) expected += "abc";
    EXPECT_EQ(buffer, expected);
  }
}

}  // namespace
}  // namespace qel
