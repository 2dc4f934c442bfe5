// call-stack.h: call frames: one per active call, so that errors can name the caller, exits can
// find their target and the collector can mark what running calls use.
//
// A fixed array of frames outside series memory, never grown or moved. The current frame is the
// one just below the top. Openers and closers are a handful of stores each and never allocate.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/contexts.h"
#include "runtime/language-thread.h"
#include "runtime/quit.h"
#include "runtime/value-stack.h"

namespace qel {

inline constexpr uint32_t kCallStackFrames = 12000;

// Header bits 24-31 of each opener: the kind in bits 24-27, the function-body mark in bit 28 and
// the interpreter mark in bit 31.
enum FrameBits : uint32_t {
  kFrameCall = 0x01000000,            // a function call that keeps its context for recursion
  kFrameNative = 0x02000000,          // a native, action or routine call
  kFrameBody = 0x12000000,            // the body of a function: the target of exit and return
  kFrameTry = 0x04000000,             // error trapping
  kFrameTryAll = 0x05000000,          // error trapping that also stops every other exit
  kFrameCatch = 0x06000000,           // catch: the target of throw
  kFrameEval = 0x87000000,            // the interpreter evaluating a block
  kFrameLoop = 0x08000000,            // a loop: the target of break and continue
  kFrameInterpCall = 0x81000000,      // the interpreter calling a function
  kFrameInterpNative = 0x82000000,    // the interpreter calling a native, action or op
  kFrameKindMask = 0x0F000000,
  kFrameBodyMark = 0x10000000,
  kFrameInterpMark = 0x80000000,
};

// Frame kinds, as the kind bits hold them.
enum class FrameKind : uint32_t { call = 1, native = 2, try_ = 4, try_all = 5, catch_ = 6, eval = 7, loop = 8 };

struct CallFrame {
  uint32_t header;            // kind bits, body and interpreter marks; bits 0-23 zero
  uint32_t symbol;            // symbol id of the called word, a full 32-bit id
  uint32_t saved_base;        // the caller's value-stack base, as an index from begin
  NodeId word_context;        // the called word's context
  NodeId function_context;    // kind 1 only: the function's context, else 0
  uint32_t saved_values;      // kind 1 only: that context's values pointer at open, else 0
};

constexpr FrameKind frame_kind(const CallFrame& frame) {
  return static_cast<FrameKind>((frame.header & kFrameKindMask) >> 24);
}

struct CallStack {
  CallFrame* top;  // the next free frame
};

extern CallFrame call_stack_frames[kCallStackFrames];
extern CallStack call_stack;

inline CallFrame* call_stack_begin() { return call_stack_frames; }
inline CallFrame* call_stack_end() { return call_stack_frames + kCallStackFrames; }
inline bool call_stack_empty() { return call_stack.top == call_stack_frames; }
// The number of open frames: the call-stack position that marks and traces keep.
inline uint32_t call_stack_depth() { return static_cast<uint32_t>(call_stack.top - call_stack_frames); }
// The current frame, or null when none is open.
inline CallFrame* stack_current_frame() { return call_stack_empty() ? nullptr : call_stack.top - 1; }

// --- Function contexts ----------------------------------------------------------------------------

// Where a function context keeps its values pointer: the value-stack index of the running call's
// first argument + 1, or 0 when the function is not running. The accessor is the context layer's
// (context_values_word); tests may swap in their own and put it back with null.
using ContextValuesSlot = uint32_t* (*)(NodeId context);
void set_context_values_slot(ContextValuesSlot slot);
// The swapped-in accessor, or null for the context layer's own.
extern ContextValuesSlot context_values_override;
inline uint32_t* context_values_slot(NodeId context) {
  return context_values_override ? context_values_override(context) : context_values_word(context);
}

// The value-stack base that the frame made: the base of its own cells and result.
inline Cell* frame_own_base(const CallFrame* frame) {
  return frame + 1 == call_stack.top ? value_stack.base : stack_cell_at(frame[1].saved_base);
}

// --- Opening: each answers the new base, which is the value-stack top at the call ----------------

// The common worker: a frame named by (symbol, word context) with the given bits.
inline Cell* stack_open_frame(uint32_t symbol, NodeId word_context, uint32_t bits) {
  CallFrame* frame = call_stack.top;
  if (frame >= call_stack_end()) [[unlikely]] stack_overflow();
  check_stack_headroom();
  *frame = CallFrame{bits, symbol, stack_index(value_stack.base), word_context, 0, 0};
  call_stack.top = frame + 1;
  return value_stack.base = value_stack.top;
}
// The same, named by a word cell.
inline Cell* stack_open_frame(const Cell& word, uint32_t bits) { return stack_open_frame(word.w2, word.w1, bits); }

// Kind 1: saves the function context's values pointer so a recursive call cannot lose it.
inline Cell* stack_open_call_frame(const Cell& word, NodeId function_context, uint32_t bits = kFrameCall) {
  Cell* base = stack_open_frame(word, bits);
  if (function_context) {
    CallFrame& frame = call_stack.top[-1];
    frame.function_context = function_context;
    frame.saved_values = *context_values_slot(function_context);
  }
  return base;
}
Cell* stack_open_interp_call_frame(const Cell& word, NodeId function_context);
// Points the function context's values at the arguments just pushed, then opens a body frame.
Cell* stack_open_body_frame(const Cell& word, NodeId function_context);

inline Cell* stack_open_native_frame(const Cell& word) { return stack_open_frame(word, kFrameNative); }
inline Cell* stack_open_interp_native_frame(const Cell& word) { return stack_open_frame(word, kFrameInterpNative); }
inline Cell* stack_open_try_frame(const Cell& word) { return stack_open_frame(word, kFrameTry); }
inline Cell* stack_open_try_all_frame(const Cell& word) { return stack_open_frame(word, kFrameTryAll); }
inline Cell* stack_open_catch_frame(const Cell& word) { return stack_open_frame(word, kFrameCatch); }
inline Cell* stack_open_eval_frame(const Cell& word) { return stack_open_frame(word, kFrameEval); }
inline Cell* stack_open_loop_frame(const Cell& word) { return stack_open_frame(word, kFrameLoop); }

// --- Closing: the current frame leaves; "restore" puts back a kind-1 frame's context values -----

// Puts back the values pointer that a kind-1 frame saved, so the caller sees its own arguments.
inline void restore_frame_context(const CallFrame& frame) {
  if (frame_kind(frame) == FrameKind::call && frame.function_context)
    *context_values_slot(frame.function_context) = frame.saved_values;
}

// Takes the current frame off the call stack and answers it; closing with no frame is a caller bug.
inline CallFrame* stack_pop_frame() {
  if (call_stack_empty()) [[unlikely]] fatal_assertion();
  return --call_stack.top;
}

// Closes the current frame keeping its result cell; answers the closed frame's base.
inline Cell* stack_close_keeping_result(bool with_restore) {
  CallFrame* frame = stack_pop_frame();
  if (with_restore) restore_frame_context(*frame);
  Cell* closed_base = value_stack.base;
  value_stack.top = closed_base + 1;
  value_stack.base = stack_cell_at(frame->saved_base);
  return closed_base;
}

// Keeps the result cell; no restore.
inline void stack_close_frame() { stack_close_keeping_result(false); }
// Restore, then as stack_close_frame.
inline void stack_close_call_frame() { stack_close_keeping_result(true); }
// stack_close_frame, then the result into the caller's.
inline void stack_close_frame_copy() {
  Cell* closed_base = stack_close_keeping_result(false);
  *value_stack.base = *closed_base;
}
// stack_close_call_frame, then the same copy.
inline void stack_close_call_frame_copy() {
  Cell* closed_base = stack_close_keeping_result(true);
  *value_stack.base = *closed_base;
}
void stack_close_frame_reset();       // the caller's frame emptied; no restore
void stack_close_frame_empty();       // restore, then the caller's frame emptied
void stack_close_frame_drop();        // restore for kind 1; the closed frame's cells dropped

// --- Unwinding ----------------------------------------------------------------------------------

// Pops frames until one of the kind (or of kind 5, or the bottom) is current; that frame stays.
// Then top and base as follows: nothing popped: top = base + 1; no frame at all: both at begin;
// else top = the base on entry + 1 and base = the reached frame's own base (keep) or its saved
// base (not keep).
void stack_unwind_to_kind(FrameKind kind, bool keep);
// Unwinds without keep and moves the result of the frame current on entry into the reached
// frame's own base, which becomes the base, with top = base.
void stack_unwind_copy_result(FrameKind kind);
inline void stack_unwind_to_loop(bool keep) { stack_unwind_to_kind(FrameKind::loop, keep); }

// Pops frames down to the given depth, restoring each kind-1 frame.
inline void stack_pop_frames_to(uint32_t depth) {
  CallFrame* keep = call_stack_begin() + depth;
  while (call_stack.top > keep) restore_frame_context(*--call_stack.top);
}

// --- Header flags ---------------------------------------------------------------------------------

inline void stack_set_body_flag(bool on) {
  CallFrame* frame = stack_current_frame();
  if (!frame) return;
  if (on)
    frame->header |= kFrameBodyMark;
  else
    frame->header &= ~kFrameBodyMark;
}
void stack_mark_top_frame();
// A word! value names the frame: its symbol goes into the current frame, or into the frame
// current at a throw while the throw mark is set. Answers the value's type id.
Type stack_set_frame_word(const Cell& value);
// Walks down from the frame (null: the current one) and answers whether a frame with the
// interpreter mark is met; with only_one, only that first frame is tested.
bool stack_find_flagged_frame(const CallFrame* from, bool only_one);
// Sets the call-stack depth (the interpreter restores it after a tracer call).
void stack_set_frame_top(uint32_t depth);

// --- Names ----------------------------------------------------------------------------------------

// The ids of the words <body> and <anon> (frames of those names are not named in reports) and
// self (a frame of that name holds a block where others hold a context). The symbol table gives
// them once it exists.
void set_frame_symbols(uint32_t body_symbol, uint32_t anon_symbol, uint32_t self_symbol);
extern uint32_t frame_body_symbol;
extern uint32_t frame_anon_symbol;
inline uint32_t body_symbol() { return frame_body_symbol; }
inline uint32_t anon_symbol() { return frame_anon_symbol; }
bool frame_is_named(const CallFrame& frame);

// The throw mark: the depth of the call stack at the last throw (0 when unset).
uint32_t throw_mark();
void set_throw_mark(uint32_t depth);

// --- Collection and start-up ---------------------------------------------------------------------

// Marks what running calls use: each frame's word context (a block for a frame named self), its
// function context, and the saved values of a context that keeps them in a block.
void collector_mark_call_stack();

// Empties both stacks and the throw mark; registers both stacks as collector roots (once).
void init_stacks();

}  // namespace qel
