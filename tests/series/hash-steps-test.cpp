// hash!: random modifying actions applied to a hash! and to a block in step; after each one
// every search through the hash!'s table answers what the walk over the block answers, and
// every cell is indexed once, at its position.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string_view>

#include "block-fixture.h"
#include "datatypes/series/block.h"
#include "datatypes/series/string-load.h"
#include "runtime/collector.h"
#include "runtime/gc-root.h"
#include "runtime/hash-index.h"
#include "runtime/hash-table.h"

namespace qel::testing {
namespace {

constexpr size_t kFindPart = refinement_position(Act::Find, "part");
constexpr size_t kFindCase = refinement_position(Act::Find, "case");
constexpr size_t kFindSkip = refinement_position(Act::Find, "skip");
constexpr size_t kFindLast = refinement_position(Act::Find, "last");
constexpr size_t kFindReverse = refinement_position(Act::Find, "reverse");
constexpr size_t kSelectCase = refinement_position(Act::Select, "case");
constexpr size_t kSelectLast = refinement_position(Act::Select, "last");
constexpr size_t kPart = 0;  // /part of remove, reverse, take, move, change, append, insert
constexpr size_t kTakeLast = refinement_position(Act::Take, "last");
constexpr size_t kAppendDup = refinement_position(Act::Append, "dup");

class HashSteps : public BlockTest {
 protected:
  void SetUp() override {
    BlockTest::SetUp();
    for (std::string_view text : {"a", "A", "b", "B", "ab"}) {
      Cell string;
      string_load({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, string, TextEncoding::utf8);
      strings_.push_back(string);
    }
    pool_.emplace();
    block_make_at(pool_->get(), 8);
    for (const Cell& string : strings_) block_append_copy(pool_->get(), string);
  }
  void TearDown() override {
    pool_.reset();
    BlockTest::TearDown();
  }

  // A value of a small range, so that equal cells (chains) are common; now and then a string
  // that differs from another only by letter case, a word of some kind (words find the other
  // kinds of their spelling), or none.
  Cell random_value() {
    const uint32_t pick = rng_() % 24;
    if (pick < 14) return integer_cell(static_cast<int32_t>(rng_() % 12));
    if (pick < 19) return strings_[rng_() % strings_.size()];
    if (pick < 23) {
      constexpr Type kKinds[] = {Type::word, Type::set_word, Type::lit_word, Type::get_word, Type::refinement};
      Cell word = word_cell(rng_() % 2 ? "a" : "A");
      set_value_type_byte(word, kKinds[rng_() % std::size(kKinds)]);
      return word;
    }
    return make_cell(Type::none);
  }
  int32_t below(int64_t n) { return n <= 0 ? 0 : static_cast<int32_t>(rng_() % static_cast<uint64_t>(n)); }
  bool coin() { return rng_() % 2 == 0; }

  // A block of 0-3 random values, rooted in the pool while it is used.
  Cell random_block() {
    Cell block = pooled_block();
    for (int32_t n = below(4); n > 0; --n) block_append_copy(block, random_value());
    return block;
  }
  Cell pooled_block() {
    Cell block;
    block_make_at(block, 4);
    block_append_copy(pool_->get(), block);
    return block;
  }

  // Applies one random modifying action at one random index to both series: each raises the
  // same error, or none.
  void step(const Cell& hash, const Cell& block) {
    const int64_t total = block_total_cells(block);
    const int32_t index = below(total + 1), other = below(total + 1);
    const Cell count[] = {integer_cell(below(4) - 1)};
    const Refinement part{kPart, coin(), count};
    const Cell value = coin() ? random_value() : random_block();
    const Cell second = random_value();
    const Cell n = integer_cell(below(total + 2) + 1);
    const Cell dup[] = {integer_cell(below(3) + 1)};
    const bool flag = coin();
    const uint32_t action = rng_() % 14;
    if ((action == 3 && (keep_large_ || rng_() % 8 != 0)) || (action == 11 && rng_() % 4 != 0)) return;  // seldom
    // Moves between buffers go from or to a block of their own for each series.
    Cell other_block = random_block();
    const Cell twin = pooled_block();
    block_append_cells(twin, other_block);
    // The action on a series, `at` and `to` being two of its positions.
    auto act = [&](const Cell& at, const Cell& to) {
      switch (action) {
        case 0: call(Act::Poke, {}, at, n, second); break;
        case 1: call(Act::Put, {}, at, second, value); break;
        case 2: call(Act::Swap, {}, at, to); break;
        case 3: call(Act::Clear, {}, at); break;
        case 4: call(Act::Remove, {part}, at); break;
        case 5: call(Act::Reverse, {part}, at); break;
        case 6: call(Act::Take, {part, {kTakeLast, flag}}, at); break;
        case 7: call(Act::Move, {part}, at, to); break;
        case 8: call(Act::Append, {part, {kAppendDup, flag, dup}}, at, value); break;
        case 9: call(Act::Insert, {part, {kAppendDup, flag, dup}}, at, value); break;
        case 10: call(Act::Change, {part}, at, value); break;
        case 11: call(flag ? Act::Sort : Act::Trim, {}, at); break;
        case 12: call(Act::Move, {part}, other_block, at); break;
        case 13: call(Act::Move, {part}, at, other_block); break;
      }
    };
    const ErrorId in_hash = error_of([&] { act(at_index(hash, index), at_index(hash, other)); });
    other_block = twin;
    const ErrorId in_block = error_of([&] { act(at_index(block, index), at_index(block, other)); });
    ASSERT_EQ(in_hash.code(), in_block.code()) << "action " << action;
  }

  // The index a find answered, or -1 for none.
  static int64_t found_at(const Cell& found) { return cell_type(found) == Type::none ? -1 : series_index(found); }

  // Searches for one random value with random refinements in both; the answers must agree.
  void searches_agree(const Cell& hash, const Cell& block) {
    const int32_t index = below(block_total_cells(block) + 1);
    const Cell value = random_value();
    const Cell skip[] = {integer_cell(below(3) + 1)};
    const Cell part[] = {integer_cell(below(6) + 1)};
    const bool last = coin(), reverse = !last && coin();
    const Refinements find{{kFindPart, rng_() % 4 == 0, part}, {kFindCase, coin()}, {kFindSkip, coin(), skip},
                           {kFindLast, last}, {kFindReverse, reverse}};
    const int64_t in_hash = found_at(call(Act::Find, find, at_index(hash, index), value));
    const int64_t in_block = found_at(call(Act::Find, find, at_index(block, index), value));
    ASSERT_EQ(in_hash, in_block) << "find from " << index;
    const Refinements select{{kSelectCase, coin()}, {kSelectLast, coin()}};
    const Cell from_hash = call(Act::Select, select, hash, value);
    const Cell from_block = call(Act::Select, select, block, value);
    ASSERT_TRUE(compare_values(from_hash, from_block, kCompareSame)) << "select";
  }

  // The same cells in both, and each cell of the hash! found at its own position by a strict
  // search from there: so each is indexed, and the count shows none twice.
  static void indexed_once(const Cell& hash, const Cell& block) {
    const int64_t total = block_total_cells(block);
    ASSERT_EQ(block_total_cells(hash), total);
    const NodeId table = hash.w3;
    ASSERT_EQ(table_record(table).count, total);
    for (int64_t p = 0; p < total; ++p) {
      const Cell cell = *block_cell_at(hash, p);
      ASSERT_TRUE(compare_values(cell, *block_cell_at(block, p), kCompareSame)) << "cell " << p;
      ASSERT_EQ(hashtable_find_cell(table, cell, static_cast<uint32_t>(p), 1, kCompareStrictEqual, false, false), p)
          << "cell " << p;
    }
  }

  // Runs the steps from a block of `cells` random values, collecting now and then.
  void run_steps(int64_t cells, int32_t steps, int32_t check_every) {
    GcRoot<Cell> block{Cell{}};
    block_make_at(block.get(), cells);
    for (int64_t i = 0; i < cells; ++i) block_append_copy(block.get(), random_value());
    GcRoot<Cell> hash{call(Act::Make, make_cell(Type::datatype, static_cast<uint32_t>(Type::hash)), block.get())};
    for (int32_t n = 1; n <= steps; ++n) {
      ASSERT_NO_FATAL_FAILURE(step(hash.get(), block.get()));
      for (int k = 0; k < 3; ++k) ASSERT_NO_FATAL_FAILURE(searches_agree(hash.get(), block.get()));
      if (n % check_every == 0) {
        ASSERT_NO_FATAL_FAILURE(indexed_once(hash.get(), block.get())) << "after step " << n;
      }
      if (n % 50 == 0) gc_safepoint();  // under torture, buffers move
    }
  }

  std::mt19937 rng_{20261211};
  bool keep_large_ = false;  // no clear
  std::vector<Cell> strings_;
  std::optional<GcRoot<Cell>> pool_;  // the strings and blocks the steps use
};

TEST_F(HashSteps, SmallHashAgreesWithItsBlockThroughTenThousandSteps) { run_steps(20, 10000, 1); }

// Past 30,000 cells after the change the syncs give way to rebuilds.
TEST_F(HashSteps, LargeHashAgreesWithItsBlock) {
  keep_large_ = true;
  run_steps(40000, 300, 100);
}

// A set operation on a hash! answers a hash! with an index of its own.
TEST_F(HashSteps, SetOperationResultIsIndexed) {
  const Cell spec = Reader("1 2 1 3").block();
  const Cell hash = call(Act::Make, make_cell(Type::datatype, static_cast<uint32_t>(Type::hash)), spec);
  const Cell unique = block_set_operation(kSetUnique, hash, hash, false, nullptr);
  ASSERT_EQ(cell_type(unique), Type::hash);
  ASSERT_NE(unique.w3, hash.w3);
  EXPECT_EQ(table_record(unique.w3).count, 3u);
  EXPECT_EQ(hashtable_find_cell(unique.w3, integer_cell(3), 0, 1, kCompareFind, false, false), 2);
}

}  // namespace
}  // namespace qel::testing
