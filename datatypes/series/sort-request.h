// sort-request.h: what the sort action of a series was asked (range, records, order, comparator),
// read once from its refinements for every series type, and what a /compare function's answer
// means.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "datatypes/series/sort.h"
#include "runtime/cell.h"

namespace qel {

// The refinements of one sort, checked.
struct SortRequest {
  int64_t count;         // units to sort from the series' index
  int64_t size;          // units per record (/skip), 1 without
  int64_t offset;        // the unit a record is ordered by (/compare with an integer), without /all
  int32_t op;            // the comparison code: 8 with /case, else 7
  bool all;              // records compare unit by unit
  bool reverse;          // the order is reversed
  bool stable;           // equal records keep their order
  const Cell* function;  // the /compare function, or null
};

// Reads sort's refinements: /part (an integer!, or a position in the same series; a negative
// count sorts the units before the index, where the index then moves), /skip (1 or more, at
// most the count and dividing it, else invalid-refine-arg naming /skip), /all (needs /skip, else
// bad-refines), /compare (a function!, or an integer! offset: bad-refines with /all or without
// /skip, out-of-range outside 1 .. the record size; anything else invalid-refine-arg naming
// /compare). A count of 0 leaves the rest unread.
SortRequest sort_request(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse,
                         bool stable);

// The records of a request that the series still holds from its index (after the owner's
// handler may have changed it).
int64_t sort_records(const Cell& series, const SortRequest& request);

// How one series type sorts the records of a range, by a /compare function or in place.
using SortRange = void (*)(const Cell& series, int64_t start, int64_t records, const SortRequest& request);

// The sort action's frame, shared by every series type: the owner told before and after, the
// records the series still holds counted after its handler ran, then sorted one way or the other.
Cell* sort_series(Cell& series, const SortRequest& request, SortRange by_function, SortRange in_place);

// What a /compare function's answer means: true 1, false -1, an integer! as it is, a float! by
// its sign (0.0 and NaN 0), none -1, anything else 1. The function is called with the second
// element first (the first first under /reverse), so an answer above 0 puts the first after.
int32_t sort_function_answer(const Cell& answer);

// Calls the /compare function on the arguments of two elements x and y, the second first (the
// first first under /reverse), and answers what the answer means: above 0 when x must come
// after y. The function may reach safe points.
int32_t sort_call_function(const Cell& function, const Cell& x, const Cell& y, bool reverse);

// Sorts `count` elements of `width` bytes in place, stably or not.
template <class Compare>
void sort_elements(void* base, size_t count, size_t width, bool stable, Compare compare) {
  if (stable) merge_sort(base, count, width, compare);
  else quick_sort(base, count, width, compare);
}

// The order of `records` records under the /compare function: record r goes to the function as
// argument(r) (a fresh value per call, as the function may keep it). Answers the record numbers
// in sorted order; the records themselves stay where they are, so a function that raises an
// error leaves them as they were.
template <class Argument>
std::vector<uint32_t> sort_order_by_function(const SortRequest& request, int64_t records, Argument&& argument) {
  std::vector<uint32_t> order(static_cast<size_t>(records));
  for (size_t r = 0; r < order.size(); ++r) order[r] = static_cast<uint32_t>(r);
  Cell function = *request.function;
  sort_elements(order.data(), order.size(), sizeof(uint32_t), request.stable,
                [&](const std::byte* x, const std::byte* y) {
                  uint32_t rx, ry;
                  std::memcpy(&rx, x, sizeof rx);
                  std::memcpy(&ry, y, sizeof ry);
                  return sort_call_function(function, argument(rx), argument(ry), request.reverse);
                });
  return order;
}

}  // namespace qel
