// string-fixture.h: text values over a fresh heap for the string tests: making them from UTF-8
// or code points in a chosen unit, reading them back, and checking raised errors.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "runtime/action-entries.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/exits.h"
#include "runtime/symbols.h"
#include "runtime/services.h"
#include "tests/runtime/memory-fixture.h"
#include "tests/series/text-fixtures.h"

namespace qel {

// A new string! holding the UTF-8 text in the narrowest unit, or in the given wider one.
inline Cell text_value(std::string_view utf8, unsigned unit = 1) {
  NodeId node = new_text_series(1, 1);
  string_append_utf8(node, utf8);
  string_widen_to(node, unit);
  return string_value(node);
}

// A new string! holding the code points in the given unit (each must fit it).
inline Cell code_point_value(const CodePoints& code_points, unsigned unit) {
  NodeId node = new_text_series(static_cast<int64_t>(code_points.size()), unit);
  SeriesBuffer* buffer = series_buffer(node);
  for (size_t i = 0; i < code_points.size(); ++i) code_point_write(buffer->data() + i * unit, unit, code_points[i]);
  buffer->tail = static_cast<uint32_t>(code_points.size() * unit);
  return string_value(node);
}

// The value's text from its index as UTF-8.
inline std::string utf8_of(const Cell& value) { return string_to_utf8(value); }

// The code points of a buffer from its head.
inline CodePoints code_points_of(NodeId node) {
  CodePoints code_points;
  for (uint32_t i = 0; i < string_total_length(node); ++i) code_points.push_back(string_char_at(string_value(node), i));
  return code_points;
}

// The error `body` raised (its id and arguments), or a failure when it raised none.
template <class Body>
StandInError raised_error(Body&& body) {
  if (trap_errors(body).taken != kThrowError) {
    ADD_FAILURE() << "no error";
    return {};
  }
  stack_drop(1);
  return stand_in_last_error();
}

// The bytes of a binary! error argument.
inline Bytes binary_bytes(const Cell& binary) {
  SeriesBuffer* buffer = series_buffer(binary.w2);
  return Bytes(buffer->head_address(), buffer->tail_address());
}

class StringTest : public MemoryTest {
 protected:
  void TearDown() override {
    reset_services();
    MemoryTest::TearDown();
  }
};

// --- Calling actions as the interpreter does ------------------------------------------------------

inline Cell int_cell(int32_t n) { return make_cell(Type::integer, 0, static_cast<uint32_t>(n)); }
inline Cell char_value(uint32_t c) { return make_cell(Type::char_, 0, c); }
inline Cell word_value(const char* name) { return make_cell(Type::word, 0, symbol_intern_cstring(name), kUnresolved); }
inline Cell at(Cell series, uint32_t index) {
  series.w1 = index;
  return series;
}

// A block of the given values.
inline Cell block_of(std::initializer_list<Cell> values) {
  NodeId node = new_cell_series(static_cast<int64_t>(values.size()) + 1);
  for (const Cell& value : values) *series_append_fresh_slot(node) = value;
  return make_cell(Type::block, 0, node);
}

// The action's result, its cell dropped from the stack.
inline Cell act(Act action, std::initializer_list<Cell> args, Refinements refinements = {}) {
  Cell result = call_action(action, std::span<const Cell>(args.begin(), args.size()), refinements);
  stack_drop(1);
  return result;
}

// The whole text of a string value (from its head) and its index.
inline std::string head_text(const Cell& value) { return utf8_of(at(value, 0)); }

// Registers the start-up's datatypes, and a word! that forms as its spelling (the word family
// belongs to the evaluator).
class StringActions : public StringTest {
 protected:
  void SetUp() override {
    StringTest::SetUp();
    datatype_tables_init();
    register_datatypes_keeping_error_services();
    init_action_entries();
    register_datatype(Type::word, Type::symbol, "word!",
                      ActionRow().set<Act::Form>([](const Cell& word, Cell& buffer, bool, int32_t limit) {
                        std::string_view name = symbol_name(word.w2);
                        series_append_ascii(buffer.w2, name);
                        return static_cast<int32_t>(limit - static_cast<int32_t>(name.size()));
                      }));
  }
};

}  // namespace qel
