// Hash tables: sizes, growth, and the integer-keyed kinds against a model.
#include <gtest/gtest.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "memory-fixture.h"
#include "runtime/gc-root.h"
#include "runtime/hash-table.h"

namespace qel {
namespace {

using HashTableTest = MemoryTest;

TEST_F(HashTableTest, CreationSizes) {
  struct Row {
    int64_t expected;
    TableKind kind;
    uint32_t buckets;
    uint32_t bound;
  };
  const Row rows[] = {
      {1, TableKind::integers, 8, 6},          {10, TableKind::integers, 16, 12},
      {100, TableKind::integers, 256, 197},    {1000, TableKind::integers, 2048, 1576},
      {4000, TableKind::words, 16384, 12615},  {3999, TableKind::words, 8192, 6307},
      {4000, TableKind::integers, 8192, 6307},
  };
  for (const Row& row : rows) {
    const HashTable& record = table_record(hashtable_new(row.expected, 0, row.kind, 1));
    EXPECT_EQ(record.buckets, row.buckets) << row.expected;
    EXPECT_EQ(record.bound, row.bound) << row.expected;
    EXPECT_EQ(record.count, 0u);
    EXPECT_EQ(record.stamp, 0u);
  }
}

TEST_F(HashTableTest, ARebuildAtTheBoundKeepsTheSizeWhenMostBucketsAreDeleted) {
  NodeId table = hashtable_new(10, 0, TableKind::integers, 1);
  for (uint32_t key = 1; key <= 12; ++key) hashtable_put(table, key)->w2 = key;
  for (uint32_t key = 1; key <= 10; ++key) ASSERT_NE(hashtable_remove_key(table, key), nullptr);
  EXPECT_EQ(table_record(table).occupied, 12u);
  hashtable_put(table, 100);
  const HashTable& record = table_record(table);
  EXPECT_EQ(record.buckets, 16u);
  EXPECT_EQ(record.count, 3u);
  EXPECT_EQ(record.occupied, record.count);
  EXPECT_EQ(hashtable_get(table, 12)->w2, 12u);
  EXPECT_EQ(hashtable_get(table, 5), nullptr);
}

TEST_F(HashTableTest, IntegerKeysAgreeWithAModel) {
  // A table is rooted through a value that holds it, as a map! holds its table.
  GcRoot<Cell> held(make_cell(Type::map, 0, 0, hashtable_new(4, 0, TableKind::integers, 2)));
  auto table = [&] { return held->w3; };
  std::unordered_map<uint32_t, uint32_t> model;
  std::mt19937 random(7);
  for (int step = 0; step < 100000; ++step) {
    uint32_t key = random() % 3000;
    switch (random() % 3) {
      case 0: {
        Cell* values = hashtable_put(table(), key);
        values[0] = make_cell(Type::integer, 0, static_cast<uint32_t>(step));
        values[1] = make_cell(Type::integer, 0, key);
        model[key] = static_cast<uint32_t>(step);
        break;
      }
      case 1: {
        Cell* values = hashtable_get(table(), key);
        ASSERT_EQ(values != nullptr, model.count(key) == 1) << step;
        if (values) {
          ASSERT_EQ(values[0].w2, model[key]) << step;
          ASSERT_EQ(values[1].w2, key) << step;
        }
        break;
      }
      default: {
        Cell* values = hashtable_remove_key(table(), key);
        ASSERT_EQ(values != nullptr, model.erase(key) == 1) << step;
      }
    }
    ASSERT_EQ(table_record(table()).count, model.size()) << step;
    if (step % 1000 == 0) gc_safepoint();
  }
  size_t seen = 0;
  hashtable_for_each_entry(table(), [&](uint32_t key, Cell* values) {
    ++seen;
    EXPECT_EQ(values[0].w2, model.at(key));
  });
  EXPECT_EQ(seen, model.size());
}

TEST_F(HashTableTest, FreshKeysInsertedAndRemovedKeepTheTableBounded) {
  NodeId table = hashtable_new(16, 0, TableKind::integers, 1);
  for (uint32_t key = 1; key <= 1000000; ++key) {
    hashtable_put(table, key);
    hashtable_remove_key(table, key);
  }
  const HashTable& record = table_record(table);
  EXPECT_EQ(record.buckets, 32u);
  EXPECT_EQ(record.count, 0u);
  EXPECT_LE(series_buffer_length(record.block), 2 * record.buckets);
}

TEST_F(HashTableTest, ALookupAmongDeletedBucketsEnds) {
  NodeId table = hashtable_new(100, 0, TableKind::integers, 1);
  const uint32_t bound = table_record(table).bound;
  for (uint32_t key = 0; key < bound - 1; ++key) hashtable_put(table, key);
  for (uint32_t key = 0; key < bound - 1; ++key) hashtable_remove_key(table, key);
  // Only deleted and empty buckets remain; every miss still ends.
  for (uint32_t key = 5000; key < 5100; ++key) EXPECT_EQ(hashtable_get(table, key), nullptr);
}

// The windowed probe answers as the step-by-step walk does, on arrays of random states (full
// ones too) and keys drawn from a few values, so matches, deleted runs and wrap-arounds all occur.
TEST(WindowProbe, AgreesWithTheStepByStepWalk) {
  std::mt19937 random(5);
  for (int round = 0; round < 4000; ++round) {
    const uint32_t buckets = 4u << (random() % 7);
    const double occupied = 1.0 + random() % 4, deleted = random() % 4;
    const double empty = round % 8 == 0 ? 0.0 : 1.0 + random() % 4;  // every eighth array is full
    std::discrete_distribution<uint32_t> state({occupied, deleted, empty});
    std::vector<uint32_t> flags(buckets / 16 + 1, 0);
    std::vector<uint32_t> keys(buckets);
    HashTable record{};
    record.buckets = buckets;
    TableView view{&record, flags.data(), nullptr, nullptr};
    for (uint32_t bucket = 0; bucket < buckets; ++bucket) {
      view.set_state(bucket, state(random));  // 0 occupied, 1 deleted, 2 empty
      keys[bucket] = random() % 8;
    }
    for (int probe = 0; probe < 8; ++probe) {
      const uint32_t hash = random(), key = random() % 8;
      auto matches = [&](uint32_t bucket) { return keys[bucket] == key; };
      const Probe walked = table_probe(view, hash, matches);
      const Probe windowed = window_probe(view, hash, matches);
      ASSERT_EQ(windowed.bucket, walked.bucket) << buckets << " " << hash;
      ASSERT_EQ(windowed.found, walked.found) << buckets << " " << hash;
    }
  }
}

TEST_F(HashTableTest, KindFourEntriesAreWeakKindThreeStrong) {
  NodeId strong = hashtable_new(4, 0, TableKind::integers, 1);
  NodeId weak = hashtable_new(4, 0, TableKind::ownership, 1);
  root_slot_append(make_cell(Type::map, 0, 0, strong));  // a map! cell marks its table
  root_slot_append(make_cell(Type::map, 0, 0, weak));
  NodeId kept = byte_series_of("kept");
  NodeId lost = byte_series_of("lost");
  *hashtable_put(strong, 1) = string_cell(kept);
  *hashtable_put(weak, 1) = string_cell(lost);
  ASSERT_TRUE(collect_now());
  EXPECT_EQ(text_of(kept), "kept");
  EXPECT_FALSE(node_is_in_use(lost));
}

TEST_F(HashTableTest, CopyAndClear) {
  NodeId table = hashtable_new(4, 0, TableKind::integers, 1);
  for (uint32_t key = 1; key <= 20; ++key) hashtable_put(table, key)->w2 = key * 2;
  NodeId copy = hashtable_copy(table, 0);
  hashtable_clear(table);
  EXPECT_EQ(hashtable_get(table, 7), nullptr);
  EXPECT_EQ(table_record(table).count, 0u);
  EXPECT_EQ(hashtable_get(copy, 7)->w2, 14u);
  EXPECT_EQ(table_record(copy).count, 20u);
  // The copy's entries are cut to their content: new keys make its entry series grow.
  for (uint32_t key = 21; key <= 24; ++key) hashtable_put(copy, key)->w2 = key * 2;
  EXPECT_EQ(hashtable_get(copy, 22)->w2, 44u);
  EXPECT_EQ(hashtable_get(copy, 7)->w2, 14u);
}

}  // namespace
}  // namespace qel
