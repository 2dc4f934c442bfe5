// call-trace.h: the calls on the call stack as words: the blocks and text that error values and
// the collect-calls routine make of them.
//
// Frames named <body> or <anon> are never listed. An error keeps the call-stack depth at which
// it was raised (its stack mark); the frames up to that depth are read later, after the error
// has unwound them, so they are read as they were left in the frame array.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// What the trace needs from the context layer, which installs it: whether a word refers to a
// function! value, and the global context. Until then no word refers to anything and words of
// frames without a function context are bound to no context.
void set_call_trace_context(bool (*holds_function)(const Cell& word), NodeId global_context);

// Appends to the block a word for each frame from the bottom up to the depth `end` (exclusive):
// with mode 1 (or less) only frames whose word refers to a function!, above 1 every named frame.
void stack_collect_calls(int32_t mode, const Cell& block, uint32_t end);

// Appends to the block, for each frame from the current one down to the one just above the
// bottom: its word (bound to the frame's function context when it has one, else to the global
// context) and an integer!, the value-stack position of the frame's saved base.
void stack_trace_block(const Cell& block);

// Forms the words that stack_collect_calls selects into the output string, each after a space,
// within the limit; the program's own name " Qel NoName App" when no frame is selected. Answers
// the limit less what was written.
int32_t stack_form_calls(int32_t mode, uint32_t end, Cell& output, int32_t limit);

inline constexpr const char* kUnnamedProgramTrace = " Qel NoName App";

}  // namespace qel
