// string-mold.cpp: the molded form of text: double quotes or braces, and the escapes inside.
#include <vector>

#include "datatypes/scalars/char-escape.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/series.h"

namespace qel {

namespace {

// Texts from this length on are molded in braces.
constexpr size_t kBraceLength = 50;

// The code point at an offset from the value's index, read afresh (the output may share nothing
// with the value, but reading through the node keeps that from mattering).
uint32_t code_point_at(const Cell& value, size_t offset) { return string_char_at(value, static_cast<int64_t>(offset)); }

// Which "{" of the range have a "}" to close them later in it (with nesting): a "{" is closed
// by the first "}" after it at which the braces between balance.
std::vector<bool> closed_braces(const Cell& value, size_t range) {
  std::vector<bool> closed(range, false);
  std::vector<size_t> open;
  for (size_t i = 0; i < range; ++i) {
    uint32_t c = code_point_at(value, i);
    if (c == '{') open.push_back(i);
    if (c == '}' && !open.empty()) {
      closed[open.back()] = true;
      open.pop_back();
    }
  }
  return closed;
}

// Writes the range in braces: a "{" that is closed later stays as it is (until the first one
// that is not; from there every "{" is escaped), a "}" stays while a kept "{" is open, the
// double quote stays, "^" doubles, and the rest goes through the character escape.
void mold_in_braces(const Cell& value, Cell& output, size_t range, bool all) {
  std::vector<bool> closed = closed_braces(value, range);
  bool escaping_open = false;
  size_t nesting = 0;
  for (size_t i = 0; i < range; ++i) {
    uint32_t c = code_point_at(value, i);
    if (c == '{') {
      escaping_open = escaping_open || !closed[i];
      series_append_ascii(output.w2, escaping_open ? "^{" : "{");
      nesting += escaping_open ? 0 : 1;
    } else if (c == '}') {
      series_append_ascii(output.w2, nesting > 0 ? "}" : "^}");
      nesting -= nesting > 0 ? 1 : 0;
    } else if (c == '"') {
      series_append_ascii(output.w2, "\"");
    } else if (c == '^') {
      series_append_ascii(output.w2, "^^");
    } else {
      string_mold_char(output, c, all);
    }
  }
}

}  // namespace

int32_t string_mold(const Cell& value, Cell& output, bool, bool all, bool, bool part, int32_t limit, int32_t) {
  size_t length = string_length(value);
  size_t range = part ? std::min<size_t>(length, static_cast<size_t>(std::max(limit, 0))) : length;
  size_t quotes = 0, line_feeds = 0;
  for (size_t i = 0; i < range; ++i) {
    uint32_t c = code_point_at(value, i);
    quotes += c == '"';
    line_feeds += c == '\n';
  }
  bool braces = line_feeds >= 3 || quotes > 0 || length >= kBraceLength;
  series_append_ascii(output.w2, braces ? "{" : "\"");
  if (braces) {
    mold_in_braces(value, output, range, all);
  } else {
    for (size_t i = 0; i < range; ++i) string_mold_char(output, code_point_at(value, i), all);
  }
  series_append_ascii(output.w2, braces ? "}" : "\"");
  return budget_less(limit, range + 2);
}

}  // namespace qel
