// trace.h: the interpreter's tracing state and its firing sites' one entry.
//
// Every site tests `trace_enabled` before it builds anything, so evaluation without tracing pays
// one test per site. Events go to the trace-event service as four cells: the code (a block, paren
// or path value, none when there is none), the position in it (an integer! absolute index, -1
// when there is none), the ref (none for events without one) and the value.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/cell.h"

namespace qel {

// The event bits.
enum TraceEvent : uint32_t {
  kTraceInitEvent = 0x1,
  kTraceEndEvent = 0x2,
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
  kTraceErrorEvent = 0x1000,
  kTraceThrowEvent = 0x2000,
  kTraceCatchEvent = 0x4000,
  kTraceExprEvent = 0x8000,
};
// The mask of a tracer that names no events.
inline constexpr uint32_t kTraceAllEvents = 0x1FFFF;

// Non-zero while events are delivered; `trace_saved` is what a body flagged `trace` turns it
// back on to.
extern uint32_t trace_enabled;
extern uint32_t trace_saved;

// The callback bits whose bodies are traced (system/state/callbacks/bits; 0 until the system
// object exists).
extern uint32_t trace_callback_bits;

// The events the tracer asked for, and the local slots of its spec.
extern uint32_t trace_mask;
extern uint32_t trace_local_count;

// The tracer function (none when there is none): a root slot.
Cell& tracer_cell();

// The whole tracing state, as do/trace saves it and puts it back.
struct TraceState {
  uint32_t enabled;
  uint32_t saved;
  uint32_t mask;
  uint32_t local_count;
  Cell tracer;
};
TraceState trace_state();
void trace_state_restore(const TraceState& state);

// Installs a tracer: the cell, its mask and its local count; both flags on.
void trace_install(const Cell& tracer);

// tracer-fetch: the events a tracer's body filter names (its first value, when a block), by the
// events' words; every event without a filter.
uint32_t tracer_fetch(const Cell& tracer);

// Delivers one event through the trace-event service (the caller has tested trace_enabled);
// an event outside the tracer's mask goes no further.
void trace_fire(uint32_t event, const Cell& code, int64_t position, const Cell& ref, const Cell& value);

// The events fired without code: init and end (nothing else), throw and catch (the value).
void trace_fire_init();
void trace_fire_end();
void trace_fire_throw(const Cell& value);
void trace_fire_catch(const Cell& value);

// trace-event, the service: delivers an event of the four cells (code, absolute position, ref,
// value) or of one (an error's value) to the tracer when tracing is on and its mask has the
// bit. The tracer runs with tracing off, named <interp-callback>, its parameters filled by its
// own layout; the stack tops come back as they were when it returns. A tracer that throws
// leaves tracing off and the throw passes on to its catcher, which the unwinder has already
// brought the stacks back to.
void trace_event(uint32_t event, std::span<const Cell> cells);

}  // namespace qel
