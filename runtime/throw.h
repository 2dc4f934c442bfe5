// throw.h: non-local exits. Codes travel as a returned Status, errors as one exception type.
#pragma once

#include <cstdint>
#include <exception>
#include <type_traits>
#include <utility>

namespace qel {

// Throw codes double as catch levels; a catch site takes every code c with level >= c (unsigned).
// Codes below kThrowUser (integer power overflow, page failures, the lexer's stop) are plain
// return values at their sites and never travel through here. Quit is no throw at all.
enum : uint32_t {
  kLevelRoot = 0xFFFFFFFF,      // the root catch: takes everything
  kThrowError = 0x7FFFFFFF,     // an error value is in flight
  kThrowBreak = 0x7FFFFFFE,     // also the level of loops
  kThrowContinue = 0x7FFFFFFD,
  kThrowReturn = 0x7FFFFFFC,    // also the level of function bodies
  kThrowExit = 0x7FFFFFFB,
  kThrowUser = 0x7FFFFFFA,      // the throw native; the level of catch
};

// The result of code that can run Qel code: 0 when it ended normally, else the throw code.
class [[nodiscard]] Status {
 public:
  constexpr Status() = default;
  constexpr explicit Status(uint32_t code) : code_(code) {}
  constexpr bool ok() const { return code_ == 0; }
  constexpr uint32_t code() const { return code_; }
  friend constexpr bool operator==(Status, Status) = default;

 private:
  uint32_t code_ = 0;
};

// Passes a non-zero Status of `expr` up to the caller.
#define QEL_TRY(expr)                            \
  do {                                           \
    if (::qel::Status qel_status_ = (expr); !qel_status_.ok()) return qel_status_; \
  } while (0)

// The one exception type: errors (kThrowError) and codes leaving code that cannot return a
// Status (a sort comparator, a change hook fired from a word set).
struct NonLocalExit {
  uint32_t code;
};

// Records the code as the one in flight and returns it as a Status.
Status exit_with(uint32_t code);

// Records the code as the one in flight and throws it.
[[noreturn]] void throw_code(uint32_t code);

// What a catch site did: `taken` is the code it took (0 when none); `passed` a Status it hands on.
struct Caught {
  uint32_t taken = 0;
  Status passed;
};

void note_thrown_code(uint32_t code);

// Runs `body` (returning Status or void) and takes any code at or below `level`, whichever
// carrier brought it. A code above the level goes on with its own carrier: a Status is passed
// back in `passed`, an exception is rethrown. The runtime record's thrown code stays current.
template <class Body>
Caught catch_site(uint32_t level, Body&& body) {
  Status status;
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Body>>)
      std::forward<Body>(body)();
    else
      status = std::forward<Body>(body)();
  } catch (const NonLocalExit& exit) {
    note_thrown_code(exit.code);
    if (level >= exit.code) return {exit.code, Status{}};
    throw;
  }
  if (status.ok()) return {};
  note_thrown_code(status.code());
  if (level >= status.code()) return {status.code(), Status{}};
  return {0, status};
}

// Runs `body` (answering void or a Status) for a caller that answers a Status: a break,
// continue, return, exit or throw that leaves it as the exception (out of code that answers no
// Status, such as a routine's) comes back as its Status. Errors, and Ctrl+C's halt above them,
// travel as the exception only and go on so.
template <class Body>
Status exits_as_status(Body&& body) {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Body>>) {
      std::forward<Body>(body)();
      return {};
    } else {
      return std::forward<Body>(body)();
    }
  } catch (const NonLocalExit& exit) {
    if (exit.code >= kThrowError) throw;
    return Status{exit.code};
  }
}

}  // namespace qel
