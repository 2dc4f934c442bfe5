// string-find.cpp: find and select on text: the searched text, the window and direction the
// refinements give, and the search itself.
#include <algorithm>
#include <optional>
#include <vector>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/none.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-compare.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "datatypes/series/text-search.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/runtime-symbols.h"

namespace qel {

namespace {

// What is searched for: a char!'s code point, the text of a text or word value, or the formed
// text of anything else (kept in a rooted scratch string). In a binary, bytes are searched for:
// a text's or binary's (comparable_bytes), or the bytes the value would contribute.
class Needle {
 public:
  Needle(const Cell& series, const Cell& value) : value_(value) {
    Type type = cell_type(value);
    if (cell_type(series) == Type::binary) {
      if (type == Type::binary || is_text_type(type)) bytes_ = comparable_bytes(value);
      else binary_value_bytes(bytes_.emplace(), value, -1, false, OtherValues::form);
      return;
    }
    if (type == Type::binary) raise_error(error_id("script", "invalid-arg"), value);
    if (type == Type::char_) {
      code_point_ = value.w2;
    } else if (type == Type::tag || (!is_text_type(type) && !is_word_type(type))) {  // a tag by its form
      formed_.emplace(string_value(new_text_series(16, 1)));
      string_form_onto((*formed_)->w2, value, false, 0);
    }
  }

  // The code points; valid until the next write or safe point.
  UnitText text() {
    if (bytes_) return {bytes_->data(), bytes_->size(), 1};
    if (formed_) return string_text(**formed_);
    if (cell_type(value_) == Type::char_) return {reinterpret_cast<const uint8_t*>(&code_point_), 1, 4};
    return text_of_value(value_);
  }

  // The units select steps over: the matched text for text and word values, else one.
  size_t select_step() { return formed_ ? 1 : text().length; }

 private:
  Cell value_;
  uint32_t code_point_ = 0;
  std::optional<GcRoot<Cell>> formed_;
  std::optional<std::vector<uint8_t>> bytes_;
};

// Where and how find looks.
struct Search {
  UnitText text;   // the whole buffer from its head
  int64_t from;    // the index
  int64_t to;      // the end of the window: the tail, or index + /part
  int64_t skip;    // positions step by this many units
  bool fold;
  bool last;
  bool reverse;
  bool match;
};

// The first position the search tries and its step, by direction.
int64_t search_position(const Search& search, Needle& needle) {
  UnitText wanted = needle.text();
  int64_t length = static_cast<int64_t>(wanted.length);
  if (length == 0) return -1;
  int64_t limit = static_cast<int64_t>(search.text.length);
  if (!search.last && !search.reverse && search.skip == 1 && !search.match) {
    UnitText window{search.text.data + (search.from << unit_shift(search.text.unit)),
                    static_cast<size_t>(search.to - search.from), search.text.unit};
    int64_t found = text_find_forward(window, wanted, search.fold);
    return found < 0 ? -1 : search.from + found;
  }
  int64_t position, step;
  if (search.reverse) {
    // Backward from the unit before the index, from the first of those positions where the
    // needle fits before the tail.
    position = search.from - search.skip;
    int64_t overhang = position + length - limit;
    if (overhang > 0) position -= (overhang + search.skip - 1) / search.skip * search.skip;
    step = -search.skip;
  } else if (search.last) {
    int64_t top = search.to - length;
    position = top < search.from ? -1 : top - (top - search.from) % search.skip;
    step = -search.skip;
  } else {
    position = search.from;
    step = search.skip;
    limit = search.to;
  }
  int64_t low = search.last ? search.from : 0;
  for (; position >= low && position + length <= limit; position += step) {
    if (text_matches_at(search.text, static_cast<size_t>(position), wanted, search.fold)) return position;
    if (search.match) break;
  }
  return -1;
}

// A bitset's search: the first position whose code point (a binary's byte) is a member, one unit
// at a time in the direction and window the refinements give; case is never folded.
int64_t member_position(const Search& search, NodeId bits) {
  int64_t position, step = search.skip, low = search.from, high = search.to;
  if (search.reverse) {
    position = search.from - search.skip;
    low = 0;
    high = static_cast<int64_t>(search.text.length);
    step = -search.skip;
  } else if (search.last) {
    position = search.to - 1 - (search.to - 1 - search.from) % search.skip;
    step = -search.skip;
  } else {
    position = search.from;
  }
  const unsigned unit = search.text.unit;
  for (; position >= low && position < high; position += step) {
    if (bitset_member(bits, code_point_read(search.text.data + (position << unit_shift(unit)), unit))) return position;
    if (search.match) break;
  }
  return -1;
}

// The position find answers for the refinements, or -1; `step` is set to the match's length.
int64_t find_position(const Cell& series, const Cell& value, const Cell* part, bool case_sensitive, bool any,
                      const Cell* with, const Cell* skip, bool last, bool reverse, bool match, bool for_select,
                      int64_t& step) {
  if (any || with) raise_error(error_id("internal", "not-done"));
  int64_t total = series_total_length(series);
  int64_t index = series_clamped_index(series);
  if (total == 0 || (index == total && !reverse)) return -1;
  bool fold = !case_sensitive && cell_type(series) != Type::binary;  // bytes match exactly
  Search search{string_text(string_value(series.w2)), index, total, skip_size(skip), fold, last, reverse, match};
  if (part) {
    int64_t count = series_part_count(series, *part);
    if (count < 1) return -1;
    search.to = std::min(total, index + count);
  }
  if (cell_type(value) == Type::bitset) {  // a binary's bytes are tested as a text's code points
    step = 1;
    return member_position(search, value.w2);
  }
  Needle needle(series, value);
  search.text = string_text(string_value(series.w2));  // read again once the needle is formed
  int64_t found = search_position(search, needle);
  step = for_select ? static_cast<int64_t>(needle.select_step()) : static_cast<int64_t>(needle.text().length);
  return found;
}

}  // namespace

bool string_char_in_bitset(const Cell& value, const Cell& bitset) {
  UnitText text = string_text(value);
  return text.length > 0 && bitset_member(bitset.w2, code_point_read(text.data, text.unit));
}

Cell* string_find(Cell& series, Cell& value, Cell* part, bool, bool case_, bool same, bool any, Cell* with,
                  Cell* skip, bool last, bool reverse, bool tail, bool match) {
  int64_t length = 0;
  int64_t found =
      find_position(series, value, part, case_ || same, any, with, skip, last, reverse, match, false, length);
  if (found < 0) {
    series = kNoneCell;
  } else {
    series_set_index(series, tail ? found + length : found);
  }
  return &series;
}

Cell* string_select(Cell& series, Cell& value, Cell* part, bool, bool case_, bool same, bool any, Cell* with,
                    Cell* skip, bool last, bool reverse) {
  int64_t step = 0;
  int64_t found = find_position(series, value, part, case_ || same, any, with, skip, last, reverse, false, true, step);
  if (found < 0 || found + step >= series_total_length(series)) {
    series = kNoneCell;
  } else {
    series = series_element_hooks(cell_type(series)).pick(series, found + step);
  }
  return &series;
}

}  // namespace qel
