// block-fixture.h: the scalar fixture (a fresh heap with the start-up's registrations and calls
// of actions) with a word! probe row (the word family is the evaluator's) and a reader of test
// notation for blocks.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <string_view>

#include "../scalars/scalar-fixture.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/symbols.h"

namespace qel::testing {

inline Cell word_cell(const char* name) {
  return make_cell(Type::word, 0, symbol_intern_cstring(name), kUnresolved);
}
inline Cell pair_cell(int32_t x, int32_t y) {
  return make_cell(Type::pair, 0, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
}
inline Cell at_index(Cell series, int32_t index) {
  series.w1 = static_cast<uint32_t>(index);
  return series;
}

// --- The word probe: words compare, form and mold by their spelling ----------------------------

inline bool word_kind(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::lit_word || type == Type::get_word;
}
inline int32_t probe_word_compare(const Cell& a, const Cell& b, int32_t op) {
  if (!word_kind(cell_type(b))) return kNotComparable;
  return symbol_compare(*symbol_cell(a.w2), *symbol_cell(b.w2), op);
}
inline int32_t probe_word_form(const Cell& word, Cell& buffer, bool, int32_t limit) {
  return output_text(buffer, symbol_name(word.w2), limit);
}
inline int32_t probe_word_mold(const Cell& word, Cell& buffer, bool, bool, bool, bool part, int32_t limit, int32_t) {
  return probe_word_form(word, buffer, part, limit);
}

// --- Test notation ------------------------------------------------------------------------------

// Reads "a 1 [b 2.5] (c) x/y 'p/q :g/h s/t: none" into a block: words, integers, decimals
// (float!), none, blocks, parens and the four path types; a line break before a value sets its
// new-line marker.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  Cell block() {
    Cell made;
    block_make_at(made, 4);
    bool broken = false;
    for (;;) {
      while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n')) broken |= text_[pos_++] == '\n';
      if (pos_ >= text_.size() || text_[pos_] == ']' || text_[pos_] == ')') {
        ++pos_;
        return made;
      }
      Cell value = item();
      if (broken) value.header |= kNewLineFlag;
      broken = false;
      block_append_copy(made, value);
    }
  }

 private:
  Cell item() {
    char c = text_[pos_];
    if (c == '[' || c == '(') {
      ++pos_;
      Cell inner = block();
      if (c == '(') set_value_type_byte(inner, Type::paren);
      return inner;
    }
    size_t end = text_.find_first_of(" \n[]()", pos_);
    std::string token(text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_));
    pos_ += token.size();
    return atom(token);
  }

  static Cell atom(std::string token) {
    Type path = Type::path;
    if (token.size() > 1 && token.find('/') != std::string::npos) {
      if (token[0] == '\'') path = Type::lit_path, token.erase(0, 1);
      else if (token[0] == ':') path = Type::get_path, token.erase(0, 1);
      else if (token.back() == ':') path = Type::set_path, token.pop_back();
      Cell steps;
      block_make_at(steps, 2);
      for (size_t from = 0;;) {
        size_t slash = token.find('/', from);
        block_append_copy(steps, atom(token.substr(from, slash == std::string::npos ? slash : slash - from)));
        if (slash == std::string::npos) break;
        from = slash + 1;
      }
      set_value_type_byte(steps, path);
      return steps;
    }
    if (token == "none") return make_cell(Type::none);
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(token.back()) || !(digit(token[0]) || token[0] == '-')) return word_cell(token.c_str());
    if (token.find('.') == std::string::npos) {
      int32_t n = 0;
      std::from_chars(token.data(), token.data() + token.size(), n);
      return integer_cell(n);
    }
    double x = 0;
    std::from_chars(token.data(), token.data() + token.size(), x);
    Cell number = make_cell(Type::float_);
    set_payload_f64(number, x);
    return number;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// --- The fixture --------------------------------------------------------------------------------

class BlockTest : public ScalarTest {
 protected:
  void SetUp() override {
    ScalarTest::SetUp();
    register_datatype(Type::word, Type::none_id, "word!",
                      ActionRow()
                          .set<Act::Compare>(probe_word_compare)
                          .set<Act::Form>(probe_word_form)
                          .set<Act::Mold>(probe_word_mold));
  }

 public:
  using ScalarTest::call;
  using ScalarTest::error_of;
  using ScalarTest::form;
  using ScalarTest::mold;
  using ScalarTest::text_of;

  // A new block read from test notation (unrooted: root it across safe points).
  static Cell load(std::string_view text) { return Reader(text).block(); }

  // A refinement of the action by name, with its argument cells.
  template <Act A>
  static Refinement ref(std::string_view name, std::span<const Cell> args = {}) {
    for (size_t r = 0; r < refinement_count(A); ++r)
      if (action_text::item(action_spec(A).text, refinement_item(A, r)).substr(1) == name) return {r, true, args};
    ADD_FAILURE() << "no refinement " << name;
    return {0, false, {}};
  }
};

}  // namespace qel::testing
