// string-sort.cpp: sort on text: records of units ordered by their code points (folded through
// the upper-case map unless /case), or by a /compare function.
#include <algorithm>
#include <array>
#include <vector>

#include "datatypes/scalars/none.h"
#include "datatypes/series/case-map.h"
#include "datatypes/series/series.h"
#include "datatypes/series/sort-request.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/action-lookup.h"
#include "runtime/gc-root.h"

namespace qel {

namespace {

// The default order of records of units of type U: by the unit at the offset, or unit by unit
// under /all; each code point folded unless case matters, so every unit sorts alike.
template <class U>
struct TextOrder {
  const SortRequest& request;
  bool keep_case;

  uint32_t key(const std::byte* record, int64_t k) const {
    U unit;
    std::memcpy(&unit, record + k * static_cast<int64_t>(sizeof(U)), sizeof(U));
    return keep_case ? unit : unicode_case_map(unit, Case::upper);
  }
  int32_t operator()(const std::byte* x, const std::byte* y) const {
    if (request.reverse) std::swap(x, y);
    int64_t first = request.all ? 0 : request.offset;
    int64_t last = request.all ? request.size : request.offset + 1;
    for (int64_t k = first; k < last; ++k) {
      uint32_t a = key(x, k), b = key(y, k);
      if (a != b) return a < b ? -1 : 1;
    }
    return 0;
  }
};

// 1-byte units by a table of their folded keys.
struct ByteOrder {
  const SortRequest& request;
  std::array<uint32_t, 256> keys;

  int32_t operator()(const std::byte* x, const std::byte* y) const {
    if (request.reverse) std::swap(x, y);
    int64_t first = request.all ? 0 : request.offset;
    int64_t last = request.all ? request.size : request.offset + 1;
    for (int64_t k = first; k < last; ++k) {
      uint32_t a = keys[static_cast<uint8_t>(x[k])], b = keys[static_cast<uint8_t>(y[k])];
      if (a != b) return a < b ? -1 : 1;
    }
    return 0;
  }
};

// Sorts `records` records in place from the unit at `start`.
void sort_in_place(const Cell& series, int64_t start, int64_t records, const SortRequest& request) {
  UnitText text = string_text(string_value(series.w2));
  void* base = const_cast<uint8_t*>(text.data) + (start << unit_shift(text.unit));
  size_t width = static_cast<size_t>(request.size) << unit_shift(text.unit);
  bool keep_case = request.op == kCompareSortCase || cell_type(series) == Type::binary;  // bytes never fold
  if (text.unit == 1) {
    ByteOrder order{request, {}};
    for (uint32_t b = 0; b < 256; ++b) order.keys[b] = keep_case ? b : unicode_case_map(b, Case::upper);
    return sort_elements(base, static_cast<size_t>(records), width, request.stable, order);
  }
  with_unit_type(text.unit, [&](auto unit_type) {
    sort_elements(base, static_cast<size_t>(records), width, request.stable,
                  TextOrder<decltype(unit_type)>{request, keep_case});
  });
}

// Sorts through the /compare function: the order is worked out on a copy of the code points
// (the function may reach safe points and change the series), then written back when the
// series still holds the range. Each call gets a char! (a binary's byte: an integer!), or under
// /all a value of the series' type holding the record.
void sort_by_function(const Cell& series, int64_t start, int64_t records, const SortRequest& request) {
  Cell range = string_value(series.w2, static_cast<uint32_t>(start));
  std::vector<uint32_t> code_points = text_code_points(string_text_part(range, records * request.size));
  GcRoot<Cell> kept(series);
  Type type = cell_type(series);
  std::vector<uint32_t> order = sort_order_by_function(request, records, [&](uint32_t r) {
    size_t first = static_cast<size_t>(r * request.size);
    uint32_t element = code_points[first + static_cast<size_t>(request.offset)];
    if (!request.all) return make_cell(type == Type::binary ? Type::integer : Type::char_, 0, element);
    NodeId record = new_text_series(request.size, 1);
    for (int64_t k = 0; k < request.size; ++k)  // a byte of a binary keeps its unit
      string_poke_char(record, static_cast<uint32_t>(k), code_points[first + static_cast<size_t>(k)]);
    return string_value(record, 0, type == Type::binary ? Type::binary : Type::string);
  });
  if (string_total_length(series.w2) < start + records * request.size) return;  // the function cut the range
  for (size_t k = 0; k < order.size(); ++k)
    for (int64_t u = 0; u < request.size; ++u)
      string_put_char(series.w2, static_cast<uint32_t>(start + static_cast<int64_t>(k) * request.size + u),
                      code_points[static_cast<size_t>(order[k] * request.size + u)]);
}

}  // namespace

Cell* string_sort(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse,
                  bool stable) {
  return sort_series(series, sort_request(series, case_, skip, compare, part, all, reverse, stable), sort_by_function,
                     sort_in_place);
}

}  // namespace qel
