// sort.h: the two in-place sorts over arrays of fixed-width elements: a stable merge sort and a
// quick sort.
//
// Both know nothing of cells: the caller passes the first element's address, the element count,
// the width in bytes and a comparator. compare(x, y) gets the addresses of two elements (as
// const std::byte*) and answers a signed integer: above 0 when x must come after y, 0 when
// neither must, below 0 when x must come first. It is inlined into the sort (a template
// parameter, no indirect call per comparison).
//
// Exception safety: the comparator may throw (a user comparator's error travels as
// NonLocalExit). Elements only ever move by complete exchanges or by copies that a guard puts
// back, so on any exit the array is a permutation of its input, and the merge scratch is freed.
// A comparator that is no strict weak order (it contradicts itself, or answers at random) makes
// the order unspecified but never makes either sort read or write outside the array, lose or
// duplicate an element, or fail to end.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "runtime/language-thread.h"

namespace qel {

namespace sort_detail {

// ---- elements and moves --------------------------------------------------------------------

// The width of an element: a compile-time constant for the common widths, else a runtime value.
template <size_t N>
using FixedWidth = std::integral_constant<size_t, N>;

// An array of elements of one width, addressed by index.
template <class Width>
struct Elements {
  std::byte* base;
  [[no_unique_address]] Width width;
  std::byte* at(size_t i) const { return base + i * size_t{width}; }
};

// Elements at most this wide move through a buffer on the machine stack.
inline constexpr size_t kStackElementBytes = 256;

// Exchanges two non-overlapping byte ranges of `bytes` bytes, a buffer-load at a time.
inline void swap_bytes(std::byte* a, std::byte* b, size_t bytes) {
  constexpr size_t kChunk = 64;
  std::byte hold[kChunk];
  while (bytes > 0) {
    size_t step = std::min(bytes, kChunk);
    std::memcpy(hold, a, step);
    std::memcpy(a, b, step);
    std::memcpy(b, hold, step);
    a += step;
    b += step;
    bytes -= step;
  }
}

// Exchanges elements i and j (which may be the same); a narrow constant width in one step.
template <class Width>
void swap_elements(Elements<Width> a, size_t i, size_t j) {
  if (i == j) return;
  if constexpr (std::is_empty_v<Width>) {
    std::byte hold[Width::value];
    std::memcpy(hold, a.at(i), Width::value);
    std::memcpy(a.at(i), a.at(j), Width::value);
    std::memcpy(a.at(j), hold, Width::value);
  } else {
    swap_bytes(a.at(i), a.at(j), a.width);
  }
}

// Exchanges the `count` elements from i with the `count` elements from j (not overlapping).
template <class Width>
void swap_blocks(Elements<Width> a, size_t i, size_t j, size_t count) {
  swap_bytes(a.at(i), a.at(j), count * size_t{a.width});
}

// Reverses the elements [first, last) by exchanges from both ends.
template <class Width>
void reverse_elements(Elements<Width> a, size_t first, size_t last) {
  while (last - first > 1) swap_elements(a, first++, --last);
}

// Moves element `last` to position `first`, shifting [first, last) up by one.
template <class Width>
void rotate_into_place(Elements<Width> a, size_t first, size_t last) {
  if (first == last) return;
  if (size_t{a.width} <= kStackElementBytes) {
    std::byte hold[kStackElementBytes];
    std::memcpy(hold, a.at(last), a.width);
    std::memmove(a.at(first + 1), a.at(first), (last - first) * size_t{a.width});
    std::memcpy(a.at(first), hold, a.width);
  } else {
    for (size_t i = last; i > first; --i) swap_elements(a, i - 1, i);
  }
}

// Calls `body` with the array typed by its width: a constant for the common widths.
template <class Body>
void with_elements(void* base, size_t width, Body&& body) {
  auto* bytes = static_cast<std::byte*>(base);
  switch (width) {
    case 1: return body(Elements<FixedWidth<1>>{bytes, {}});
    case 2: return body(Elements<FixedWidth<2>>{bytes, {}});
    case 4: return body(Elements<FixedWidth<4>>{bytes, {}});
    case 8: return body(Elements<FixedWidth<8>>{bytes, {}});
    case 16: return body(Elements<FixedWidth<16>>{bytes, {}});
    default: return body(Elements<size_t>{bytes, width});
  }
}

// ---- comparisons ---------------------------------------------------------------------------

// True when element i must come after element j.
template <class Width, class Compare>
bool after(Elements<Width> a, size_t i, size_t j, Compare& compare) {
  return compare(static_cast<const std::byte*>(a.at(i)), static_cast<const std::byte*>(a.at(j))) > 0;
}

// The first position p in [first, last) whose element must come after element `key` (every
// element before p may precede it). Binary search; `key` lies outside [first, last).
template <class Width, class Compare>
size_t upper_bound(Elements<Width> a, size_t first, size_t last, size_t key, Compare& compare) {
  while (first < last) {
    size_t middle = first + (last - first) / 2;
    if (after(a, middle, key, compare)) last = middle;
    else first = middle + 1;
  }
  return first;
}

// The first position p in [first, last) whose element need not come before element `key`.
template <class Width, class Compare>
size_t lower_bound(Elements<Width> a, size_t first, size_t last, size_t key, Compare& compare) {
  while (first < last) {
    size_t middle = first + (last - first) / 2;
    if (after(a, key, middle, compare)) first = middle + 1;
    else last = middle;
  }
  return first;
}

// Sorts [first, last), whose elements before `sorted` are already in order, by inserting each
// further element before the first element that must come after it (so stable). The comparator runs
// before each move, so a throw leaves every element in the array.
template <class Width, class Compare>
void insertion_sort(Elements<Width> a, size_t first, size_t sorted, size_t last, Compare& compare) {
  for (size_t i = std::max(sorted, first + 1); i < last; ++i)
    rotate_into_place(a, upper_bound(a, first, i, i, compare), i);
}

// ---- merge sort ----------------------------------------------------------------------------

// Runs shorter than this are extended by insertion before they are merged.
inline constexpr size_t kMinRun = 24;

// The merge sort's scratch: room for half the array, from the runtime heap, freed on every
// exit. Raises script too-long when its byte size passes 32 bits and internal no-memory when
// the heap refuses.
class MergeScratch {
 public:
  MergeScratch(size_t count, size_t width);
  ~MergeScratch();
  MergeScratch(const MergeScratch&) = delete;
  MergeScratch& operator=(const MergeScratch&) = delete;
  std::byte* bytes() const { return bytes_; }

 private:
  std::byte* bytes_;
};

// The power of the boundary between the neighbouring runs [start, start + left) and
// [start + left, start + left + right) of an array of `count` elements: the number of leading
// equal binary digits of the two runs' midpoints scaled to the array.
unsigned boundary_power(size_t start, size_t left, size_t right, size_t count);

// Guard of a merge: on every exit (a throw included) copies the scratch elements not merged
// yet, [from, to), into the gap that starts at `into`, so the array is whole again.
struct PendingCopy {
  std::byte*& into;
  std::byte*& from;
  std::byte*& to;
  ~PendingCopy() { std::memcpy(into, from, to - from); }
};

// Merges [first, middle) with [middle, last), the left run the shorter: the left run goes to
// the scratch and the merge runs from the front, taking the left element unless it must come
// after the right one.
template <class Width, class Compare>
void merge_from_front(Elements<Width> a, size_t first, size_t middle, size_t last, std::byte* scratch,
                      Compare& compare) {
  const size_t width = a.width;
  std::memcpy(scratch, a.at(first), (middle - first) * width);
  std::byte* out = a.at(first);
  std::byte* left = scratch;
  std::byte* left_end = scratch + (middle - first) * width;
  std::byte* right = a.at(middle);
  std::byte* const right_end = a.at(last);
  PendingCopy guard{out, left, left_end};  // the gap [out, right) holds exactly [left, left_end)
  while (left != left_end && right != right_end) {
    if (compare(static_cast<const std::byte*>(left), static_cast<const std::byte*>(right)) > 0) {
      std::memcpy(out, right, width);
      right += width;
    } else {
      std::memcpy(out, left, width);
      left += width;
    }
    out += width;
  }
}

// Merges [first, middle) with [middle, last), the right run the shorter: the right run goes to
// the scratch and the merge runs from the back, the left element moving only when it must come
// after the right one.
template <class Width, class Compare>
void merge_from_back(Elements<Width> a, size_t first, size_t middle, size_t last, std::byte* scratch,
                     Compare& compare) {
  const size_t width = a.width;
  std::memcpy(scratch, a.at(middle), (last - middle) * width);
  std::byte* const left_begin = a.at(first);
  std::byte* left_end = a.at(middle);  // one past the left run's last unmerged element
  std::byte* out = a.at(last);         // one past the gap
  std::byte* right_begin = scratch;
  std::byte* right_end = scratch + (last - middle) * width;
  PendingCopy guard{left_end, right_begin, right_end};  // the gap [left_end, out) holds exactly [scratch, right_end)
  while (left_end != left_begin && right_end != right_begin) {
    out -= width;
    if (compare(static_cast<const std::byte*>(left_end - width), static_cast<const std::byte*>(right_end - width)) > 0) {
      left_end -= width;
      std::memcpy(out, left_end, width);
    } else {
      right_end -= width;
      std::memcpy(out, right_end, width);
    }
  }
}

// Merges the neighbouring sorted runs [first, middle) and [middle, last), stably. Elements of the
// left run that precede the whole right run, and of the right run that follow the whole left
// run, are already in place and stay out of the merge.
template <class Width, class Compare>
void merge_runs(Elements<Width> a, size_t first, size_t middle, size_t last, std::byte* scratch, Compare& compare) {
  if (!after(a, middle - 1, middle, compare)) return;
  first = upper_bound(a, first, middle, middle, compare);
  last = lower_bound(a, middle + 1, last, middle - 1, compare);
  if (middle - first <= last - middle) merge_from_front(a, first, middle, last, scratch, compare);
  else merge_from_back(a, first, middle, last, scratch, compare);
}

// The length of the run that starts at `first`: elements in order, or strictly descending ones,
// which are reversed in place (strictness keeps equal elements in order).
template <class Width, class Compare>
size_t natural_run(Elements<Width> a, size_t first, size_t count, Compare& compare) {
  size_t end = first + 1;
  if (end == count) return 1;
  if (after(a, first, end, compare)) {
    while (++end < count && after(a, end - 1, end, compare)) {}
    reverse_elements(a, first, end);
  } else {
    while (++end < count && !after(a, end - 1, end, compare)) {}
  }
  return end - first;
}

// A pending run of the merge sort, with the power of its boundary to the run pushed after it.
struct PendingRun {
  size_t start;
  size_t length;
  unsigned power;
};

// Stable merge sort: natural runs, short ones extended by insertion, merged by the power of
// their boundaries; the pending runs' powers grow toward the top, so at most 65 are pending.
template <class Width, class Compare>
void merge_sort_elements(Elements<Width> a, size_t count, Compare& compare) {
  if (count < 2) return;
  MergeScratch scratch(count, a.width);
  PendingRun stack[66];
  size_t depth = 0;
  // Merges the two topmost pending runs into one.
  auto merge_top = [&] {
    PendingRun& left = stack[depth - 2];
    const PendingRun& right = stack[depth - 1];
    merge_runs(a, left.start, right.start, right.start + right.length, scratch.bytes(), compare);
    left.length += right.length;
    left.power = right.power;
    --depth;
  };
  for (size_t start = 0; start < count;) {
    size_t length = natural_run(a, start, count, compare);
    if (length < kMinRun) {
      size_t extended = std::min(kMinRun, count - start);
      insertion_sort(a, start, start + length, start + extended, compare);
      length = extended;
    }
    if (depth > 0) {
      const PendingRun& top = stack[depth - 1];
      unsigned power = boundary_power(top.start, top.length, length, count);
      while (depth > 1 && stack[depth - 2].power > power) merge_top();
      stack[depth - 1].power = power;
    }
    stack[depth++] = {start, length, 0};
    start += length;
  }
  while (depth > 1) merge_top();
}

// ---- quick sort ----------------------------------------------------------------------------

// Ranges of at most this many elements are finished by insertion.
inline constexpr size_t kInsertionLimit = 7;
// From this many elements on, the pivot is the median of three medians of three.
inline constexpr size_t kNintherLimit = 128;

// The position of the median of elements i, j and k (no element moves).
template <class Width, class Compare>
size_t median_of_three(Elements<Width> a, size_t i, size_t j, size_t k, Compare& compare) {
  if (after(a, i, j, compare)) std::swap(i, j);  // now i need not follow j
  if (!after(a, j, k, compare)) return j;
  return after(a, i, k, compare) ? i : k;
}

// The pivot's position, drawn from an even spread over [first, last).
template <class Width, class Compare>
size_t choose_pivot(Elements<Width> a, size_t first, size_t last, Compare& compare) {
  size_t n = last - first;
  size_t middle = first + n / 2;
  if (n < kNintherLimit) return median_of_three(a, first, middle, last - 1, compare);
  size_t step = n / 8;
  return median_of_three(a, median_of_three(a, first, first + step, first + 2 * step, compare),
                         median_of_three(a, middle - step, middle, middle + step, compare),
                         median_of_three(a, last - 1 - 2 * step, last - 1 - step, last - 1, compare), compare);
}

// The parts a three-way partition leaves: [first, less_end) below the pivot, [greater_begin,
// last) above it, the elements equal to it between them, in their final place.
struct Partition {
  size_t less_end;
  size_t greater_begin;
};

// Partitions [first, last) around the element at `first` (the pivot). Cursors run inward,
// bounded by each other; elements equal to the pivot gather at both ends and are then swapped
// into the middle.
template <class Width, class Compare>
Partition partition_three_way(Elements<Width> a, size_t first, size_t last, Compare& compare) {
  size_t equal_left = first + 1, left = first + 1;  // [first, equal_left) equal, [equal_left, left) below
  size_t right = last, equal_right = last;          // [right, equal_right) above, [equal_right, last) equal
  for (;;) {
    for (; left < right; ++left) {
      auto answer = compare(static_cast<const std::byte*>(a.at(left)), static_cast<const std::byte*>(a.at(first)));
      if (answer > 0) break;
      if (answer == 0) swap_elements(a, equal_left++, left);
    }
    if (left == right) break;
    // Element `left` belongs above; the right cursor stops short of it, so a comparator that
    // contradicts itself cannot make the cursors cross.
    for (; right - left > 1; --right) {
      auto answer = compare(static_cast<const std::byte*>(a.at(right - 1)), static_cast<const std::byte*>(a.at(first)));
      if (answer < 0) break;
      if (answer == 0) swap_elements(a, right - 1, --equal_right);
    }
    if (right - left == 1) {
      right = left;
      break;
    }
    swap_elements(a, left++, --right);
  }
  size_t below = left - equal_left, above = equal_right - right;
  size_t shift = std::min(equal_left - first, below);
  swap_blocks(a, first, left - shift, shift);
  shift = std::min(last - equal_right, above);
  swap_blocks(a, right, last - shift, shift);
  return {first + below, last - above};
}

// Restores the heap property below `root` in the heap [first, first + size).
template <class Width, class Compare>
void sift_down(Elements<Width> a, size_t first, size_t root, size_t size, Compare& compare) {
  for (size_t child; (child = 2 * root + 1) < size; root = child) {
    if (child + 1 < size && after(a, first + child + 1, first + child, compare)) ++child;
    if (!after(a, first + child, first + root, compare)) return;
    swap_elements(a, first + root, first + child);
  }
}

// Heap sort of [first, last): the quick sort's way out when its partitions keep failing.
template <class Width, class Compare>
void heap_sort(Elements<Width> a, size_t first, size_t last, Compare& compare) {
  size_t size = last - first;
  for (size_t root = size / 2; root-- > 0;) sift_down(a, first, root, size, compare);
  while (size > 1) {
    swap_elements(a, first, first + --size);
    sift_down(a, first, 0, size, compare);
  }
}

// The quick sort's core over [first, last) with `levels` partition levels left: the smaller part
// by a recursive call, the larger by the loop, so the machine stack grows by log2(n) frames at
// most; past its levels a range is heap sorted, so no input takes more than O(n log n).
template <class Width, class Compare>
void quick_sort_range(Elements<Width> a, size_t first, size_t last, unsigned levels, Compare& compare) {
  check_stack_headroom();
  while (last - first > kInsertionLimit) {
    if (levels-- == 0) return heap_sort(a, first, last, compare);
    swap_elements(a, first, choose_pivot(a, first, last, compare));
    Partition parts = partition_three_way(a, first, last, compare);
    if (parts.less_end - first < last - parts.greater_begin) {
      quick_sort_range(a, first, parts.less_end, levels, compare);
      first = parts.greater_begin;
    } else {
      quick_sort_range(a, parts.greater_begin, last, levels, compare);
      last = parts.less_end;
    }
  }
  insertion_sort(a, first, first + 1, last, compare);
}

// The length of the ordered prefix of the array and its direction: +1 ascending, -1
// descending, 0 when all its elements compare equal. Equal neighbours never end it.
struct Prefix {
  size_t length;
  int direction;
};

template <class Width, class Compare>
Prefix presorted_prefix(Elements<Width> a, size_t count, Compare& compare) {
  int direction = 0;
  size_t end = 1;
  for (; end < count; ++end) {
    auto answer = compare(static_cast<const std::byte*>(a.at(end - 1)), static_cast<const std::byte*>(a.at(end)));
    if (answer == 0) continue;
    int step = answer < 0 ? 1 : -1;
    if (direction == 0) direction = step;
    else if (step != direction) break;
  }
  return {end, direction};
}

// Quick sort: an array found ordered (or descending, then reversed) ends after one pass;
// otherwise the core sorts it within 2 x log2(count) partition levels.
template <class Width, class Compare>
void quick_sort_elements(Elements<Width> a, size_t count, Compare& compare) {
  if (count < 2) return;
  Prefix prefix = presorted_prefix(a, count, compare);
  if (prefix.length == count) {
    if (prefix.direction < 0) reverse_elements(a, 0, count);
    return;
  }
  quick_sort_range(a, 0, count, 2 * static_cast<unsigned>(std::bit_width(count) - 1), compare);
}

}  // namespace sort_detail

// Sorts `count` elements of `width` bytes at `base` stably (equal elements keep their order).
// Takes scratch for half the array: script too-long when that passes 4 GB, internal no-memory
// when the heap refuses; both are raised before any element moves.
template <class Compare>
void merge_sort(void* base, size_t count, size_t width, Compare compare) {
  if (width == 0) return;
  sort_detail::with_elements(base, width, [&](auto a) { sort_detail::merge_sort_elements(a, count, compare); });
}

// Sorts `count` elements of `width` bytes at `base` in place; equal elements end in no
// particular order. Takes no memory.
template <class Compare>
void quick_sort(void* base, size_t count, size_t width, Compare compare) {
  if (width == 0) return;
  sort_detail::with_elements(base, width, [&](auto a) { sort_detail::quick_sort_elements(a, count, compare); });
}

}  // namespace qel
