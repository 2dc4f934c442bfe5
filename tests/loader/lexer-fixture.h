// lexer-fixture.h: a fresh runtime for each lexer test, and readers of what a scan answers.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "../scalars/scalar-fixture.h"
#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-encode.h"
#include "loader/lexer/lexer-state.h"
#include "loader/lexer/lexer.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-catalog.h"
#include "runtime/exits.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel::testing {

// A fresh heap with the start-up's registrations, inside a native frame (as the scalar tests).
class LexerTest : public ScalarTest {};

inline std::span<const uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The UTF-8 of a text value from its index.
inline std::string text_utf8(const Cell& value) {
  SeriesBuffer* buffer = series_buffer(value.w2);
  unsigned unit = buffer->unit();
  UnitText text{buffer->head_address() + uint64_t{value.w1} * unit, (buffer->tail - buffer->head) / unit - value.w1,
                unit};
  return utf8_from_units(text, false);
}

// The cells of a block from its index.
inline std::vector<Cell> cells_of(const Cell& block) {
  SeriesBuffer* buffer = series_buffer(block.w2);
  return {buffer->head_cell() + block.w1, buffer->tail_cell()};
}

// The text of a value as the lexer's tests read it: blocks, parens, paths, words and text values
// written here; every other type through its mold action.
inline std::string molded(const Cell& value) {
  auto joined = [](const Cell& series, const char* open, const char* separator, const char* close) {
    std::string text = open;
    SeriesBuffer* buffer = series_buffer(series.w2);
    for (const Cell* cell = buffer->head_cell() + series.w1; cell < buffer->tail_cell(); ++cell)
      text += (cell == buffer->head_cell() + series.w1 ? "" : separator) + molded(*cell);
    return text + close;
  };
  auto word = [&](const char* before, const char* after) {
    return before + std::string(symbol_name(value.w2)) + after;
  };
  switch (cell_type(value)) {
    case Type::block: return joined(value, "[", " ", "]");
    case Type::paren: return joined(value, "(", " ", ")");
    case Type::path: return joined(value, "", "/", "");
    case Type::lit_path: return joined(value, "'", "/", "");
    case Type::get_path: return joined(value, ":", "/", "");
    case Type::set_path: return joined(value, "", "/", ":");
    case Type::word: return word("", "");
    case Type::set_word: return word("", ":");
    case Type::get_word: return word(":", "");
    case Type::lit_word: return word("'", "");
    case Type::refinement: return word("/", "");
    case Type::issue: return word("#", "");
    case Type::string: return "\"" + text_utf8(value) + "\"";
    default: {
      std::string text = text_utf8(call_action(Act::Mold, std::span(&value, 1)));
      stack_drop(1);
      return text;
    }
  }
}

// The molded values the text loads to.
inline std::string load_molded(std::string_view text) {
  Cell out;
  (void)lexer_transcode(out, bytes_of(text), {});
  return molded(out);
}

// The datatype id a scan answers for the text: prescan or scan mode, one value.
inline int32_t answer(std::string_view text, bool prescan) {
  Cell out;
  LexerRequest request;
  request.one = true;
  (prescan ? request.prescan : request.scan) = true;
  return lexer_transcode(out, bytes_of(text), request).type;
}

constexpr int32_t id(Type type) { return static_cast<int32_t>(type); }

// What a load of the text raised: the catalog id and the arguments as text (a datatype! as its
// id in decimal, a char! as its character).
struct RaisedError {
  bool raised = false;
  ErrorId id{};
  std::vector<std::string> args;
};

inline std::string argument_text(const Cell& arg) {
  switch (cell_type(arg)) {
    case Type::datatype: return std::to_string(arg.w1);
    case Type::char_: return std::string(1, static_cast<char>(arg.w2));
    default: return text_utf8(arg);
  }
}

inline RaisedError load_error(std::string_view text, const LexerRequest& request = {}) {
  Cell out;
  Caught caught = trap_errors([&] { (void)lexer_transcode(out, bytes_of(text), request); });
  RaisedError raised;
  if (caught.taken != kThrowError) return raised;
  stack_drop(1);
  const StandInError& error = stand_in_last_error();
  raised = {true, error.id, {}};
  for (size_t i = 0; i < error.arg_count; ++i) raised.args.push_back(argument_text(error.args[i]));
  return raised;
}

// A text whose load raises the error with these arguments.
struct LoadErrorCase {
  std::string text;
  ErrorId id;
  std::vector<std::string> args;
};

// Loads each text and checks the error it raised; no scan record is left behind.
inline void expect_load_errors(std::span<const LoadErrorCase> cases) {
  for (const LoadErrorCase& c : cases) {
    SCOPED_TRACE(c.text);
    RaisedError raised = load_error(c.text);
    ASSERT_TRUE(raised.raised);
    EXPECT_EQ(raised.id, c.id);
    EXPECT_EQ(raised.args, c.args);
    EXPECT_EQ(lexer_innermost(), nullptr);
  }
}

}  // namespace qel::testing
