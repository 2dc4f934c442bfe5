// string-fixture.h: text values over a fresh heap for the string tests: making them from UTF-8
// or code points in a chosen unit, reading them back, and checking raised errors.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "runtime/exits.h"
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

}  // namespace qel
