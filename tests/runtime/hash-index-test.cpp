// hash! and map! tables: chains, searches, removal, syncs, rebuilds and map! filling (integer!,
// string! and word! compare through the probe rows).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "memory-fixture.h"
#include "probe-rows.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"
#include "runtime/gc-root.h"
#include "runtime/hash-index.h"
#include "runtime/hash-table.h"
#include "runtime/murmur-hash.h"
#include "runtime/symbols.h"

namespace qel {
namespace {

class HashIndex : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    probe::register_rows();
  }
  void TearDown() override {
    datatype_tables_init();
    MemoryTest::TearDown();
  }
};

Cell text(const char* t) { return string_cell(byte_series_of(t)); }

// A table over the block, rooted as a hash! or map! value holds it.
NodeId indexed(const Cell& block, TableKind kind) {
  NodeId table = hashtable_new(series_buffer_length(block.w2), block.w2, kind, 1);
  root_slot_append(make_cell(kind == TableKind::map ? Type::map : Type::hash, 0, block.w2, table));
  return table;
}

TEST_F(HashIndex, EqualCellsShareOneChain) {
  Cell block = rooted_block({integer(1), integer(2), integer(1), integer(3), integer(1)});
  NodeId table = indexed(block, TableKind::hash);
  EXPECT_EQ(table_record(table).count, 5u);
  EXPECT_EQ(table_record(table).occupied, 3u) << "1, 2 and 3 take one bucket each";
  struct Row {
    uint32_t start, skip;
    bool last, reverse;
    int64_t found;
  };
  const Row rows[] = {{0, 1, false, false, 0}, {0, 1, true, false, 4}, {3, 1, false, true, 2},
                      {0, 2, false, false, 0}, {0, 2, true, false, 4}, {1, 2, false, false, -1},
                      {1, 1, false, false, 2}, {0, 1, false, true, -1}, {1, 3, false, false, 4}};
  for (const Row& row : rows)
    EXPECT_EQ(hashtable_find_cell(table, integer(1), row.start, row.skip, kCompareEqual, row.last, row.reverse),
              row.found)
        << row.start << " " << row.skip << " " << row.last << " " << row.reverse;
  EXPECT_EQ(hashtable_find_cell(table, integer(3), 0, 1, kCompareEqual, false, false), 3);
  EXPECT_EQ(hashtable_find_cell(table, integer(9), 0, 1, kCompareEqual, false, false), -1);
  hashtable_remove_cell(table, 2);
  EXPECT_EQ(hashtable_find_cell(table, integer(1), 1, 1, kCompareEqual, false, false), 4);
  hashtable_remove_cell(table, 0);
  hashtable_remove_cell(table, 4);
  EXPECT_EQ(hashtable_find_cell(table, integer(1), 0, 1, kCompareEqual, false, false), -1);
  EXPECT_EQ(table_record(table).count, 2u);
  hashtable_add_cell(table, 4);
  EXPECT_EQ(hashtable_find_cell(table, integer(1), 0, 1, kCompareEqual, false, false), 4);
}

TEST_F(HashIndex, CaseFoldsUnlessTheSearchIsStrict) {
  Cell block = rooted_block({text("Tree"), text("tree"), text("TREE")});
  NodeId table = indexed(block, TableKind::hash);
  EXPECT_EQ(hashtable_find_cell(table, text("tree"), 0, 1, kCompareEqual, false, false), 0);
  EXPECT_EQ(hashtable_find_cell(table, text("tree"), 0, 1, kCompareStrictEqual, false, false), 1);
  EXPECT_EQ(hashtable_find_cell(table, text("TREE"), 0, 1, kCompareStrictEqual, true, false), 2);
}

// Every cell is found at its own position from there.
void expect_every_position_found(NodeId table, const Cell& block) {
  for (uint32_t p = 0; p < series_buffer_length(block.w2); ++p) {
    Cell value = cell_at(block, p);
    ASSERT_EQ(hashtable_find_cell(table, value, p, 1, kCompareEqual, false, false), p) << p;
  }
}

// Inserts cells at a position of the block, shifting the later ones up.
void insert_cells(const Cell& block, uint32_t at, std::initializer_list<Cell> cells) {
  const uint32_t length = series_buffer_length(block.w2);
  for (size_t i = 0; i < cells.size(); ++i) series_append_fresh_slot(block.w2);
  Cell* head = series_buffer(block.w2)->head_cell();
  std::copy_backward(head + at, head + length, head + length + cells.size());
  std::copy(cells.begin(), cells.end(), head + at);
}

TEST_F(HashIndex, SyncsKeepPositionsInStep) {
  Cell block = rooted_block({integer(1), integer(2), integer(1), integer(3), integer(1)});
  NodeId table = indexed(block, TableKind::hash);
  insert_cells(block, 0, {integer(7), integer(1)});
  ASSERT_EQ(hash_index_sync(table, 2, 0, 5), 0);
  hashtable_add_cell(table, 0);
  hashtable_add_cell(table, 1);
  expect_every_position_found(table, block);
  // Removing cells 2 and 3 (the old head's 1 and 2): the later ones move down.
  series_buffer_remove_bytes(block.w2, 2 * sizeof(Cell), 2 * sizeof(Cell));
  ASSERT_EQ(hash_index_sync(table, -2, 4, 3), 0);
  expect_every_position_found(table, block);
  EXPECT_EQ(table_record(table).count, 5u);
  EXPECT_EQ(hashtable_find_cell(table, integer(2), 0, 1, kCompareEqual, false, false), -1);
  // [7 1 1 3 1]: the first two cells move behind the third, then back.
  Cell* head = series_buffer(block.w2)->head_cell();
  std::rotate(head, head + 2, head + 3);
  ASSERT_EQ(hash_index_sync_move(table, 0, 1, 2), 0);
  expect_every_position_found(table, block);
  std::rotate(head + 0, head + 1, head + 3);
  ASSERT_EQ(hash_index_sync_move(table, 1, 0, 2), 0);
  expect_every_position_found(table, block);
}

TEST_F(HashIndex, LargeChangesAskForARebuild) {
  Cell block = rooted_block({});
  for (int i = 0; i < 30001; ++i) *series_append_fresh_slot(block.w2) = integer(i % 1000);
  NodeId table = indexed(block, TableKind::hash);
  insert_cells(block, 0, {integer(-1)});
  EXPECT_EQ(hash_index_sync(table, 1, 0, 30001), 1);
  hashtable_resize(table, series_buffer_length(block.w2));
  expect_every_position_found(table, block);
  EXPECT_EQ(table_record(table).count, 30002u);
}

TEST_F(HashIndex, GrowthRebuildsAndCollectionsKeepEverything) {
  Cell block = rooted_block({});
  NodeId table = indexed(block, TableKind::hash);
  bool rebuilt = false;
  for (int i = 0; i < 3000; ++i) {
    *series_append_fresh_slot(block.w2) = i % 3 ? integer(i) : text(std::to_string(i % 300).c_str());
    rebuilt |= hashtable_put_cell(table, static_cast<uint32_t>(i)) == PutStatus::rebuilt;
    if (i % 500 == 0) gc_safepoint();
  }
  EXPECT_TRUE(rebuilt);
  collect_now();
  expect_every_position_found(table, block);
  hashtable_refresh(table, 0, 10);
  EXPECT_EQ(table_record(table).count, 2990u);
  hashtable_refresh(table, 0, 5000);
  EXPECT_EQ(table_record(table).count, 0u);
  hashtable_fill(table, 0, 1);
  expect_every_position_found(table, block);
  NodeId copy = hashtable_copy(table, block.w2);
  root_slot_append(make_cell(Type::hash, 0, block.w2, copy));
  hashtable_clear(table);
  EXPECT_EQ(hashtable_find_cell(table, integer(1), 0, 1, kCompareEqual, false, false), -1);
  collect_now();
  expect_every_position_found(copy, block);
}

TEST_F(HashIndex, AMapKeepsTheFirstPositionAndTheLastValue) {
  Cell block = rooted_block({integer(10), text("a"), integer(20), text("b"), integer(10), text("c")});
  NodeId table = indexed(block, TableKind::map);
  ASSERT_EQ(series_buffer_length(block.w2), 4u);
  EXPECT_EQ(payload_i32(cell_at(block, 0), 2), 10);
  EXPECT_EQ(payload_i32(cell_at(block, 2), 2), 20);
  EXPECT_EQ(text_of(cell_at(block, 1).w2), "c");
  EXPECT_EQ(hashtable_find_key(table, integer(10), kCompareStrictEqual), 0);
  EXPECT_EQ(hashtable_find_key(table, integer(20), kCompareEqual), 2);
  EXPECT_EQ(table_record(table).count, 2u);
  hashtable_remove_cell(table, 2);
  EXPECT_EQ(cell_at(block, 3).header, 0u);
  EXPECT_EQ(hashtable_find_key(table, integer(20), kCompareEqual), 2) << "the bucket stays";
  EXPECT_EQ(table_record(table).count, 1u);
}

TEST_F(HashIndex, MapKeysWithAndWithoutCase) {
  uint32_t a = symbol_intern_cstring("a");
  Cell key = make_cell(Type::set_word, 0, a, 0);
  Cell block = rooted_block({key, integer(1), text("K"), integer(2), text("k"), integer(3)});
  NodeId table = indexed(block, TableKind::map);
  EXPECT_EQ(series_buffer_length(block.w2), 6u) << "K and k are two keys";
  Cell word = make_cell(Type::word, 0, symbol_intern_cstring("A"), 0);
  EXPECT_EQ(hashtable_find_key(table, word, kCompareEqual), 0) << "looked up as a set-word";
  EXPECT_EQ(cell_type(word), Type::word) << "on a copy";
  EXPECT_EQ(hashtable_find_key(table, word, kCompareStrictEqual), -1);
  EXPECT_EQ(hashtable_find_key(table, text("k"), kCompareStrictEqual), 4);
  EXPECT_EQ(hashtable_find_cell(table, text("K"), 0, 1, kCompareStrictEqual, false, false), 2);
  // Growth re-places every key.
  for (int i = 0; i < 200; ++i) {
    *series_append_fresh_slot(block.w2) = integer(i);
    *series_append_fresh_slot(block.w2) = integer(-i);
    hashtable_add_cell(table, series_buffer_length(block.w2) - 2);
  }
  EXPECT_GT(table_record(table).buckets, 8u);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(hashtable_find_key(table, integer(i), kCompareEqual), 6 + 2 * i);
  EXPECT_EQ(hashtable_find_key(table, text("K"), kCompareStrictEqual), 2);
}

// A removed pair keeps its bucket through growth; a copy keeps its own slots when the original
// is cleared and refilled.
TEST_F(HashIndex, MapBucketsThroughRemovalGrowthCopyAndClear) {
  Cell block = rooted_block({integer(0), integer(0)});
  NodeId table = indexed(block, TableKind::map);
  auto put = [](NodeId into, int32_t key) {
    const NodeId pairs = table_record(into).block;
    *series_append_fresh_slot(pairs) = integer(key);
    *series_append_fresh_slot(pairs) = integer(-key);
    hashtable_add_cell(into, series_buffer_length(pairs) - 2);
  };
  auto key_of = [](uint32_t pair) { return static_cast<int32_t>(pair * 7919u); };
  for (uint32_t pair = 1; pair < 100; ++pair) put(table, key_of(pair));
  for (uint32_t pair = 0; pair < 100; pair += 3) hashtable_remove_cell(table, 2 * pair);
  for (uint32_t pair = 100; pair < 400; ++pair) put(table, key_of(pair));
  EXPECT_EQ(table_record(table).occupied, 400u) << "removed pairs keep their buckets";
  EXPECT_EQ(table_record(table).count, 400u - 34u);
  NodeId copy = hashtable_copy(table, 0);
  root_slot_append(make_cell(Type::map, 0, table_record(copy).block, copy));
  for (uint32_t pair = 400; pair < 600; ++pair) put(copy, key_of(pair));
  hashtable_clear(table);
  put(table, key_of(5));
  collect_now();
  for (uint32_t pair = 0; pair < 600; ++pair) {
    ASSERT_EQ(hashtable_find_key(copy, integer(key_of(pair)), kCompareEqual), 2 * pair) << pair;
    ASSERT_EQ(hashtable_find_key(table, integer(key_of(pair)), kCompareEqual), pair == 5 ? 0 : -1) << pair;
  }
  EXPECT_EQ(hashtable_find_key(copy, integer(1), kCompareEqual), -1);
}

}  // namespace
}  // namespace qel
