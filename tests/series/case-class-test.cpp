// case-class-test.cpp: a code point's class under folding holds exactly the code points whose
// upper case is its own, the irregular classes included.
#include <gtest/gtest.h>

#include <set>

#include "datatypes/series/case-class.h"

namespace qel {
namespace {

bool folds_alike(uint32_t x, uint32_t c) { return unicode_case_map(x, Case::upper) == unicode_case_map(c, Case::upper); }

TEST(CaseClass, HoldsExactlyWhatFoldsAlike) {
  // every code point that takes part in a mapping below U+3000, and a few without one
  std::set<uint32_t> probes = {'0', ' ', 0xD7, 0x2126, 0x212A, 0x1F600};
  for (auto pairs : {case_pairs_bmp(Case::upper), case_pairs_bmp(Case::lower)})
    for (const CasePair& pair : pairs)
      if (pair.from < 0x3000) probes.insert({pair.from, pair.to});
  for (uint32_t c : probes) {
    const CaseClass cls = case_class_of(c, true);
    for (uint32_t x = 0; x < 0x3000; ++x) ASSERT_EQ(cls.holds(x), folds_alike(x, c)) << std::hex << c << " " << x;
    EXPECT_TRUE(cls.holds(c));
  }
}

TEST(CaseClass, TwoMembersTestedAsTheyAreWhereTheyAreAll) {
  struct Row {
    uint32_t c;
    bool mapped;
  };
  const Row rows[] = {{'a', false}, {'A', false}, {0xE9, false}, {'0', false},
                      {0x1C6, true} /* dz: three spellings */, {0x3C3, true} /* sigma and final sigma */,
                      {0xB5, true} /* micro sign: its upper case is Greek */};
  for (const Row& row : rows) EXPECT_EQ(case_class_of(row.c, true).mapped, row.mapped) << std::hex << row.c;
}

TEST(CaseClass, KeepingCaseHoldsTheCodePointAlone) {
  const CaseClass cls = case_class_of('a', false);
  EXPECT_TRUE(cls.holds('a'));
  EXPECT_FALSE(cls.holds('A'));
}

}  // namespace
}  // namespace qel
