// tuple! services for image! and colour constants, its hash, and triple!'s text.
#include <gtest/gtest.h>

#include <array>

#include "datatypes/scalars/tuple.h"
#include "runtime/value-hash.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using Tuples = ScalarTest;

Cell tuple_of(std::initializer_list<uint8_t> bytes) {
  Cell cell;
  return *tuple_make_at(cell, {bytes.begin(), bytes.size()});
}

TEST_F(Tuples, ServicesBuildTuplesOfTheirComponents) {
  const std::array<int32_t, 2> short_one{258, -1};
  EXPECT_EQ(mold(*tuple_push_components(short_one)), "2.255.0");
  const std::array<int32_t, 5> pixel{1, 2, 3, 4, 5};
  EXPECT_EQ(mold(*tuple_push_components(pixel)), "1.2.3.4.5");
  EXPECT_EQ(mold(*tuple_push_packed(4, 0x04030201, 0, 0)), "1.2.3.4");
  Cell cell = make_cell(Type::integer, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
  EXPECT_EQ(mold(*tuple_make_at_rgba(cell, 255, 128, 0, -1)), "255.128.0");
  EXPECT_EQ(cell.w2, 0u);
  EXPECT_EQ(mold(*tuple_make_at_rgba(cell, 1, 2, 3, 4)), "1.2.3.4");
  EXPECT_TRUE(tuple_zero(tuple_of({0, 0, 0, 0})));
  EXPECT_FALSE(tuple_zero(tuple_of({0, 0, 0, 1})));
}

TEST_F(Tuples, EqualTuplesHashAlikeWhateverTheirLength) {
  EXPECT_EQ(value_hash(tuple_of({1, 2, 3}), true), value_hash(tuple_of({1, 2, 3, 0}), true));
  EXPECT_EQ(value_hash(tuple_of({1, 2, 3}), false), value_hash(tuple_of({1, 2, 3, 0, 0, 0}), false));
  EXPECT_NE(value_hash(tuple_of({1, 2, 3}), true), value_hash(tuple_of({1, 2, 3, 4}), true));
}

TEST_F(Tuples, TriplesFormTheirThreeIntegers) {
  const Cell triple = make_cell(Type::triple, 0x80000000, 0, 7);
  EXPECT_EQ(form(triple), "make triple! [-2147483648 0 7]");
  EXPECT_EQ(mold(triple), "make triple! [-2147483648 0 7]");
}

}  // namespace
}  // namespace qel
