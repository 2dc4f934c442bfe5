// string-compare.cpp: comparing and matching text, in any pair of units.
#include "datatypes/series/string-compare.h"

#include "datatypes/series/case-map.h"
#include "datatypes/series/string-core.h"
#include "runtime/action-lookup.h"
#include "runtime/ascii-bytes.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr bool is_equality_code(int32_t op) {
  return op == kCompareEqual || op == kCompareNotEqual || op == kCompareStrictEqual || op == kCompareFind;
}

// Where two runs of n units first differ: the index and the two code points there (as compared),
// or n when they agree.
struct Difference {
  size_t at;
  uint32_t a;
  uint32_t b;
};

template <class A, class B>
Difference first_difference(const A* a, const B* b, size_t n, bool keep_case) {
  if constexpr (sizeof(A) == 1 && sizeof(B) == 1) {
    // Equal bytes are equal with or without case; a difference is found by the loop below.
    if (same_bytes<false>({reinterpret_cast<const char*>(a), n}, {reinterpret_cast<const char*>(b), n}))
      return {n, 0, 0};
  }
  for (size_t i = 0; i < n; ++i) {
    uint32_t x = a[i];
    uint32_t y = b[i];
    if (x == y) continue;
    if (!keep_case) {
      x = unicode_case_map(x, Case::upper);
      y = unicode_case_map(y, Case::upper);
      if (x == y) continue;
    }
    return {i, x, y};
  }
  return {n, 0, 0};
}

constexpr int32_t sign_of(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

int32_t compare_text(UnitText a, UnitText b, int32_t op, bool match) {
  size_t n = a.length;
  if (match) {
    if (b.length == 0) return op == kCompareFind ? 1 : 0;
    if (a.length < b.length) return 1;
    n = b.length;
  } else {
    if (a.length != b.length && is_equality_code(op)) return 1;
    if (a.length == 0 && b.length == 0) return 0;
    if (b.length == 0) return 1;
    n = std::min(a.length, b.length);
  }
  bool keep_case = compare_code_keeps_case(op);
  Difference found = visit_units(a, [&](auto units_a) {
    return visit_units(b, [&](auto units_b) { return first_difference(units_a.data(), units_b.data(), n, keep_case); });
  });
  if (found.at < n) return found.a > found.b ? 1 : -1;
  return match ? 0 : sign_of(static_cast<int64_t>(a.length) - static_cast<int64_t>(b.length));
}

UnitText text_of_value(const Cell& value) {
  if (is_word_type(cell_type(value))) return symbol_text(value.w2);
  return string_text(value);
}

int32_t string_compare_core(const Cell& value1, const Cell& value2, int32_t op, bool match) {
  bool words = is_word_type(cell_type(value1)) || is_word_type(cell_type(value2));
  bool same_place = !words && value1.w2 == value2.w2 && string_index(value1) == string_index(value2);
  if (op == kCompareSame) return same_place ? 0 : -1;
  if (same_place && is_equality_code(op)) return 0;
  if (words) return compare_text(text_of_value(value1), text_of_value(value2), op, match);
  const UnitText a = string_text(value1);
  const UnitText b = string_text(value2);
  if (!match && is_equality_code(op)) {
    if (const int32_t known = narrow_texts_equality(a, b); known >= 0) return known;
  }
  return compare_text(a, b, op, match);
}

bool string_tag_shaped(const Cell& value, const Cell& tag) {
  int64_t length = string_length(tag);
  if (static_cast<int64_t>(string_length(value)) < length + 2) return false;
  return string_char_at(value, 0) == '<' && string_char_at(value, length + 1) == '>';
}

bool string_match_at(const Cell& value, const Cell& pattern, int32_t op) {
  Type type = cell_type(pattern);
  if (type == Type::tag) {
    if (!string_tag_shaped(value, pattern)) return false;
    Cell inside = make_cell(cell_type(value), string_index(value) + 1, value.w2);
    return string_compare_core(inside, pattern, op, true) == 0;
  }
  if (is_text_type(type)) return string_compare_core(value, pattern, op, true) == 0;
  if (type != Type::char_ || string_at_tail(value)) return false;
  uint32_t here = string_char_at(value, 0);
  uint32_t wanted = pattern.w2;
  if (op == kCompareStrictEqual) return here == wanted;
  return unicode_case_map(here, Case::upper) == unicode_case_map(wanted, Case::upper);
}

}  // namespace qel
