// error-raise.cpp: the one way runtime code raises a language error.
#include "runtime/error-raise.h"

#include "runtime/exits.h"
#include "runtime/runtime-record.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr uint32_t kTraceErrorEvent = 0x1000;

}  // namespace

void raise_error_cells(ErrorId id, std::span<const Cell> args) {
  Cell* held = stack_push_value(services().error_build(id, args));  // rooted while the tracer runs
  uint32_t thrown = runtime.thrown_code;
  runtime.thrown_code = 0;
  services().trace_event(kTraceErrorEvent, {held, 1});
  runtime.thrown_code = thrown;
  Cell error = *held;
  value_stack.top = held;
  throw_error_value(error);
}

}  // namespace qel
