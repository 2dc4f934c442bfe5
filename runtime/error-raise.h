// error-raise.h: raising a language error by catalog category and id.
#pragma once

#include <span>

#include "runtime/cell.h"
#include "runtime/error-catalog.h"

namespace qel {

// Builds the error through the error_build service, reports it to the tracer and raises it
// (throw_error_value); never returns.
[[noreturn]] void raise_error_cells(ErrorId id, std::span<const Cell> args);

template <class... Args>
[[noreturn]] void raise_error(ErrorId id, const Args&... args) {
  static_assert(sizeof...(Args) <= 3, "an error takes at most three arguments");
  if constexpr (sizeof...(Args) == 0) {
    raise_error_cells(id, {});
  } else {
    const Cell cells[] = {args...};
    raise_error_cells(id, cells);
  }
}

// script invalid-arg naming the value: the refusal of an argument the callee cannot take.
[[noreturn]] inline void raise_invalid_arg(const Cell& value) { raise_error(error_id("script", "invalid-arg"), value); }

}  // namespace qel
