// json-decoder.cpp: the JSON decoder: one pass over the text's own units, with an explicit
// stack of the arrays and objects still open, so nesting never deepens the machine stack.
//
// The decoder evaluates nothing and holds collection off: the values it has made wait in a C++
// vector until their container closes, and the text's buffer stays where it is.
#include "loader/codecs/json-decoder.h"

#include <cmath>
#include <string>
#include <vector>

#include "datatypes/scalars/float-text.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/hex-text.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/series/map.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "evaluator/error.h"
#include "loader/codecs/codec-text.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The characters no word holds (the rest of a word may hold digits and apostrophes, its first
// character neither).
constexpr bool not_word_char(uint32_t c) {
  switch (c) {
    case '/': case '\\': case '^': case ',': case '[': case ']': case '(': case ')': case '{': case '}':
    case '"': case '#': case '%': case '$': case '@': case ':': case ';': case '\n': case 0xA0:
    case ' ': case '\t': case '\r': case '<': case '>':
      return true;
  }
  return false;
}
constexpr bool is_digit(uint32_t c) { return c >= '0' && c <= '9'; }
constexpr bool word_first_char(uint32_t c) { return !not_word_char(c) && !is_digit(c) && c != '\''; }

// The character a one-letter escape stands for, or -1 when the letter escapes nothing.
constexpr int32_t short_escape(uint32_t c) {
  switch (c) {
    case '"': return '"';
    case '\\': return '\\';
    case '/': return '/';
    case 'b': return 0x08;
    case 'f': return 0x0C;
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
  }
  return -1;
}

constexpr bool is_high_surrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool is_low_surrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// An array or object still open: where its values start in the decoder's vector.
struct OpenLevel {
  size_t first;
  bool object;
};

template <class U>
class JsonDecoder {
 public:
  explicit JsonDecoder(std::span<const U> text) : text_(text.data()), length_(text.size()) {}

  // Decodes the whole text; false, with the progress kept, when it is no JSON.
  bool decode(Cell& result) {
    skip_space();
    if (!value()) return false;
    while (!open_.empty()) {
      if (!after_value()) return false;
    }
    finish_value();
    if (at_ != length_) return false;
    result = values_.back();
    return true;
  }

  // Where a failed decode stands, as the grammar moved it: the last good position (after each
  // complete value and after a property's colon), the line count and the position after the
  // last line feed (both moved at every line feed read).
  size_t mark() const { return mark_; }
  size_t last_lf() const { return last_lf_; }
  int64_t line() const { return line_; }

 private:
  bool more() const { return at_ < length_; }
  bool at_char(uint32_t c) const { return at_ < length_ && text_[at_] == c; }

  void skip_space() {
    for (; at_ < length_; ++at_) {
      const uint32_t c = text_[at_];
      if (c == '\n') {
        ++line_;
        last_lf_ = mark_ = at_ + 1;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
    }
  }

  // After a complete value: the mark moves past it and the white space after it is read.
  void finish_value() {
    mark_ = at_;
    skip_space();
  }

  // One value at the position (white space before it read): a scalar is pushed; an opening
  // bracket opens a level and reads its first value, if any. False when nothing matches.
  bool value() {
    for (;;) {
      if (!more()) return false;
      const uint32_t c = text_[at_];
      if (c != '[' && c != '{') return scalar();
      open_level(c == '{');
      ++at_;
      skip_space();
      if (at_char(c == '{' ? '}' : ']')) return close_level();
      if (c == '{' && !property_key()) return false;
    }
  }

  // What follows a value inside the innermost open level: a comma and the next value, or the
  // closing bracket.
  bool after_value() {
    finish_value();
    const bool object = open_.back().object;
    if (at_char(',')) {
      ++at_;
      skip_space();
      if (object && !property_key()) return false;
      return value();
    }
    if (at_char(object ? '}' : ']')) return close_level();
    return false;
  }

  void open_level(bool object) {
    if (open_.size() >= kJsonMaxNesting) raise_error(error_id("internal", "too-deep"));
    open_.push_back({values_.size(), object});
  }

  // The closing bracket at the position: the level's values become one block! or map!.
  bool close_level() {
    ++at_;
    const OpenLevel level = open_.back();
    open_.pop_back();
    const size_t count = values_.size() - level.first;
    Cell container;
    if (level.object) {
      map_make_at(container, nullptr, static_cast<int64_t>(count / 2));
      for (size_t i = level.first; i < values_.size(); i += 2) map_put(container, values_[i], values_[i + 1], true);
    } else {
      container = block_of({values_.data() + level.first, count});
    }
    values_.resize(level.first);
    values_.push_back(container);
    return true;
  }

  // A property's key and colon: the key is a word! when it spells one, else the string.
  bool property_key() {
    if (!at_char('"')) return false;
    Cell key;
    if (!string_literal(key)) return false;
    if (spells_word(key)) key = context_add_word(symbol_intern(key), global_context());
    values_.push_back(key);
    skip_space();
    if (!at_char(':')) return false;
    mark_ = ++at_;
    skip_space();
    return true;
  }

  static bool spells_word(const Cell& key) {
    const UnitText text = string_text(key);
    if (text.length == 0) return false;
    return visit_units(text, [](auto units) {
      if (!word_first_char(units[0])) return false;
      for (size_t i = 1; i < units.size(); ++i)
        if (not_word_char(units[i])) return false;
      return true;
    });
  }

  bool literal(std::string_view word, const Cell& value) {
    if (length_ - at_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if (text_[at_ + i] != static_cast<uint8_t>(word[i])) return false;
    at_ += word.size();
    values_.push_back(value);
    return true;
  }

  bool scalar() {
    Cell value;
    switch (text_[at_]) {
      case 't': return literal("true", make_cell(Type::logic, 1));
      case 'f': return literal("false", make_cell(Type::logic, 0));
      case 'n': return literal("null", make_cell(Type::none));
      case '"':
        if (!string_literal(value)) return false;
        break;
      default:
        if (!number(value)) return false;
    }
    values_.push_back(value);
    return true;
  }

  bool digit_at(size_t i) const { return i < length_ && is_digit(text_[i]); }

  // The longest number at the position: "-" optional, "0" or digits without a leading zero, then
  // a fraction and an exponent when complete (a "." or "e" without digits ends the number).
  bool number(Cell& value) {
    const size_t start = at_;
    size_t i = at_ + (text_[at_] == '-');
    if (!digit_at(i)) return false;
    if (text_[i] == '0') {
      ++i;
    } else {
      while (digit_at(i)) ++i;
    }
    const size_t whole_end = i;
    if (i < length_ && text_[i] == '.' && digit_at(i + 1)) {
      i += 2;
      while (digit_at(i)) ++i;
    }
    if (i < length_ && (text_[i] == 'e' || text_[i] == 'E')) {
      size_t e = i + 1;
      if (e < length_ && (text_[e] == '+' || text_[e] == '-')) ++e;
      if (digit_at(e)) {
        i = e + 1;
        while (digit_at(i)) ++i;
      }
    }
    at_ = i;
    if (i == whole_end && integer_number(start, i, value)) return true;
    size_t unconsumed = 0;
    const double real = decimal_text_to_double(std::span<const U>(text_ + start, i - start), 0, unconsumed);
    if (!std::isfinite(real)) raise_error(error_id("math", "overflow"));
    float_make_at(value, real);
    return true;
  }

  // A whole number that fits 32 bits, as integer!; false for a longer one.
  bool integer_number(size_t start, size_t end, Cell& value) const {
    const bool negative = text_[start] == '-';
    if (end - start - negative > 10) return false;
    int64_t n = 0;
    for (size_t i = start + negative; i < end; ++i) n = n * 10 + (text_[i] - '0');
    if (negative) n = -n;
    if (n < INT32_MIN || n > INT32_MAX) return false;
    integer_make_at(value, static_cast<int32_t>(n));
    return true;
  }

  // A string at the opening quote: characters other than the quote, the backslash and controls,
  // and escapes of one letter or "u" and four hex digits, up to the closing quote.
  bool string_literal(Cell& value) {
    const size_t first = ++at_;
    bool escaped = false;
    uint32_t widest = 0;
    while (at_ < length_ && text_[at_] != '"') {
      const uint32_t c = text_[at_];
      if (c < 0x20) return false;
      if (c == '\\') {
        if (at_ + 1 >= length_) return false;
        const uint32_t letter = text_[at_ + 1];
        if (letter == 'u') {
          for (size_t k = at_ + 2; k < at_ + 6; ++k)
            if (k >= length_ || hex_digit_value(text_[k]) < 0) return false;
          at_ += 6;
        } else if (short_escape(letter) >= 0) {
          at_ += 2;
        } else {
          return false;
        }
        escaped = true;
        continue;
      }
      widest = std::max(widest, c);
      ++at_;
    }
    if (at_ >= length_) return false;
    const size_t end = at_++;
    value = escaped ? unescaped(first, end) : string_from_units(text_ + first, end - first, widest);
    return true;
  }

  // The four hex digits from position i as a code point.
  uint32_t hex4(size_t i) const {
    uint32_t c = 0;
    for (size_t k = i; k < i + 4; ++k) c = c << 4 | static_cast<uint32_t>(hex_digit_value(text_[k]));
    return c;
  }

  // The string between the quotes at first and end (checked escapes) with its escapes decoded;
  // a high surrogate not followed by the escape of a low one is script invalid-data.
  Cell unescaped(size_t first, size_t end) {
    scratch_.clear();
    uint32_t widest = 0;
    for (size_t i = first; i < end;) {
      uint32_t c = text_[i];
      if (c != '\\') {
        ++i;
      } else if (text_[i + 1] != 'u') {
        c = static_cast<uint32_t>(short_escape(text_[i + 1]));
        i += 2;
      } else {
        c = hex4(i + 2);
        i += 6;
        if (is_high_surrogate(c)) {
          const bool paired = i + 6 <= end && text_[i] == '\\' && text_[i + 1] == 'u' && is_low_surrogate(hex4(i + 2));
          if (!paired) raise_error(error_id("script", "invalid-data"), string_from_units(text_ + first, end - first));
          c = 0x10000 + ((c - 0xD800) << 10) + (hex4(i + 2) - 0xDC00);
          i += 6;
        }
      }
      widest = std::max(widest, c);
      scratch_.push_back(c);
    }
    return string_from_units(scratch_.data(), scratch_.size(), widest);
  }

  const U* text_;
  size_t length_;
  size_t at_ = 0;
  size_t mark_ = 0;
  size_t last_lf_ = 0;
  int64_t line_ = 1;
  std::vector<Cell> values_;     // the finished values of the open levels, in order
  std::vector<OpenLevel> open_;  // the arrays and objects open, innermost last
  std::vector<uint32_t> scratch_;
};

// The error! value of text that is no JSON: the line, index and column of the last good
// position and the text from there (at most 40 characters, molded), or "<end of input>".
template <class U>
Cell invalid_json(const Cell& text, std::span<const U> units, const JsonDecoder<U>& decoder) {
  const size_t mark = decoder.mark();
  Cell message;
  string_make_at(message, 80);
  series_append_ascii(message.w2, "Invalid JSON string. Line: " + std::to_string(decoder.line()) +
                                      " Index: " + std::to_string(string_index(text) + mark + 1) +
                                      " Column: " + std::to_string(mark - decoder.last_lf()) + " Near: ");
  if (mark >= units.size()) {
    series_append_ascii(message.w2, "<end of input>");
  } else {
    const size_t count = std::min<size_t>(40, units.size() - mark);
    const Cell near = string_from_units(units.data() + mark, count);
    string_mold(near, message, false, false, false, false, INT32_MAX, 0);
  }
  return error_make(message);
}

}  // namespace

Cell json_decode(const Cell& text) {
  NoGcScope hold;
  return visit_units(string_text(text), [&](auto units) {
    JsonDecoder decoder(units);
    Cell result;
    if (decoder.decode(result)) return result;
    return invalid_json(text, units, decoder);
  });
}

}  // namespace qel
