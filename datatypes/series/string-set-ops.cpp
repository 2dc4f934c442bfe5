// string-set-ops.cpp: unique, union, intersect, exclude and difference over text records.
#include <unordered_set>
#include <vector>

#include "datatypes/series/block.h"
#include "datatypes/series/case-map.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/gc-root.h"
#include "runtime/quit.h"
#include "runtime/runtime-symbols.h"

namespace qel {

namespace {

// The first code points of a text's records, folded unless case_sensitive.
using Keys = std::unordered_set<uint32_t>;

uint32_t key_of(uint32_t c, bool case_sensitive) { return case_sensitive ? c : unicode_case_map(c, Case::upper); }

Keys record_keys(const std::vector<uint32_t>& text, size_t record, bool case_sensitive) {
  Keys keys;
  for (size_t i = 0; i < text.size(); i += record) keys.insert(key_of(text[i], case_sensitive));
  return keys;
}

// Appends the records of `source` that the filter lets through and whose key the result lacks.
template <class Filter>
void pass(NodeId result, Keys& taken, const std::vector<uint32_t>& source, size_t record, bool case_sensitive,
          Filter&& keep) {
  for (size_t i = 0; i < source.size(); i += record) {
    uint32_t key = key_of(source[i], case_sensitive);
    if (!keep(key) || !taken.insert(key).second) continue;
    for (size_t k = i; k < std::min(source.size(), i + record); ++k) string_append_char(result, source[k]);
  }
}

}  // namespace

Cell string_set_operation(int32_t op, const Cell& series1, const Cell& series2, bool case_sensitive,
                          const Cell* skip) {
  size_t record = 1;
  if (skip) {
    if (cell_type(*skip) != Type::integer || payload_i32(*skip, 2) < 1) raise_invalid_refine_arg(ref_skip, *skip);
    record = static_cast<size_t>(payload_i32(*skip, 2));
  }
  std::vector<uint32_t> first = text_code_points(string_text(series1));
  std::vector<uint32_t> second = op == kSetUnique ? std::vector<uint32_t>{} : text_code_points(string_text(series2));
  GcRoot<Cell> result(string_value(new_text_series(static_cast<int64_t>(first.size() + (op == kSetUnion ? second.size() : 0)), 1)));
  Keys taken;
  Keys in_second = record_keys(second, record, case_sensitive);
  auto anything = [](uint32_t) { return true; };
  auto in_other = [&](uint32_t key) { return in_second.count(key) != 0; };
  auto not_in_other = [&](uint32_t key) { return in_second.count(key) == 0; };
  NodeId node = result->w2;
  switch (op) {
    case kSetUnique: pass(node, taken, first, record, case_sensitive, anything); break;
    case kSetUnion:
      pass(node, taken, first, record, case_sensitive, anything);
      pass(node, taken, second, record, case_sensitive, anything);
      break;
    case kSetIntersect: pass(node, taken, first, record, case_sensitive, in_other); break;
    case kSetExclude: pass(node, taken, first, record, case_sensitive, not_in_other); break;
    case kSetDifference: {
      pass(node, taken, first, record, case_sensitive, not_in_other);
      Keys in_first = record_keys(first, record, case_sensitive);
      pass(node, taken, second, record, case_sensitive, [&](uint32_t key) { return in_first.count(key) == 0; });
      break;
    }
    default: fatal_no_match_switch();
  }
  Cell answer = series1;
  answer.w1 = 0;
  answer.w2 = node;
  return answer;
}

}  // namespace qel
