// text-fixtures.h: what the text layer's tests share: byte and code point lists, unit texts
// over vectors, reading back units written by a loader, and the invalid-char check.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "datatypes/series/string-unit.h"
#include "runtime/exits.h"
#include "runtime/services.h"
#include "runtime/throw.h"

namespace qel {

using Bytes = std::vector<uint8_t>;
using CodePoints = std::vector<uint32_t>;

// A vector of units seen as text.
template <class U>
UnitText text_of(const std::vector<U>& units) {
  return {reinterpret_cast<const uint8_t*>(units.data()), units.size(), sizeof(U)};
}

// Runs `write` on room for `count` units of `unit` bytes plus a guard byte, checks that the
// guard is untouched and answers the code points written.
template <class Write>
CodePoints written_code_points(size_t count, unsigned unit, Write&& write) {
  Bytes out(count * unit + 1, 0xEE);
  write(out.data());
  EXPECT_EQ(out.back(), 0xEE) << "wrote past its units";
  CodePoints code_points;
  for (size_t i = 0; i < count; ++i) code_points.push_back(code_point_read(&out[i * unit], unit));
  return code_points;
}

// Expects `body` to raise script invalid-char with the code point as its argument.
template <class Body>
void expect_invalid_char(Body&& body, uint32_t code_point) {
  if (trap_errors(body).taken != kThrowError) {
    ADD_FAILURE() << "no error";
  } else {
    stack_drop(1);
    const StandInError& error = stand_in_last_error();
    EXPECT_EQ(error.id, error_id("script", "invalid-char"));
    ASSERT_EQ(error.arg_count, 1u);
    EXPECT_EQ(cell_type(error.args[0]), Type::integer);
    EXPECT_EQ(error.args[0].w2, code_point);
  }
}

}  // namespace qel
