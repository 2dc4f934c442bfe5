// call-stack.cpp: opening, closing and unwinding call frames, and their header flags.
#include "runtime/call-stack.h"

#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/language-thread.h"
#include "runtime/quit.h"
#include "runtime/series-buffer.h"

namespace qel {

CallFrame call_stack_frames[kCallStackFrames];
CallStack call_stack{call_stack_frames};
uint32_t frame_body_symbol = 0;
uint32_t frame_anon_symbol = 0;

namespace {

uint32_t cached_self_symbol = 0;
uint32_t throw_mark_depth = 0;

// Closes the current frame and empties the caller's frame.
inline void close_emptying_caller(bool with_restore) {
  CallFrame* frame = stack_pop_frame();
  if (with_restore) restore_frame_context(*frame);
  value_stack.base = value_stack.top = stack_cell_at(frame->saved_base);
}

// Pops frames until one of the kind, of kind 5, or the bottom one is current; answers the own
// base of the frame reached and whether any frame was popped.
struct Reached {
  Cell* own_base;
  bool popped;
};
Reached unwind_frames(FrameKind kind) {
  CallFrame* frame = call_stack.top - 1;
  Cell* own_base = value_stack.base;
  bool popped = false;
  while (frame > call_stack_begin() && frame_kind(*frame) != kind && frame_kind(*frame) != FrameKind::try_all) {
    restore_frame_context(*frame);
    own_base = stack_cell_at(frame->saved_base);
    --frame;
    popped = true;
  }
  call_stack.top = frame + 1;
  return {own_base, popped};
}

}  // namespace

// --- Function contexts ----------------------------------------------------------------------------

ContextValuesSlot context_values_override = nullptr;

void set_context_values_slot(ContextValuesSlot slot) { context_values_override = slot; }

// --- Opening ----------------------------------------------------------------------------------------

Cell* stack_open_interp_call_frame(const Cell& word, NodeId function_context) {
  return stack_open_call_frame(word, function_context, kFrameInterpCall);
}

Cell* stack_open_body_frame(const Cell& word, NodeId function_context) {
  *context_values_slot(function_context) = stack_index(value_stack.base) + 1;
  return stack_open_frame(word, kFrameBody);
}

// --- Closing ----------------------------------------------------------------------------------------

void stack_close_frame_reset() { close_emptying_caller(false); }
void stack_close_frame_empty() { close_emptying_caller(true); }

void stack_close_frame_drop() {
  CallFrame* frame = stack_pop_frame();
  restore_frame_context(*frame);
  if (call_stack_empty()) {
    value_stack_reset();
    return;
  }
  value_stack.top = value_stack.base;
  value_stack.base = stack_cell_at(frame->saved_base);
}

// --- Unwinding --------------------------------------------------------------------------------------

void stack_unwind_to_kind(FrameKind kind, bool keep) {
  if (call_stack_empty()) {
    value_stack_reset();
    return;
  }
  Cell* entry_base = value_stack.base;
  Reached reached = unwind_frames(kind);
  value_stack.top = entry_base + 1;
  if (reached.popped) value_stack.base = keep ? reached.own_base : stack_cell_at(call_stack.top[-1].saved_base);
}

void stack_unwind_copy_result(FrameKind kind) {
  Cell result = *value_stack.base;
  Cell* own_base = call_stack_empty() ? stack_begin() : unwind_frames(kind).own_base;
  *own_base = result;
  value_stack.base = value_stack.top = own_base;
}

// --- Header flags -------------------------------------------------------------------------------------

void stack_mark_top_frame() {
  if (CallFrame* frame = stack_current_frame()) frame->header |= kFrameInterpMark;
}

Type stack_set_frame_word(const Cell& value) {
  CallFrame* frame = throw_mark_depth ? call_stack_frames + throw_mark_depth - 1 : stack_current_frame();
  if (cell_type(value) == Type::word && frame) frame->symbol = value.w2;
  return cell_type(value);
}

bool stack_find_flagged_frame(const CallFrame* from, bool only_one) {
  const CallFrame* frame = from ? from : stack_current_frame();
  for (; frame && frame >= call_stack_begin(); --frame) {
    if (frame->header & kFrameInterpMark) return true;
    if (only_one) return false;
  }
  return false;
}

void stack_set_frame_top(uint32_t depth) {
  if (depth > kCallStackFrames) fatal_assertion();
  call_stack.top = call_stack_frames + depth;
}

// --- Names ----------------------------------------------------------------------------------------

void set_frame_symbols(uint32_t body, uint32_t anon, uint32_t self) {
  frame_body_symbol = body;
  frame_anon_symbol = anon;
  cached_self_symbol = self;
}
bool frame_is_named(const CallFrame& frame) {
  return frame.symbol != frame_body_symbol && frame.symbol != frame_anon_symbol;
}

uint32_t throw_mark() { return throw_mark_depth; }
void set_throw_mark(uint32_t depth) { throw_mark_depth = depth; }

// --- Collection and start-up -------------------------------------------------------------------------

namespace {

// Whether a function context's values live in a block (its saved values pointer is that node).
bool context_values_in_block(NodeId context) {
  return node_is_in_use(context) && !(series_buffer(context)->head_cell()->header & kContextValuesOnStack);
}

// The stacks' part of every collection.
void mark_stacks() {
  collector_mark_cells(stack_begin(), value_stack.top);
  collector_mark_call_stack();
}

}  // namespace

void collector_mark_call_stack() {
  for (const CallFrame* frame = call_stack_begin(); frame < call_stack.top; ++frame) {
    if (frame->word_context) {
      if (frame->symbol == cached_self_symbol)
        collector_mark_block(frame->word_context);
      else
        collector_mark_context(frame->word_context);
    }
    if (frame->function_context) {
      collector_mark_context(frame->function_context);
      if (frame->saved_values && context_values_in_block(frame->function_context))
        collector_mark_block(frame->saved_values);
    }
  }
}

void init_stacks() {
  value_stack_reset();
  call_stack.top = call_stack_frames;
  throw_mark_depth = 0;
  static bool rooted = false;
  if (!rooted) collector_add_root(mark_stacks);
  rooted = true;
}

}  // namespace qel
