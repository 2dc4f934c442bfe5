// scalar-fixture.h: a fresh heap with the start-up's datatype registrations and action entries,
// and helpers that call actions as the interpreter does and read their results.
#pragma once

#include <gtest/gtest.h>

#include "tests/runtime/memory-fixture.h"

#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/exits.h"
#include "runtime/extres.h"
#include "runtime/memory.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/startup.h"
#include "runtime/value-stack.h"

namespace qel::testing {

inline Cell integer_cell(int32_t value) { return make_cell(Type::integer, 0, static_cast<uint32_t>(value)); }
inline Cell char_cell(uint32_t code_point) { return make_cell(Type::char_, 0, code_point); }
inline Cell logic_cell(bool flag) { return make_cell(Type::logic, flag ? 1 : 0); }
inline Cell float_cell(double value, Type type = Type::float_) {
  Cell cell = make_cell(type);
  set_payload_f64(cell, value);
  return cell;
}
inline Cell percent_cell(double value) { return float_cell(value, Type::percent); }

// Whether two cells hold the same value: the same type and payload (a double by its bits).
inline ::testing::AssertionResult same_value(const Cell& got, const Cell& want) {
  bool same = cell_type(got) == cell_type(want);
  if (same && (cell_type(want) == Type::float_ || cell_type(want) == Type::percent))
    same = got.w2 == want.w2 && got.w3 == want.w3;
  else if (same)
    same = got.w2 == want.w2;
  if (same) return ::testing::AssertionSuccess();
  auto show = [](const Cell& cell) {
    Type type = cell_type(cell);
    std::string text = "type " + std::to_string(static_cast<int>(type)) + " ";
    if (type == Type::float_ || type == Type::percent) return text + std::to_string(payload_f64(cell));
    return text + std::to_string(static_cast<int32_t>(cell.w2));
  };
  return ::testing::AssertionFailure() << "got " << show(got) << ", want " << show(want);
}

class ScalarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_services();
    restart_memory();
    datatype_tables_init();
    register_datatypes_keeping_error_services();
    init_action_entries();
    // Calls run inside a native frame, as under the interpreter, so errors name a caller.
    stack_open_native_frame(word_from_c_string("caller"));
  }
  void TearDown() override {
    init_stacks();
    datatype_tables_init();
    extres_release_all();
    memory_release_all();
    reset_services();
  }

  // The symbol of the frame the calls run in.
  static uint32_t caller_symbol() { return word_from_c_string("caller").w2; }

  // Calls the action and answers a copy of its result.
  template <class... Args>
  static Cell call(Act act, Refinements refinements, const Args&... args) {
    const std::array<Cell, sizeof...(Args)> cells{args...};
    Cell result = call_action(act, cells, refinements);
    stack_drop(1);
    return result;
  }
  template <class... Args>
  static Cell call(Act act, const Args&... args) {
    return call(act, Refinements{}, args...);
  }

  // round with /to and the scale when one is given, and one more refinement when given.
  enum RoundRefinement : size_t { kEven = 1, kDown, kHalfDown, kFloor, kCeiling, kHalfCeiling };
  static Cell round(const Cell& value, std::optional<Cell> scale, std::optional<RoundRefinement> refinement = {}) {
    const Cell scales[] = {scale.value_or(make_cell(Type::none))};
    Refinement to{0, scale.has_value(), scales};
    return refinement ? call(Act::Round, {to, {*refinement}}, value) : call(Act::Round, {to}, value);
  }
  static ErrorId round_error(const Cell& value, std::optional<Cell> scale,
                             std::optional<RoundRefinement> refinement = {}) {
    return error_of([&] { round(value, scale, refinement); });
  }

  // The text of a form or mold result; code points above U+007F come out as "\\u{...}".
  static std::string text_of(const Cell& string) {
    SeriesBuffer* buffer = series_buffer(string.w2);
    std::string text;
    uint32_t unit = buffer->unit();
    for (uint32_t i = string.w1; i < series_buffer_length(string.w2); ++i) {
      uint32_t c = 0;
      std::memcpy(&c, buffer->head_address() + i * unit, unit);
      text += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u{" + std::to_string(c) + "}";
    }
    return text;
  }
  static std::string form(const Cell& value) { return text_of(call(Act::Form, value)); }
  static std::string mold(const Cell& value) { return text_of(call(Act::Mold, value)); }
  static std::string mold_all(const Cell& value) { return text_of(call(Act::Mold, {{1}}, value)); }

  // Runs the body with errors trapped; answers the raised error's id, or an empty id.
  static ErrorId error_of(const std::function<void()>& body) {
    Cell* top = value_stack.top;
    Caught caught = trap_errors(body);
    value_stack.top = top;
    return caught.taken == kThrowError ? stand_in_last_error().id : ErrorId{};
  }
  // The same for one call of an action.
  template <class... Args>
  static ErrorId call_error(Act act, Refinements refinements, const Args&... args) {
    return error_of([&] { call(act, refinements, args...); });
  }
  template <class... Args>
  static ErrorId call_error(Act act, const Args&... args) {
    return call_error(act, Refinements{}, args...);
  }
};

}  // namespace qel::testing
