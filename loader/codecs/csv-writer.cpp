// csv-writer.cpp: fields escaped for CSV and joined into lines. The writer evaluates nothing
// and holds collection off; only the text it writes grows.
#include <algorithm>

#include "datatypes/scalars/bitset.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "loader/codecs/csv.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"

namespace qel {

namespace {

// Whether the text holds a character of the set.
bool holds_any(UnitText text, const Cell& set) {
  return visit_units(text, [&](auto units) {
    return std::any_of(units.begin(), units.end(), [&](uint32_t c) { return bitset_member(set.w2, c); });
  });
}

// The text with every quote character doubled, between quote characters.
void write_quoted(NodeId out, UnitText text, uint32_t quote) {
  string_append_char(out, quote);
  visit_units(text, [&](auto units) {
    size_t run = 0;
    for (size_t i = 0; i <= units.size(); ++i) {
      if (i < units.size() && units[i] != quote) continue;
      // the run up to and with the quote, then the quote once more
      const size_t end = std::min(i + 1, units.size());
      string_write_text(out, 0, {text.data + run * text.unit, end - run, text.unit}, TextMode::append);
      if (i < units.size()) string_append_char(out, quote);
      run = end;
    }
  });
  string_append_char(out, quote);
}

}  // namespace

void csv_escape_onto(NodeId text, const Cell& value, uint32_t quote, const Cell& quotable) {
  GcRoot<Cell> formed(value);  // a formed value's text stays rooted while forming allocates
  if (cell_type(value) != Type::string) {
    string_make_at(*formed, 16);
    string_form_onto(formed->w2, value, false, 0);
  }
  const UnitText field = string_text(*formed);
  if (holds_any(field, quotable))
    write_quoted(text, field, quote);
  else
    string_write_text(text, 0, field, TextMode::append);
}

Cell csv_line(const Cell& values, const Cell& delimiter, uint32_t quote, const Cell& quotable) {
  uint32_t code_point;
  const UnitText separator = csv_delimiter(delimiter, quote, code_point);
  NoGcScope hold;  // also keeps the separator's units where they are while the line grows
  Cell line;
  string_make_at(line, 80);
  for (int64_t i = series_clamped_index(values); i < block_total_cells(values); ++i) {
    if (i > series_clamped_index(values))
      visit_units(separator, [&](auto units) {
        for (uint32_t c : units) string_append_char(line.w2, c);
      });
    csv_escape_onto(line.w2, *block_cell_at(values, i), quote, quotable);
  }
  string_append_char(line.w2, '\n');
  return line;
}

}  // namespace qel
