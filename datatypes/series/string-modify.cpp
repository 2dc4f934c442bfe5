// string-modify.cpp: append, insert and change on text, and the forming of values into text.
//
// Each takes the text a value contributes in full (a char!'s code point, a text's code points
// from its index, or the formed text of anything else, built in a scratch string) before it
// changes the series; one splice then writes it with its /dup copies. So a value that shares
// the series' buffer contributes what it held before the change, and an error (a form that
// raises, a size past the ceiling) leaves the series as it was.
#include <algorithm>
#include <optional>

#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/action-lookup.h"
#include "runtime/gc-root.h"

namespace qel {

namespace {

constexpr int32_t kNoPart = 2147483647;

// How the actions form values that are not text: append counts elements (or, with /only, code
// points), insert always counts code points, change forms every element whole.
enum class Forming : uint8_t { append, insert, change };

// A text buffer's contents from the head.
UnitText whole_text(NodeId node) { return string_text(string_value(node)); }

// What a value adds to a text.
class Contribution {
 public:
  Contribution(const Cell& value, int32_t part, bool only, Forming forming) {
    Type type = cell_type(value);
    if (type == Type::char_) {
      uint32_t c = value.w2;
      unit_ = c < 0x80 ? 1 : c < 0x10000 ? 2 : 4;  // as appending a code point widens
      code_point_write(single_, unit_, c);
    } else if (type == Type::tag) {
      formed_.emplace(string_value(new_text_series(16, 1)));
      add_tag(value, forming != Forming::change && part >= 0 ? part : -1);
    } else if (is_text_type(type)) {
      text_value_ = value;
      limit_ = forming != Forming::change && part >= 0 ? part : -1;
    } else {
      formed_.emplace(string_value(new_text_series(16, 1)));
      form(value, part, only, forming);
    }
  }

  // The code points; valid until the next write or safe point.
  UnitText text() {
    if (formed_) return whole_text((*formed_)->w2);
    if (text_value_) return string_text_part(*text_value_, limit_);
    return {single_, 1, unit_};
  }

 private:
  // A tag's text within "<" and ">". A /part budget takes "<" first, then the text, then ">" while
  // it lasts: insert/part of <img> 3 adds "<im".
  void add_tag(const Cell& tag, int64_t budget) {
    NodeId scratch = (*formed_)->w2;
    if (budget != 0) series_append_ascii(scratch, "<");
    if (budget > 0) --budget;
    UnitText text = string_text_part(tag, budget);
    string_write_text(scratch, 0, text, TextMode::append);
    if (budget >= 0) budget -= static_cast<int64_t>(text.length);
    if (budget != 0) series_append_ascii(scratch, ">");
  }

  // Forms the value into the scratch text as the action counts its /part.
  void form(const Cell& value, int32_t part, bool only, Forming forming) {
    NodeId scratch = (*formed_)->w2;
    Type type = cell_type(value);
    bool budgeted = forming == Forming::insert || (forming == Forming::append && only);
    int32_t budget = forming != Forming::change && part >= 0 ? part : kNoPart;
    if (type == Type::block || type == Type::paren || type == Type::hash) {
      string_form_elements_onto(scratch, value, budgeted, budget);
    } else {
      string_form_onto(scratch, value, budgeted, budget);
    }
  }

  uint8_t single_[4] = {};
  unsigned unit_ = 1;
  std::optional<Cell> text_value_;
  int64_t limit_ = -1;
  std::optional<GcRoot<Cell>> formed_;
};

// Whether a value contributes its elements (change announces their count).
bool any_block_value(const Cell& value) { return any_block_type(cell_type(value)); }

}  // namespace

// --- Forming -------------------------------------------------------------------------------------

int32_t string_form_onto(NodeId text, const Cell& value, bool budgeted, int32_t budget) {
  Cell element = value;  // the form may write into the buffer the value lies in
  GcRoot<Cell> output(string_value(text));
  int32_t left = lookup_action_for_value<Act::Form>(element)(element, *output, budgeted, budgeted ? budget : kNoPart);
  if (!budgeted) return budget;
  if (left < 0) {
    uint32_t length = string_total_length(text);
    series_buffer_truncate(text, length - std::min<uint32_t>(length, static_cast<uint32_t>(-int64_t{left})));
  }
  return left;
}

int32_t string_form_elements_onto(NodeId text, const Cell& block, bool budgeted, int32_t part) {
  for (int64_t i = series_clamped_index(block); part > 0 && i < series_total_length(block); ++i) {
    Cell element = *reinterpret_cast<const Cell*>(series_unit_address(block, i));
    if (budgeted) {
      part = string_form_onto(text, element, true, part);
    } else {
      string_form_onto(text, element, false, 0);
      --part;
    }
  }
  return part;
}

// --- append, insert and change ---------------------------------------------------------------------

void string_append(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool notify) {
  int64_t length = series_total_length(series);
  bool told = notify && series_notify_before(series, SeriesChange::append, value, length, part);
  Contribution contribution(value, part, only, Forming::append);
  UnitText text = contribution.text();
  if (text.length == 0) return;
  length = series_total_length(series);
  string_splice(series.w2, static_cast<uint32_t>(length), 0, text, dup);
  if (told) series_notify_after(series, SeriesChange::append, value, length, part < 0 ? 1 : part);
  series.w1 = 0;
}

void string_insert(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool) {
  int64_t index = series_clamped_index(series);
  bool told = series_notify_before(series, SeriesChange::insert, value, index, part);
  index = series_clamped_index(series);
  if (index == series_total_length(series)) {
    string_append(series, value, part, only, dup, false);
    series_set_index(series, series_total_length(series));
  } else {
    Contribution contribution(value, part, only, Forming::insert);
    uint32_t end = string_splice(series.w2, static_cast<uint32_t>(index), 0, contribution.text(), dup);
    series_set_index(series, std::min<int64_t>(end, series_total_length(series)));
  }
  if (told) series_notify_after(series, SeriesChange::insert, value, index, part < 0 ? 1 : part);
}

void string_change(Cell& series, Cell& value, int32_t part, bool only, int32_t dup) {
  int64_t index = series_clamped_index(series);
  int64_t rest = series_total_length(series) - index;
  if (part > rest) part = static_cast<int32_t>(rest);
  int64_t announced = part >= 0 ? part : any_block_value(value) ? series_length_after(value) * dup : dup;
  Cell none = make_cell(Type::none);
  bool told = series_notify_before(series, SeriesChange::change, none, index, std::min(announced, rest));
  index = series_clamped_index(series);
  rest = series_total_length(series) - index;
  int64_t added;
  if (rest == 0) {
    string_append(series, value, -1, only, dup, false);
    added = series_total_length(series) - index;
    series_set_index(series, series_total_length(series));
  } else {
    Contribution contribution(value, part, only, Forming::change);
    UnitText text = contribution.text();
    added = static_cast<int64_t>(text.length) * dup;
    int64_t replaced = part >= 0 ? std::min<int64_t>(part, rest) : std::min(added, rest);
    uint32_t end = string_splice(series.w2, static_cast<uint32_t>(index), static_cast<uint32_t>(replaced), text, dup);
    series_set_index(series, std::min<int64_t>(end, series_total_length(series)));
  }
  if (told) series_notify_after(series, SeriesChange::change, none, index, added);
}

}  // namespace qel
