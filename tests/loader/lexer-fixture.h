// lexer-fixture.h: a fresh runtime for each lexer test, and readers of what a scan answers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-encode.h"
#include "loader/lexer/lexer-state.h"
#include "loader/lexer/lexer.h"
#include "runtime/error-catalog.h"
#include "runtime/exits.h"
#include "runtime/memory.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/startup.h"
#include "runtime/value-stack.h"

namespace qel::testing {

class LexerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_services();
    restart_memory();
    init_lexer_tables();
  }
  void TearDown() override {
    memory_release_all();
    reset_services();
  }
};

inline std::span<const uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The UTF-8 of a text value from its index.
inline std::string text_of(const Cell& value) {
  SeriesBuffer* buffer = series_buffer(value.w2);
  unsigned unit = buffer->unit();
  UnitText text{buffer->head_address() + uint64_t{value.w1} * unit, (buffer->tail - buffer->head) / unit - value.w1, unit};
  return utf8_from_units(text, false);
}

// The cells of a block from its index.
inline std::vector<Cell> cells_of(const Cell& block) {
  SeriesBuffer* buffer = series_buffer(block.w2);
  return {buffer->head_cell() + block.w1, buffer->tail_cell()};
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
    default: return text_of(arg);
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

}  // namespace qel::testing
