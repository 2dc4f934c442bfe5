// sort-request.cpp: reading and checking the refinements of sort.
#include "datatypes/series/sort-request.h"

#include <algorithm>
#include <array>

#include "datatypes/scalars/none.h"
#include "datatypes/series/series.h"
#include "runtime/action-lookup.h"
#include "runtime/callback-bits.h"
#include "runtime/error-raise.h"
#include "runtime/runtime-symbols.h"
#include "runtime/services.h"

namespace qel {

SortRequest sort_request(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse,
                         bool stable) {
  SortRequest request{series_length_after(series), 1, 0, case_ ? kCompareSortCase : kCompareSort, all, reverse,
                      stable, nullptr};
  if (part) {
    int64_t n = series_part_count(series, *part);
    if (n < 0) {
      int64_t index = series_clamped_index(series);
      int64_t start = std::max<int64_t>(index + n, 0);
      series_set_index(series, start);
      request.count = index - start;
    } else {
      request.count = std::min(request.count, n);
    }
  }
  if (request.count == 0) return request;  // nothing to sort: the rest goes unchecked
  if (skip) {
    if (cell_type(*skip) != Type::integer) raise_invalid_refine_arg(ref_skip, *skip);
    request.size = payload_i32(*skip, 2);
    if (request.size < 1 || request.size > request.count || request.count % request.size != 0)
      raise_invalid_refine_arg(ref_skip, *skip);
  }
  if (all && !skip) raise_error(error_id("script", "bad-refines"));
  if (compare && cell_type(*compare) == Type::integer) {
    if (all || !skip) raise_error(error_id("script", "bad-refines"));
    int64_t i = payload_i32(*compare, 2);
    if (i < 1 || i > request.size) raise_error(error_id("script", "out-of-range"), *compare);
    request.offset = i - 1;
  } else if (compare && cell_type(*compare) != Type::function) {
    raise_invalid_refine_arg(ref_compare, *compare);
  } else {
    request.function = compare;
  }
  return request;
}

int64_t sort_records(const Cell& series, const SortRequest& request) {
  int64_t held = series_total_length(series) - series_clamped_index(series);
  return std::min(request.count, held) / request.size;
}

Cell* sort_series(Cell& series, const SortRequest& request, SortRange by_function, SortRange in_place) {
  if (request.count == 0) return &series;
  bool told = series_notify_before(series, SeriesChange::sort, kNoneCell, series_clamped_index(series), request.count);
  int64_t start = series_clamped_index(series);
  int64_t records = sort_records(series, request);
  (request.function ? by_function : in_place)(series, start, records, request);
  if (told) series_notify_after(series, SeriesChange::sort, kNoneCell, start, records * request.size);
  return &series;
}

int32_t sort_function_answer(const Cell& answer) {
  switch (cell_type(answer)) {
    case Type::logic: return answer.w1 ? 1 : -1;
    case Type::integer: return payload_i32(answer, 2);
    case Type::float_: {
      double x = payload_f64(answer);
      return x > 0.0 ? 1 : x < 0.0 ? -1 : 0;
    }
    case Type::none: return -1;
    default: return 1;
  }
}

int32_t sort_call_function(const Cell& function, const Cell& x, const Cell& y, bool reverse) {
  std::array<Cell, 2> args = reverse ? std::array{x, y} : std::array{y, x};
  return sort_function_answer(services().eval_function_body(function, args, kSortCallback));
}

}  // namespace qel
