// bitset!: what its owner hears of each change, a handler that changes the bitset while it is
// told, growth by the negated flag, and mold cut by /part.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/scalars/bitset.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/contexts.h"
#include "runtime/gc-root.h"
#include "runtime/ownership.h"
#include "runtime/symbols.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

std::vector<std::string> heard;
void record(const OwnerChange& change) { heard.push_back(std::string(symbol_name(change.action.w2))); }

class Bitsets : public ScalarTest {
 protected:
  void SetUp() override {
    ScalarTest::SetUp();
    heard.clear();
    services().object_fire_on_change = record;
  }
  // A bitset of `bits` clear bits owned by an object.
  static Cell owned_bitset(int32_t bits, GcRoot<Cell>& owner) {
    NodeId context = context_make(2, false, false, 0, kObjectContext);
    *owner = make_cell(Type::object, context, 0, new_cell_series(1));
    context_owner(context) = *owner;
    Cell field = context_add_word(symbol_intern_cstring("bits"), context);
    Cell bitset = call(Act::Make, datatype_cell(Type::bitset), integer_cell(bits));
    series_set_owned(bitset, *owner, field);
    return bitset;
  }
  static bool member(const Cell& bitset, int32_t n) { return bitset_member(bitset.w2, n); }
};

TEST_F(Bitsets, EachChangeIsAnnouncedBeforeAndAfter) {
  GcRoot<Cell> owner;
  Cell bits = owned_bitset(8, owner);
  call(Act::Append, bits, integer_cell(3));
  call(Act::Insert, bits, integer_cell(20));
  call(Act::Poke, bits, integer_cell(5), logic_cell(true));
  const Cell key = integer_cell(3);
  call(Act::Remove, {{1, true, {&key, 1}}}, bits);
  call(Act::Clear, bits);
  EXPECT_EQ(heard, (std::vector<std::string>{"append", "appended", "insert", "inserted", "poke", "poked", "remove",
                                             "removed", "clear", "cleared"}));
  EXPECT_FALSE(member(bits, 20));
  EXPECT_EQ(bitset_byte_count(bits.w2), 3u);
  // A copy has no owner.
  heard.clear();
  Cell copy = call(Act::Copy, bits);
  call(Act::Append, copy, integer_cell(1));
  EXPECT_TRUE(heard.empty());
}

// A handler that grows the bitset while it is told: the change reads the buffer again after.
TEST_F(Bitsets, AHandlerMayGrowTheBitsetBeforeTheChange) {
  static Cell shared;
  services().object_fire_on_change = [](const OwnerChange& change) {
    if (symbol_name(change.action.w2) == "append") bitset_ensure(shared.w2, 4000);
  };
  GcRoot<Cell> owner;
  shared = owned_bitset(8, owner);
  call(Act::Append, shared, integer_cell(7));
  EXPECT_TRUE(member(shared, 7));
  EXPECT_EQ(bitset_byte_count(shared.w2), 501u);
}

TEST_F(Bitsets, GrowthFillsByTheNegatedFlag) {
  Cell bits = call(Act::Make, datatype_cell(Type::bitset), integer_cell(8));
  series_buffer(bits.w2)->flags |= kBitsetNegated;
  bitset_ensure(bits.w2, 100);
  EXPECT_EQ(bitset_byte_count(bits.w2), 13u);
  EXPECT_FALSE(member(bits, 0));
  EXPECT_TRUE(member(bits, 99));
  EXPECT_TRUE(member(bits, 5000));
  EXPECT_TRUE(member(bits, -1));
  EXPECT_EQ(error_of([&] { bitset_ensure(bits.w2, kBitsetHighestBit + 1); }), error_id("script", "out-of-range"));
  EXPECT_EQ(call(Act::LengthQ, bits).w2, 104u);
}

TEST_F(Bitsets, MoldWithPartStopsTheDigitsAndLeavesTheEndOff) {
  Cell bits = call(Act::Make, datatype_cell(Type::bitset), integer_cell(64));
  call(Act::Append, bits, integer_cell(0));
  struct Row {
    int32_t limit;
    const char* text;
  };
  const Row rows[] = {{14, "make bitset! #"}, {17, "make bitset! #{80"}, {20, "make bitset! #{80000"},
                      {48, "make bitset! #{8000000000000000}"}};
  for (const Row& row : rows) {
    const Cell limit = integer_cell(row.limit);
    EXPECT_EQ(text_of(call(Act::Mold, {{3, true, {&limit, 1}}}, bits)), row.text) << row.limit;
  }
}

// The tests parse makes of text and binary input: the unit at the index, the flag beyond the
// stored bytes, false at the tail.
TEST_F(Bitsets, TextAndBinaryInputTestTheUnitAtTheirIndex) {
  Cell bits = call(Act::Make, datatype_cell(Type::bitset), integer_cell(8));
  call(Act::Append, bits, integer_cell(2));
  GcRoot<Cell> text;
  string_make_at(*text, 4);
  for (uint32_t c : {2u, 0x20ACu, 3u}) string_append_char(text->w2, c);
  EXPECT_TRUE(string_char_in_bitset(*text, bits));
  text->w1 = 1;
  EXPECT_FALSE(string_char_in_bitset(*text, bits));
  series_buffer(bits.w2)->flags |= kBitsetNegated;
  EXPECT_TRUE(string_char_in_bitset(*text, bits));  // U+20AC lies beyond the stored byte
  text->w1 = 3;
  EXPECT_FALSE(string_char_in_bitset(*text, bits));
  const uint8_t bytes[] = {2, 3};
  Cell binary = *binary_push_bytes(bytes);
  EXPECT_TRUE(binary_byte_in_bitset(binary, bits));
  binary.w1 = 1;
  EXPECT_FALSE(binary_byte_in_bitset(binary, bits));
  binary.w1 = 2;
  EXPECT_FALSE(binary_byte_in_bitset(binary, bits));
}

}  // namespace
}  // namespace qel
