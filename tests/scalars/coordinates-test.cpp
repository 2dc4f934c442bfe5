// pair!, point2D! and point3D!: random draws within their ranges with zero coordinates kept,
// seeding, and form of float32 coordinates.
#include <gtest/gtest.h>

#include <bit>

#include "datatypes/scalars/coordinates.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using Coordinates = ScalarTest;

Cell point(float x, float y) {
  Cell cell;
  return *point2D_make_at(cell, x, y);
}
Cell point(float x, float y, float z) {
  Cell cell;
  return *point3D_make_at(cell, x, y, z);
}

TEST_F(Coordinates, RandomDrawsEachNonZeroCoordinateWithinItsRange) {
  for (int draw = 0; draw < 200; ++draw) {
    Cell pair = call(Act::Random, make_cell(Type::pair, 0, 5, 0));
    ASSERT_EQ(cell_type(pair), Type::pair);
    EXPECT_GE(pair_x(pair), 1);
    EXPECT_LE(pair_x(pair), 5);
    EXPECT_EQ(pair_y(pair), 0);
    Cell negative = call(Act::Random, make_cell(Type::pair, 0, 0, static_cast<uint32_t>(-3)));
    EXPECT_EQ(pair_x(negative), 0);
    EXPECT_GE(pair_y(negative), -3);
    EXPECT_LE(pair_y(negative), -1);
    Cell drawn = call(Act::Random, point(0.0f, 2.5f, -4.0f));
    ASSERT_EQ(cell_type(drawn), Type::point3d);
    EXPECT_EQ(std::bit_cast<uint32_t>(point_coordinate(drawn, 0)), 0u);
    EXPECT_GE(point_coordinate(drawn, 1), 0.0f);
    EXPECT_LE(point_coordinate(drawn, 1), 2.5f);
    EXPECT_LE(point_coordinate(drawn, 2), 0.0f);
    EXPECT_GE(point_coordinate(drawn, 2), -4.0f);
  }
}

TEST_F(Coordinates, SeedingAnswersUnsetAndRepeatsTheDraws) {
  const Cell seed = point(1.5f, 2.5f);
  EXPECT_EQ(cell_type(call(Act::Random, {{0}}, seed)), Type::unset);
  Cell first = call(Act::Random, point(100.0f, 100.0f));
  call(Act::Random, {{0}}, seed);
  Cell again = call(Act::Random, point(100.0f, 100.0f));
  EXPECT_EQ(first.w1, again.w1);
  EXPECT_EQ(first.w2, again.w2);
  EXPECT_EQ(cell_type(call(Act::Random, {{0}}, make_cell(Type::pair, 0, 3, 5))), Type::unset);
}

TEST_F(Coordinates, FormsShowFloat32ValuesInSevenDigits) {
  struct Row {
    Cell value;
    const char* text;
  };
  const Row rows[] = {
      {point(0.1f, 2.0f), "(0.1, 2)"},
      {point(1e10f, -0.0f, 3.25f), "(1e10, 0, 3.25)"},
      {point(16777217.0f, 1e-7f), "(1.677722e7, 1e-7)"},
      {make_cell(Type::pair, 0, static_cast<uint32_t>(-5), 3), "-5x3"},
  };
  for (const Row& row : rows) EXPECT_EQ(mold(row.value), row.text);
}

}  // namespace
}  // namespace qel
