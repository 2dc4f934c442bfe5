// string-trim.cpp: trim on text: whitespace at the ends and inside lines, runs of whitespace, or
// chosen code points everywhere.
#include <algorithm>
#include <vector>

#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/error-raise.h"

namespace qel {

namespace {

// Whitespace: U+0001-U+0020 and the Unicode spaces and separators.
constexpr bool is_whitespace(uint32_t c) {
  return (c >= 0x01 && c <= 0x20) || c == 0x85 || c == 0xA0 || c == 0x1680 || c == 0x180E ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Whitespace that stays inside a line: all of it but the line feed.
constexpr bool is_line_space(uint32_t c) { return c != '\n' && is_whitespace(c); }

// What trim keeps of the text, as code points.
using CodePointList = std::vector<uint32_t>;

// The code points /all or /with removes: by default tab, line feed, carriage return and space;
// a text's code points, a binary's bytes, or one char! or integer!.
CodePointList removed_code_points(const Cell* with) {
  if (!with) return {'\t', '\n', '\r', ' '};
  Type type = cell_type(*with);
  if (type == Type::char_ || type == Type::integer) return {with->w2};
  if (type == Type::binary) return text_code_points(string_text(*with));  // each byte a code point
  if (!is_text_type(type)) raise_error(error_id("script", "invalid-arg"), *with);
  return text_code_points(string_text(*with));
}

CodePointList without(const CodePointList& text, const CodePointList& removed) {
  CodePointList kept;
  for (uint32_t c : text)
    if (std::find(removed.begin(), removed.end(), c) == removed.end()) kept.push_back(c);
  return kept;
}

// /lines: runs of whitespace become one space; none is left at either end.
CodePointList joined_lines(const CodePointList& text) {
  CodePointList kept;
  bool pending_space = false;
  for (uint32_t c : text) {
    if (is_whitespace(c)) {
      pending_space = !kept.empty();
      continue;
    }
    if (pending_space) kept.push_back(' ');
    pending_space = false;
    kept.push_back(c);
  }
  return kept;
}

// The ends, and without /head or /tail the ends of every line inside.
CodePointList trimmed_ends(const CodePointList& text, bool head, bool tail) {
  bool both = head == tail;
  size_t begin = 0, end = text.size();
  if (head || both)
    while (begin < end && is_whitespace(text[begin])) ++begin;
  bool dropped_line_feed = false;
  if (tail || both)
    while (end > begin && is_whitespace(text[end - 1])) dropped_line_feed |= text[--end] == '\n';
  CodePointList kept;
  if (!both) {
    kept.assign(text.begin() + static_cast<ptrdiff_t>(begin), text.begin() + static_cast<ptrdiff_t>(end));
  } else {
    size_t line_start = 0;  // where the current line begins in `kept`
    bool at_line_start = true;
    for (size_t i = begin; i < end; ++i) {
      uint32_t c = text[i];
      if (c == '\n') {
        while (kept.size() > line_start && is_line_space(kept.back())) kept.pop_back();
        kept.push_back(c);
        line_start = kept.size();
        at_line_start = true;
        continue;
      }
      if (at_line_start && is_line_space(c)) continue;
      at_line_start = false;
      kept.push_back(c);
    }
  }
  if (dropped_line_feed && !tail) kept.push_back('\n');
  return kept;
}

}  // namespace

void string_trim(Cell& series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with) {
  if (auto_) raise_error(error_id("internal", "not-done"));
  CodePointList removed = all || with ? removed_code_points(with) : CodePointList{};
  int64_t index = series_clamped_index(series);
  Cell none = make_cell(Type::none);
  bool told = series_notify_before(series, SeriesChange::trim, none, index, series_length_after(series));
  index = series_clamped_index(series);
  UnitText text = string_text(series);
  CodePointList code_points = text_code_points(text);
  CodePointList kept = all || with ? without(code_points, removed)
                       : lines     ? joined_lines(code_points)
                                   : trimmed_ends(code_points, head, tail);
  std::vector<uint8_t> units(kept.size() << unit_shift(text.unit));  // kept code points fit the text's unit
  for (size_t i = 0; i < kept.size(); ++i) code_point_write(&units[i << unit_shift(text.unit)], text.unit, kept[i]);
  UnitText result{units.data(), kept.size(), text.unit};
  string_splice(series.w2, static_cast<uint32_t>(index), static_cast<uint32_t>(code_points.size()), result, 1);
  if (told) series_notify_after(series, SeriesChange::trim, none, index, static_cast<int64_t>(kept.size()));
}

}  // namespace qel
