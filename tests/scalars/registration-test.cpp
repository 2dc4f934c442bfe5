// The registrations of the scalar types: each type's 62 slots (its own functions, the ones
// inherited from its parent, the unsupported ones) and dispatch of an unsupported slot; handle!.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "datatypes/scalars/handle.h"
#include "runtime/action-lookup.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using Registration = ScalarTest;

struct Expected {
  Type type;
  Type parent;
  std::set<int> own;        // slots with a function of the type's own
  std::set<int> inherited;  // slots holding the parent's function
  Cell sample;              // a value of the type
};

std::vector<Expected> expected_rows() {
  return {
      {Type::datatype, Type::none_id, {5, 6, 9}, {}, datatype_cell(Type::logic)},
      {Type::unset, Type::none_id, {1, 4, 5, 6, 9}, {}, make_cell(Type::unset)},
      {Type::none, Type::none_id, {1, 4, 5, 6, 9, 29, 31, 36, 42, 44, 50}, {}, make_cell(Type::none)},
      {Type::logic, Type::none_id, {1, 2, 4, 5, 6, 9, 21, 22, 23, 24}, {}, logic_cell(true)},
      {Type::integer,
       Type::none_id,
       {1, 2, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
       {},
       integer_cell(5)},
      {Type::char_, Type::integer, {1, 4, 5, 6, 9, 11, 12, 13, 16, 18, 21, 23, 24}, {2, 10, 19, 20}, char_cell('a')},
      {Type::float_,
       Type::none_id,
       {1, 2, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
       {},
       float_cell(1.5)},
      {Type::percent,
       Type::float_,
       {5, 6},
       {1, 2, 4, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
       percent_cell(0.5)},
      {Type::time,
       Type::float_,
       {1, 4, 5, 6, 7, 11, 12, 13, 17, 18, 19, 20, 39},
       {2, 9, 10, 14, 16},
       make_cell(Type::time)},
      {Type::date, Type::none_id, {1, 2, 4, 5, 6, 7, 9, 11, 18, 39}, {}, make_cell(Type::date, 0x0F641080)},
      {Type::money,
       Type::none_id,
       {1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 39},
       {},
       make_cell(Type::money, 0, 0x10)},
      {Type::typeset, Type::none_id, {1, 4, 5, 6, 9, 21, 22, 23, 24, 31}, {}, make_cell(Type::typeset, 1)},
      {Type::handle, Type::integer, {5, 6, 9}, {}, make_cell(Type::handle, 0, 7, 0xFFFFFFFF)},
      {Type::pair,
       Type::none_id,
       {1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18, 21, 23, 24, 39, 43},
       {},
       make_cell(Type::pair, 0, 3, 4)},
      {Type::point2d,
       Type::none_id,
       {1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18, 39, 43},
       {},
       make_cell(Type::point2d, 0x3F800000, 0x40000000)},
      {Type::point3d,
       Type::none_id,
       {1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18, 39, 43},
       {},
       make_cell(Type::point3d, 0x3F800000, 0x40000000, 0x40400000)},
      {Type::tuple,
       Type::none_id,
       {1, 2, 4, 5, 6, 7, 9, 11, 12, 13, 16, 18, 21, 22, 23, 24, 36, 39, 43},
       {},
       Cell{static_cast<uint32_t>(Type::tuple) | 3u << 19, 0x030201, 0, 0}},
      {Type::triple, Type::none_id, {5, 6}, {}, make_cell(Type::triple, 1, 2, 3)},
      {Type::bitset,
       Type::none_id,
       {1, 3, 4, 5, 6, 7, 9, 14, 21, 22, 23, 24, 25, 29, 30, 31, 35, 36, 39, 40, 42, 55},
       {},
       make_cell(Type::bitset, 0, new_byte_series(1))},
  };
}

ActionFn slot_of(Type type, int slot) { return action_table[type_index(type)][slot - 1]; }

TEST_F(Registration, EachTypeFillsExactlyItsSlots) {
  for (const Expected& row : expected_rows()) {
    ASSERT_TRUE(datatype_registered(row.type)) << type_index(row.type);
    for (int slot = 1; slot <= static_cast<int>(kActionSlots); ++slot) {
      ActionFn fn = slot_of(row.type, slot);
      bool from_parent = row.parent != Type::none_id && fn && fn == slot_of(row.parent, slot);
      char want = row.own.count(slot) ? 'o' : row.inherited.count(slot) ? 'i' : '.';
      char got = !fn ? '.' : from_parent ? 'i' : 'o';
      EXPECT_EQ(got, want) << datatype_table[type_index(row.type)].name << " slot " << slot;
    }
  }
}

TEST_F(Registration, AnUnsupportedSlotRaisesExpectArgNamingTheType) {
  // Slots whose entries look the function up before reading anything of the value.
  const Act probes[] = {Act::Absolute, Act::Add,  Act::Negate,    Act::EvenQ, Act::Complement, Act::Clear,
                        Act::Head,     Act::Next, Act::LengthQ,   Act::Query, Act::Create,     Act::Reverse};
  for (const Expected& row : expected_rows()) {
    for (Act act : probes) {
      int slot = static_cast<int>(slot_number(act));
      if (row.own.count(slot) || row.inherited.count(slot)) continue;
      std::vector<Cell> args(fixed_argument_count(act), row.sample);
      ErrorId error = error_of([&] { call_action(act, args); });
      EXPECT_EQ(error, error_id("script", "expect-arg")) << datatype_table[type_index(row.type)].name << " " << slot;
      EXPECT_EQ(static_cast<Type>(stand_in_last_error().args[1].w1), row.type);
    }
  }
}

TEST_F(Registration, HandleFormMoldAndCompare) {
  const Cell plain = *handle_make_at(*stack_push_cell(), 26, HandleClass::none);
  const Cell font = *handle_make_at(*stack_push_cell(), 26, HandleClass::font);
  EXPECT_EQ(form(plain), "0000001Ah");
  EXPECT_EQ(mold(plain), "handle!");
  EXPECT_EQ(mold_all(plain), "#[handle! 0000001Ah]");
  EXPECT_EQ(mold_all(font), "#[handle! 0000001Ah font]");
  EXPECT_EQ(form(*handle_make_at(*stack_push_cell(), 0xFFFFFFFF, HandleClass::rich_text)), "FFFFFFFFh");
  EXPECT_EQ(font.w3, kNoResourceSlot);

  auto compare = [](const Cell& a, const Cell& b, int32_t code) {
    return lookup_action_for_value<Act::Compare>(a)(a, b, code);
  };
  const Cell negative = make_cell(Type::handle, 0, 0xFFFFFFFF, kNoResourceSlot);
  EXPECT_EQ(compare(plain, font, kCompareEqual), 0);  // the id alone decides
  EXPECT_EQ(compare(negative, plain, kCompareLesser), -1);
  EXPECT_EQ(compare(plain, integer_cell(26), kCompareEqual), 1);
}

}  // namespace
}  // namespace qel
