// call-trace.cpp: the words of the calls on the call stack, as blocks and as text.
#include "runtime/call-trace.h"

#include <string_view>

#include "datatypes/series/string-unit.h"
#include "runtime/action-lookup.h"
#include "runtime/call-stack.h"
#include "runtime/series.h"

namespace qel {

namespace {

bool refers_to_nothing(const Cell&) { return false; }

bool (*word_holds_function)(const Cell& word) = refers_to_nothing;
NodeId trace_global_context = 0;

constexpr uint32_t kUnresolvedIndex = 0xFFFFFFFF;

Cell frame_word(const CallFrame& frame, NodeId context) {
  return make_cell(Type::word, context, frame.symbol, kUnresolvedIndex);
}

// Calls `visit` with the word of each frame from the bottom up to `end` that the mode selects.
template <class Visit>
void walk_calls(int32_t mode, uint32_t end, Visit&& visit) {
  if (end > kCallStackFrames) end = kCallStackFrames;
  for (uint32_t i = 0; i < end; ++i) {
    const CallFrame& frame = call_stack_frames[i];
    if (!frame_is_named(frame)) continue;
    Cell word = frame_word(frame, frame.word_context);
    if (mode <= 1 && !word_holds_function(word)) continue;
    visit(word);
  }
}

}  // namespace

void set_call_trace_context(bool (*holds_function)(const Cell& word), NodeId context) {
  word_holds_function = holds_function ? holds_function : refers_to_nothing;
  trace_global_context = context;
}

void stack_collect_calls(int32_t mode, const Cell& block, uint32_t end) {
  walk_calls(mode, end, [&](const Cell& word) { *block_append_fresh_slot(block) = word; });
}

void stack_trace_block(const Cell& block) {
  for (const CallFrame* frame = call_stack.top - 1; frame > call_stack_begin(); --frame) {
    if (!frame_is_named(*frame)) continue;
    NodeId context = frame->function_context ? frame->function_context : trace_global_context;
    *block_append_fresh_slot(block) = frame_word(*frame, context);
    *block_append_fresh_slot(block) = make_cell(Type::integer, 0, frame->saved_base);
  }
}

int32_t stack_form_calls(int32_t mode, uint32_t end, Cell& output, int32_t limit) {
  bool any = false;
  walk_calls(mode, end, [&](const Cell& word) {
    any = true;
    if (limit < 1) return;
    series_append_ascii(output.w2, " ");
    if (--limit < 1) return;
    limit = lookup_action_for_value<Act::Form>(word)(word, output, true, limit);
  });
  if (!any && limit >= 1) {
    std::string_view name = kUnnamedProgramTrace;
    if (name.size() > static_cast<size_t>(limit)) name = name.substr(0, static_cast<size_t>(limit));
    series_append_ascii(output.w2, name);
    limit -= static_cast<int32_t>(name.size());
  }
  return limit;
}

}  // namespace qel
