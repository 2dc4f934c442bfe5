// csv-reader.cpp: CSV text cut into rows of string fields, in one pass over the text's own
// units. The reader evaluates nothing and holds collection off while it builds the rows.
#include <algorithm>
#include <string>

#include "datatypes/series/string-core.h"
#include "evaluator/error.h"
#include "loader/codecs/codec-text.h"
#include "loader/codecs/csv.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"

namespace qel {

namespace {

constexpr bool is_blank(uint32_t c) { return c == ' ' || c == '\t'; }

template <class U>
class CsvReader {
 public:
  CsvReader(std::span<const U> text, const std::vector<uint32_t>& delimiter, uint32_t quote, bool trim)
      : text_(text.data()), length_(text.size()), delimiter_(delimiter), quote_(quote), trim_(trim) {}

  // The rows; false when a quoted field is followed by anything but a delimiter or a line break.
  bool read() {
    while (at_ < length_) {
      fields_.clear();
      do {
        if (!field()) return false;
      } while (delimiter_at(at_) && (at_ += delimiter_.size(), true));
      rows_.push_back(block_of(fields_));
      skip_line_break();
    }
    return true;
  }

  const std::vector<Cell>& rows() const { return rows_; }
  int64_t line() const { return line_; }

 private:
  bool delimiter_at(size_t i) const {
    if (length_ - i < delimiter_.size()) return false;
    for (size_t k = 0; k < delimiter_.size(); ++k)
      if (text_[i + k] != delimiter_[k]) return false;
    return true;
  }
  bool line_break_at(size_t i) const { return i < length_ && (text_[i] == '\n' || text_[i] == '\r'); }

  // Past CR LF, LF or CR at the position, counting the line.
  void skip_line_break() {
    if (at_ >= length_) return;
    at_ += text_[at_] == '\r' && at_ + 1 < length_ && text_[at_ + 1] == '\n' ? 2 : 1;
    ++line_;
  }

  // One field at the position: quoted when a closing quote follows, else plain.
  bool field() {
    const size_t start = at_;
    // trimming lets blanks stand between the quotes and the delimiter
    if (trim_) skip_blanks();
    if (at_ < length_ && text_[at_] == quote_ && quoted_field()) {
      if (trim_) skip_blanks();
      return at_ >= length_ || line_break_at(at_) || delimiter_at(at_);
    }
    at_ = start;
    while (at_ < length_ && !line_break_at(at_) && !delimiter_at(at_)) ++at_;
    add_field(start, at_);
    return true;
  }

  // Past spaces and tabs that do not start the delimiter.
  void skip_blanks() {
    while (at_ < length_ && is_blank(text_[at_]) && !delimiter_at(at_)) ++at_;
  }

  // The quoted field at the opening quote, up to its closing one; false (the position kept)
  // when no closing quote follows.
  bool quoted_field() {
    size_t i = at_ + 1;
    int64_t breaks = 0;
    bool doubled = false;
    for (;; ++i) {
      if (i >= length_) return false;
      const uint32_t c = text_[i];
      if (c == quote_) {
        if (i + 1 < length_ && text_[i + 1] == quote_) {
          doubled = true;
          ++i;
          continue;
        }
        break;
      }
      if (c == '\n' || (c == '\r' && !(i + 1 < length_ && text_[i + 1] == '\n'))) ++breaks;
    }
    if (trim_)
      add_field(at_, i + 1);
    else
      add_unquoted(at_ + 1, i, doubled);
    at_ = i + 1;
    line_ += breaks;
    return true;
  }

  // The field of the units from start to end, trimmed when asked.
  void add_field(size_t start, size_t end) {
    if (!trim_) return add_unquoted(start, end, false);
    while (start < end && is_blank(text_[start])) ++start;
    while (end > start && is_blank(text_[end - 1])) --end;
    if (end - start >= 2 && text_[start] == quote_ && text_[end - 1] == quote_)
      return add_unquoted(start + 1, end - 1, true);
    add_unquoted(start, end, false);
  }

  // The units from start to end as a string, each doubled quote made one when there may be any.
  void add_unquoted(size_t start, size_t end, bool doubled) {
    if (!doubled) return fields_.push_back(string_from_units(text_ + start, end - start));
    scratch_.clear();
    for (size_t i = start; i < end; ++i) {
      scratch_.push_back(text_[i]);
      if (text_[i] == quote_ && i + 1 < end && text_[i + 1] == quote_) ++i;
    }
    fields_.push_back(string_from_units(scratch_.data(), scratch_.size()));
  }

  const U* text_;
  size_t length_;
  const std::vector<uint32_t>& delimiter_;
  uint32_t quote_;
  bool trim_;
  size_t at_ = 0;
  int64_t line_ = 1;
  std::vector<Cell> rows_;
  std::vector<Cell> fields_;
  std::vector<U> scratch_;
};

}  // namespace

UnitText csv_delimiter(const Cell& delimiter, uint32_t quote, uint32_t& code_point) {
  UnitText text;
  if (cell_type(delimiter) == Type::char_) {
    code_point = static_cast<uint32_t>(delimiter.w2);
    text = {reinterpret_cast<const uint8_t*>(&code_point), 1, 4};
  } else if (cell_type(delimiter) == Type::string) {
    text = string_text(delimiter);
  }
  const bool breaks = visit_units(text, [](auto units) {
    return std::any_of(units.begin(), units.end(), [](uint32_t c) { return c == '\n' || c == '\r'; });
  });
  if (text.length == 0 || breaks || (text.length == 1 && code_point_read(text.data, text.unit) == quote))
    raise_invalid_arg(delimiter);
  return text;
}

Cell csv_read(const Cell& text, const Cell& delimiter, uint32_t quote, bool trim) {
  uint32_t code_point;
  const std::vector<uint32_t> separator = text_code_points(csv_delimiter(delimiter, quote, code_point));
  NoGcScope hold;
  return visit_units(string_text(text), [&](auto units) {
    CsvReader reader(units, separator, quote, trim);
    if (reader.read()) return block_of(reader.rows());
    Cell message;
    string_make_at(message, 40);
    series_append_ascii(message.w2, "Invalid CSV data at line " + std::to_string(reader.line()));
    return error_make(message);
  });
}

}  // namespace qel
