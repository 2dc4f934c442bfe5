// The merge sort and the quick sort: orders against library models, stability, comparator
// call counts on ordered input, throwing and self-contradicting comparators.
#include "datatypes/series/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "runtime/exits.h"
#include "runtime/heap.h"
#include "runtime/services.h"
#include "runtime/throw.h"

namespace qel {
namespace {

// ---- records: a key, the record's input position, filler derived from the position ---------

// Key bytes at the front of a record of `width` bytes (little-endian); the position follows.
size_t key_bytes(size_t width) { return width <= 3 ? 1 : width < 8 ? 2 : 4; }

uint32_t read_le(const std::byte* bytes, size_t count) {
  uint32_t value = 0;
  for (size_t i = count; i-- > 0;) value = value << 8 | std::to_integer<uint32_t>(bytes[i]);
  return value;
}

struct Records {
  size_t width;
  std::vector<std::byte> bytes;
  size_t count() const { return bytes.size() / width; }
  std::byte* data() { return bytes.data(); }
  const std::byte* at(size_t i) const { return bytes.data() + i * width; }
  uint32_t key(size_t i) const { return read_le(at(i), key_bytes(width)); }
};

Records make_records(const std::vector<uint32_t>& keys, size_t width) {
  Records records{width, std::vector<std::byte>(keys.size() * width)};
  size_t key_size = key_bytes(width);
  for (size_t i = 0; i < keys.size(); ++i) {
    std::byte* record = records.bytes.data() + i * width;
    for (size_t b = 0; b < width; ++b) {
      uint64_t source = b < key_size ? keys[i] >> (8 * b) : b < key_size + 4 ? i >> (8 * (b - key_size)) : i * 7 + b;
      record[b] = static_cast<std::byte>(source & 0xFF);
    }
  }
  return records;
}

// Orders records by key alone; counts its calls, and throws an error on call `throw_at`.
struct ByKey {
  size_t width;
  uint64_t* calls;
  uint64_t throw_at = 0;
  int operator()(const std::byte* x, const std::byte* y) const {
    if (++*calls == throw_at) throw NonLocalExit{kThrowError};
    uint32_t a = read_le(x, key_bytes(width)), b = read_le(y, key_bytes(width));
    return a < b ? -1 : a > b;
  }
};

// The records as a sorted list of byte strings: equal lists mean one is a permutation of the other.
std::vector<std::string> multiset(const Records& records) {
  std::vector<std::string> items;
  for (size_t i = 0; i < records.count(); ++i)
    items.emplace_back(reinterpret_cast<const char*>(records.at(i)), records.width);
  std::sort(items.begin(), items.end());
  return items;
}

// The model of the merge sort: the records in the order std::stable_sort gives by key.
Records stable_model(const Records& input) {
  std::vector<size_t> order(input.count());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return input.key(a) < input.key(b); });
  Records expected{input.width, {}};
  for (size_t i : order) expected.bytes.insert(expected.bytes.end(), input.at(i), input.at(i) + input.width);
  return expected;
}

// ---- the adversary: answers so that each pivot the quick sort draws is as bad as can be ----

// Elements are 4-byte ids. Every element starts as "gas" (above all others, equal to each
// other); comparing two gas elements freezes one into the next smallest value, preferring the
// latest gas element the sort looked at (the likely pivot). The values it settles on are a
// concrete input on which this sort does its worst.
struct Adversary {
  std::vector<uint32_t> value;
  uint32_t gas;
  uint32_t candidate;  // none at first
  uint32_t solid = 0;
  uint64_t calls = 0;

  explicit Adversary(size_t n)
      : value(n, static_cast<uint32_t>(n)), gas(static_cast<uint32_t>(n)), candidate(static_cast<uint32_t>(n)) {}
  int operator()(const std::byte* x, const std::byte* y) {
    ++calls;
    uint32_t i = read_le(x, 4), j = read_le(y, 4);
    if (value[i] == gas && value[j] == gas) value[i == candidate ? i : j] = solid++;
    if (value[i] == gas) candidate = i;
    else if (value[j] == gas) candidate = j;
    return value[i] < value[j] ? -1 : value[i] > value[j];
  }
};

// Runs the adversary against the quick sort on n elements; answers it with its settled values.
Adversary run_adversary(size_t n) {
  std::vector<uint32_t> ids(n);
  std::iota(ids.begin(), ids.end(), 0);
  Adversary adversary(n);
  quick_sort(ids.data(), n, 4, [&](const std::byte* x, const std::byte* y) { return adversary(x, y); });
  return adversary;
}

// ---- input shapes -------------------------------------------------------------------------

enum class Shape { kRandom, kSorted, kReverse, kOrganPipe, kAllEqual, kFewDistinct, kSawtooth, kFewSwaps, kKiller };

constexpr Shape kShapes[] = {Shape::kRandom,    Shape::kSorted,      Shape::kReverse,
                             Shape::kOrganPipe, Shape::kAllEqual,    Shape::kFewDistinct,
                             Shape::kSawtooth,  Shape::kFewSwaps,    Shape::kKiller};

const char* shape_name(Shape shape) {
  constexpr const char* kNames[] = {"random",      "sorted",   "reverse",   "organ pipe", "all equal",
                                    "few distinct", "sawtooth", "few swaps", "killer"};
  return kNames[static_cast<int>(shape)];
}

std::vector<uint32_t> make_keys(Shape shape, size_t n, std::mt19937& random) {
  std::vector<uint32_t> keys(n);
  for (size_t i = 0; i < n; ++i) {
    switch (shape) {
      case Shape::kRandom: keys[i] = random(); break;
      case Shape::kSorted: case Shape::kFewSwaps: keys[i] = static_cast<uint32_t>(i); break;
      case Shape::kReverse: keys[i] = static_cast<uint32_t>(n - i); break;
      case Shape::kOrganPipe: keys[i] = static_cast<uint32_t>(std::min(i, n - i)); break;
      case Shape::kAllEqual: keys[i] = 7; break;
      case Shape::kFewDistinct: keys[i] = random() % 5; break;
      case Shape::kSawtooth: keys[i] = static_cast<uint32_t>(i % 61); break;
      case Shape::kKiller: break;
    }
  }
  if (shape == Shape::kFewSwaps && n > 1)
    for (int swaps = 0; swaps < 4; ++swaps) std::swap(keys[random() % n], keys[random() % n]);
  if (shape == Shape::kKiller) keys = run_adversary(n).value;
  return keys;
}

// ---- orders -------------------------------------------------------------------------------

constexpr size_t kSizes[] = {0, 1, 2, 7, 8, 23, 24, 25, 97, 98, 513, 100000};
constexpr size_t kWidths[] = {1, 2, 3, 4, 16, 48, 300};

// Calls `check` for every shape, size and width of the table (the largest size at width 16).
template <class Check>
void for_each_case(Check check) {
  std::mt19937 random(20240229);
  for (Shape shape : kShapes) {
    for (size_t n : kSizes) {
      for (size_t width : kWidths) {
        if (n > 1000 && width != 16) continue;
        SCOPED_TRACE(std::string(shape_name(shape)) + ", n = " + std::to_string(n) + ", width = " + std::to_string(width));
        check(make_records(make_keys(shape, n, random), width));
      }
    }
  }
}

TEST(MergeSort, EqualsTheStableModelOnEveryShapeSizeAndWidth) {
  for_each_case([](Records records) {
    Records expected = stable_model(records);
    uint64_t calls = 0;
    merge_sort(records.data(), records.count(), records.width, ByKey{records.width, &calls});
    EXPECT_EQ(records.bytes, expected.bytes);
  });
}

TEST(QuickSort, OrdersAPermutationOnEveryShapeSizeAndWidth) {
  for_each_case([](Records records) {
    std::vector<uint32_t> keys(records.count());
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = records.key(i);
    std::sort(keys.begin(), keys.end());
    std::vector<std::string> before = multiset(records);
    uint64_t calls = 0;
    quick_sort(records.data(), records.count(), records.width, ByKey{records.width, &calls});
    for (size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(records.key(i), keys[i]) << "at " << i;
    EXPECT_EQ(multiset(records), before);
  });
}

// ---- comparator calls ---------------------------------------------------------------------

using SortFunction = void (*)(void*, size_t, size_t, ByKey);
struct NamedSort {
  const char* name;
  SortFunction sort;
};
const NamedSort kSorts[] = {{"merge sort", merge_sort<ByKey>}, {"quick sort", quick_sort<ByKey>}};

TEST(Sorts, NoComparatorCallsForZeroOrOneElement) {
  for (const NamedSort& sort : kSorts) {
    uint32_t element = 5;
    uint64_t calls = 0;
    sort.sort(&element, 0, 4, ByKey{4, &calls});
    sort.sort(&element, 1, 4, ByKey{4, &calls});
    EXPECT_EQ(calls, 0u) << sort.name;
  }
}

TEST(Sorts, OrderedInputTakesFewerThanTwoCallsPerElement) {
  constexpr size_t n = 100000;
  std::mt19937 random(7);
  for (const NamedSort& sort : kSorts) {
    for (Shape shape : {Shape::kSorted, Shape::kReverse, Shape::kAllEqual}) {
      SCOPED_TRACE(std::string(sort.name) + ", " + shape_name(shape));
      Records records = make_records(make_keys(shape, n, random), 16);
      uint64_t calls = 0;
      sort.sort(records.data(), n, 16, ByKey{16, &calls});
      EXPECT_LT(calls, 2 * n);
      for (size_t i = 1; i < n; ++i) ASSERT_LE(records.key(i - 1), records.key(i));
    }
  }
}

TEST(QuickSort, DescendingInputWithEqualNeighboursIsOnePass) {
  constexpr size_t n = 100000;
  std::vector<uint32_t> keys(n);
  for (size_t i = 0; i < n; ++i) keys[i] = static_cast<uint32_t>((n - i) / 3);
  Records records = make_records(keys, 16);
  uint64_t calls = 0;
  quick_sort(records.data(), n, 16, ByKey{16, &calls});
  EXPECT_LT(calls, n);
  for (size_t i = 1; i < n; ++i) ASSERT_LE(records.key(i - 1), records.key(i));
}

TEST(QuickSort, AnAdversaryCannotForceQuadraticWork) {
  // Without the heap sort past 2 x log2(n) levels the adversary forces about n * n / 12 calls.
  constexpr size_t n = 100000;
  Adversary adversary = run_adversary(n);
  EXPECT_LT(adversary.calls, 6 * n * std::bit_width(n));
}

// ---- comparators that throw or contradict themselves --------------------------------------

TEST(Sorts, AThrowingComparatorLeavesAPermutationAndFreesTheScratch) {
  std::mt19937 random(11);
  for (const NamedSort& sort : kSorts) {
    for (size_t width : {3, 16, 300}) {
      for (Shape shape : {Shape::kRandom, Shape::kFewDistinct, Shape::kOrganPipe}) {
        Records input = make_records(make_keys(shape, 2000, random), width);
        std::vector<std::string> before = multiset(input);
        Records sorted = input;
        uint64_t total = 0;
        sort.sort(sorted.data(), sorted.count(), width, ByKey{width, &total});
        // The first call, calls spread over the sort (runs, merges, partitions), the last call.
        for (uint64_t throw_at : {uint64_t{1}, total / 5, total / 2, total * 4 / 5, total}) {
          SCOPED_TRACE(std::string(sort.name) + ", " + shape_name(shape) + ", width " + std::to_string(width) +
                       ", call " + std::to_string(throw_at) + " of " + std::to_string(total));
          size_t live = heap_live_blocks();
          Records records = input;
          uint64_t calls = 0;
          try {
            sort.sort(records.data(), records.count(), width, ByKey{width, &calls, throw_at});
            ADD_FAILURE() << "no throw";
          } catch (const NonLocalExit& exit) {
            EXPECT_EQ(exit.code, kThrowError);
          }
          EXPECT_EQ(multiset(records), before);
          EXPECT_EQ(heap_live_blocks(), live);
        }
      }
    }
  }
}

TEST(Sorts, ComparatorsThatAreNoOrderLoseNothing) {
  std::mt19937 random(13);
  // Random answers, and constant answers that claim every pair descends or ascends.
  auto answer_at_random = [&](const std::byte*, const std::byte*) { return static_cast<int>(random() % 3) - 1; };
  auto always_after = [](const std::byte*, const std::byte*) { return 1; };
  auto always_before = [](const std::byte*, const std::byte*) { return -1; };
  for (size_t n : {8, 25, 513, 20000}) {
    for (size_t width : {1, 16, 48}) {
      SCOPED_TRACE("n = " + std::to_string(n) + ", width = " + std::to_string(width));
      Records input = make_records(make_keys(Shape::kRandom, n, random), width);
      std::vector<std::string> before = multiset(input);
      Records copies[6] = {input, input, input, input, input, input};
      merge_sort(copies[0].data(), n, width, answer_at_random);
      quick_sort(copies[1].data(), n, width, answer_at_random);
      merge_sort(copies[2].data(), n, width, always_after);
      quick_sort(copies[3].data(), n, width, always_after);
      merge_sort(copies[4].data(), n, width, always_before);
      quick_sort(copies[5].data(), n, width, always_before);
      for (const Records& copy : copies) EXPECT_EQ(multiset(copy), before);
    }
  }
}

TEST(MergeSort, ScratchBeyondFourGigabytesIsTooLongBeforeAnythingMoves) {
  uint32_t elements[2] = {2, 1};
  uint64_t calls = 0;
  size_t live = heap_live_blocks();
  EXPECT_EQ(trap_errors([&] { merge_sort(elements, size_t{1} << 33, 1, ByKey{1, &calls}); }).taken, kThrowError);
  EXPECT_EQ(stand_in_last_error().id, error_id("script", "too-long"));
  EXPECT_EQ(calls, 0u);
  EXPECT_EQ(heap_live_blocks(), live);
}

}  // namespace
}  // namespace qel
