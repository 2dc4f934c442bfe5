// trace.cpp: the tracing state, the tracer's event filter and the delivery of events.
#include "evaluator/trace.h"

#include <array>

#include "datatypes/scalars/coordinates.h"
#include "evaluator/argument-fetch.h"
#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "runtime/call-stack.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

uint32_t trace_enabled = 0;
uint32_t trace_saved = 0;
uint32_t trace_callback_bits = 0;
uint32_t trace_mask = 0;
uint32_t trace_local_count = 0;

namespace {

// The event words, bit k for the word at k.
constexpr const char* kEventNames[] = {"init",  "end",  "prolog", "epilog", "enter", "exit",  "open",  "return",
                                       "fetch", "push", "set",    "call",   "error", "throw", "catch", "expr"};

// The events whose ref reaches the tracer; the others pass none.
constexpr uint32_t kRefEvents = kTracePrologEvent | kTraceEpilogEvent | kTraceReturnEvent | kTraceSetEvent | kTraceCallEvent;

// The tracer's root slot, made anew for each root block.
uint32_t tracer_slot = 0;
uint32_t tracer_generation = 0;

// The event words and the name of the tracer's frame, made once for each root block (the
// symbols and the global context go with it): delivery interns nothing.
struct TraceWords {
  std::array<Cell, std::size(kEventNames)> events;
  Cell callback;
};
TraceWords trace_words;
uint32_t words_generation = 0;

const TraceWords& words() {
  if (words_generation != root_block_generation()) {
    for (size_t k = 0; k < std::size(kEventNames); ++k) trace_words.events[k] = word_from_c_string(kEventNames[k]);
    trace_words.callback = word_from_c_string("<interp-callback>");
    words_generation = root_block_generation();
  }
  return trace_words;
}

Cell event_word(uint32_t event) {
  for (size_t k = 0; k < std::size(kEventNames); ++k)
    if (event == 1u << k) return words().events[k];
  return make_cell(Type::none);
}

// The offset a tracer sees: the position counted from the code's head when it lies between
// head and tail, else -1.
int32_t offset_in(const Cell& code, int64_t position) {
  if (cell_type(code) == Type::none || position < 0) return -1;
  return position <= series_buffer_length(code.w2) ? static_cast<int32_t>(position) : -1;
}

}  // namespace

Cell& tracer_cell() {
  if (tracer_generation != root_block_generation()) {
    tracer_slot = root_slot_append(make_cell(Type::none));
    tracer_generation = root_block_generation();
  }
  return *root_slot(tracer_slot);
}

TraceState trace_state() { return {trace_enabled, trace_saved, trace_mask, trace_local_count, tracer_cell()}; }

void trace_state_restore(const TraceState& state) {
  trace_enabled = state.enabled;
  trace_saved = state.saved;
  trace_mask = state.mask;
  trace_local_count = state.local_count;
  tracer_cell() = state.tracer;
}

uint32_t tracer_fetch(const Cell& tracer) { return callback_filter_mask(tracer, kEventNames, kTraceAllEvents); }

void trace_install(const Cell& tracer) {
  trace_mask = tracer_fetch(tracer);
  trace_local_count = cell_type(tracer) == Type::function ? arg_description(tracer).local_count : 0;
  tracer_cell() = tracer;
  trace_enabled = trace_saved = 1;
}

void trace_fire(uint32_t event, const Cell& code, int64_t position, const Cell& ref, const Cell& value) {
  if (!(trace_mask & event)) return;  // the events the tracer did not ask for cost no more
  Cell at = make_cell(Type::integer, 0, static_cast<uint32_t>(static_cast<int32_t>(position)));
  const std::array<Cell, 4> cells{code, at, ref, value};
  services().trace_event(event, cells);
}

namespace {

void fire_without_code(uint32_t event, const Cell& value) {
  if (trace_enabled) trace_fire(event, make_cell(Type::none), -1, make_cell(Type::none), value);
}

}  // namespace

void trace_fire_init() { fire_without_code(kTraceInitEvent, make_cell(Type::none)); }
void trace_fire_end() { fire_without_code(kTraceEndEvent, make_cell(Type::none)); }
void trace_fire_throw(const Cell& value) { fire_without_code(kTraceThrowEvent, value); }
void trace_fire_catch(const Cell& value) { fire_without_code(kTraceCatchEvent, value); }

void trace_event(uint32_t event, std::span<const Cell> cells) {
  if (!trace_enabled || !(trace_mask & event)) return;
  const Cell tracer = tracer_cell();
  if (cell_type(tracer) != Type::function) return;
  const Cell none = make_cell(Type::none);
  const bool with_code = cells.size() == 4;
  Cell code = with_code ? cells[0] : none;
  const int32_t offset = with_code ? offset_in(code, payload_i32(cells[1], 2)) : -1;
  if (cell_type(code) != Type::none) code.w1 = 0;  // the tracer sees the code at its head
  const Cell& value = with_code ? cells[3] : cells[0];
  const Cell ref = with_code && (event & kRefEvents) ? cells[2] : none;
  Cell frame;
  pair_make_at(frame, static_cast<int32_t>(stack_index(value_stack.base)), static_cast<int32_t>(stack_index(value_stack.top)));
  const std::array<Cell, 6> arguments{event_word(event), code, make_cell(Type::integer, 0, static_cast<uint32_t>(offset)),
                                      value, ref, frame};
  // A throw out of the tracer finds the stacks already unwound to its catcher, so only a
  // normal return puts the tops back, and only then does tracing come back on.
  Cell* const top = value_stack.top;
  CallFrame* const frames = call_stack.top;
  // The cell at the top may already hold a value of the traced code (an infix call's left
  // operand waits there while `open` fires): the tracer's frame starts above it, which also
  // keeps it rooted.
  stack_push_cell();
  trace_enabled = 0;
  call_function_unchecked(tracer, arguments, words().callback, 0);
  value_stack.top = top;
  call_stack.top = frames;
  trace_enabled = 1;
}

}  // namespace qel
