// trace.cpp: the tracing flags and the one call into the trace-event service.
#include "evaluator/trace.h"

#include <array>

#include "runtime/services.h"

namespace qel {

uint32_t trace_enabled = 0;
uint32_t trace_saved = 0;
uint32_t trace_callback_bits = 0;

void trace_fire(uint32_t event, const Cell& code, int64_t position, const Cell& ref, const Cell& value) {
  Cell at = make_cell(Type::integer, 0, static_cast<uint32_t>(static_cast<int32_t>(position)));
  const std::array<Cell, 4> cells{code, at, ref, value};
  services().trace_event(event, cells);
}

}  // namespace qel
