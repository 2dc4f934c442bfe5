// The case tables and the case map of code points and text units.
#include <gtest/gtest.h>

#include <vector>

#include "datatypes/series/case-map.h"

namespace qel {
namespace {

TEST(CaseTables, CountsAndFirstPairs) {
  struct Row {
    std::span<const CasePair> pairs;
    size_t count;
    CasePair first;
    CasePair last;
  };
  const Row rows[] = {
      {case_pairs_bmp(Case::upper), 1175, {0x0061, 0x0041}, {0xFF5A, 0xFF3A}},
      {case_pairs_bmp(Case::lower), 1158, {0x0041, 0x0061}, {0xFF3A, 0xFF5A}},
      {case_pairs_above_bmp(Case::upper), 225, {0x10428, 0x10400}, {0x1E943, 0x1E921}},
      {case_pairs_above_bmp(Case::lower), 225, {0x10400, 0x10428}, {0x1E921, 0x1E943}},
  };
  for (const Row& row : rows) {
    ASSERT_EQ(row.pairs.size(), row.count);
    EXPECT_EQ(row.pairs.front().from, row.first.from);
    EXPECT_EQ(row.pairs.front().to, row.first.to);
    EXPECT_EQ(row.pairs.back().from, row.last.from);
    EXPECT_EQ(row.pairs.back().to, row.last.to);
    for (size_t i = 1; i < row.pairs.size(); ++i) EXPECT_LT(row.pairs[i - 1].from, row.pairs[i].from);
  }
}

TEST(CaseMap, SimpleMappingsOfUnicode11) {
  struct Row {
    uint32_t code_point;
    uint32_t upper;
    uint32_t lower;
  };
  const Row rows[] = {
      {0x0061, 0x0041, 0x0061},   {0x0041, 0x0041, 0x0061},   {0x00B5, 0x039C, 0x00B5},
      {0x0131, 0x0049, 0x0131},   {0x00FF, 0x0178, 0x00FF},   {0x01C5, 0x01C4, 0x01C6},
      {0x01C6, 0x01C4, 0x01C6},   {0x1E9E, 0x1E9E, 0x00DF},   {0x00DF, 0x00DF, 0x00DF},
      {0x2126, 0x2126, 0x03C9},   {0x10D0, 0x1C90, 0x10D0},   {0x1C90, 0x1C90, 0x10D0},
      {0x03A3, 0x03A3, 0x03C3},   {0x03C2, 0x03A3, 0x03C2},   {0xA7C2, 0xA7C2, 0xA7C2},
      {0xA794, 0xA794, 0xA794},   {0x0282, 0x0282, 0x0282},   {0x0000, 0x0000, 0x0000},
      {0xFFFF, 0xFFFF, 0xFFFF},   {0x10428, 0x10400, 0x10428}, {0x10400, 0x10400, 0x10428},
      {0x1E922, 0x1E900, 0x1E922}, {0x16E40, 0x16E40, 0x16E60}, {0x1F600, 0x1F600, 0x1F600},
      {0x10FFFF, 0x10FFFF, 0x10FFFF}, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(unicode_case_map(row.code_point, Case::upper), row.upper) << std::hex << row.code_point;
    EXPECT_EQ(unicode_case_map(row.code_point, Case::lower), row.lower) << std::hex << row.code_point;
  }
}

TEST(CaseMap, UnitsInPlaceStopWhereAWiderUnitIsNeeded) {
  std::vector<uint8_t> latin1 = {'a', 0xE9, 0xFF, 'b'};
  EXPECT_EQ(case_map_units_in_place(latin1.data(), latin1.size(), 1, Case::upper), 2u);
  EXPECT_EQ(latin1, (std::vector<uint8_t>{'A', 0xC9, 0xFF, 'b'}));
  EXPECT_EQ(case_map_units_in_place(latin1.data(), latin1.size(), 1, Case::lower), 4u);
  EXPECT_EQ(latin1, (std::vector<uint8_t>{'a', 0xE9, 0xFF, 'b'}));

  std::vector<uint16_t> bmp = {0x00FF, 0x03C3, 0x0282};
  EXPECT_EQ(case_map_units_in_place(reinterpret_cast<uint8_t*>(bmp.data()), bmp.size(), 2, Case::upper), 3u);
  EXPECT_EQ(bmp, (std::vector<uint16_t>{0x0178, 0x03A3, 0x0282}));

  std::vector<uint32_t> wide = {0x10428, 'x', 0x1E922};
  EXPECT_EQ(case_map_units_in_place(reinterpret_cast<uint8_t*>(wide.data()), wide.size(), 4, Case::upper), 3u);
  EXPECT_EQ(wide, (std::vector<uint32_t>{0x10400, 'X', 0x1E900}));
}

}  // namespace
}  // namespace qel
