// trace.h: the interpreter's tracing state and its firing sites' one entry.
//
// Every site tests `trace_enabled` before it builds anything, so evaluation without tracing pays
// one test per site. Events go to the trace-event service as four cells: the code (a block, paren
// or path value, none when there is none), the position in it (an integer! absolute index, -1
// when there is none), the ref (none for events without one) and the value.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// The event bits.
enum TraceEvent : uint32_t {
  kTracePrologEvent = 0x4,
  kTraceEpilogEvent = 0x8,
  kTraceEnterEvent = 0x10,
  kTraceExitEvent = 0x20,
  kTraceOpenEvent = 0x40,
  kTraceReturnEvent = 0x80,
  kTraceFetchEvent = 0x100,
  kTracePushEvent = 0x200,
  kTraceSetEvent = 0x400,
  kTraceCallEvent = 0x800,
  kTraceExprEvent = 0x8000,
};

// Non-zero while events are delivered; `trace_saved` is what a body flagged `trace` turns it
// back on to.
extern uint32_t trace_enabled;
extern uint32_t trace_saved;

// The callback bits whose bodies are traced (system/state/callbacks/bits; 0 until the system
// object exists).
extern uint32_t trace_callback_bits;

// Delivers one event through the trace-event service (the caller has tested trace_enabled).
void trace_fire(uint32_t event, const Cell& code, int64_t position, const Cell& ref, const Cell& value);

}  // namespace qel
