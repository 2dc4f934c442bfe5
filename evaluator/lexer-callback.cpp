// lexer-callback.cpp: calling a user's tracer for the lexer's events.
#include "evaluator/lexer-callback.h"

#include <array>

#include "datatypes/scalars/truth.h"
#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "evaluator/library-values.h"
#include "runtime/callback-bits.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The event words by event, in the order of the mask bits.
constexpr const char* kEventNames[] = {"prescan", "scan", "load", "open", "close", "error"};

// The 1-based entry of system/lexer/exit-states that names a token type: the list has no
// entries for the comma and point tokens.
uint32_t exit_state_entry(int32_t token) {
  if (token <= kTokenComment) return static_cast<uint32_t>(token) + 1;
  return static_cast<uint32_t>(token < kTokenPoint ? token : token - 1);
}

// The type argument: a datatype!; for a token without one the word comma, or the token's entry
// of system/lexer/exit-states (none when that is not a block or has no such entry).
Cell type_argument(const LexerTraceCall& call) {
  if (call.type > 0) return datatype_cell(static_cast<Type>(call.type));
  if (call.token_type == kTokenComma) return word_from_c_string("comma");
  const Cell states = system_field({"lexer", "exit-states"});
  const uint32_t entry = exit_state_entry(call.token_type);
  if (cell_type(states) != Type::block || states.w1 + entry > series_buffer_length(states.w2))
    return make_cell(Type::none);
  return series_buffer(states.w2)->head_cell()[states.w1 + entry - 1];
}

bool trace_callback(const LexerTracer& tracer, LexerTraceCall& call) {
  const Cell input = lexer_innermost()->input;  // the running scan's input, from its index
  Cell at = input;
  at.w1 = static_cast<uint32_t>(input.w1 + call.index);
  std::array<Cell, 5> arguments{
      word_from_c_string(kEventNames[static_cast<uint8_t>(call.event)]),
      at,
      type_argument(call),
      make_cell(Type::integer, 0, static_cast<uint32_t>(call.line)),
      call.has_value ? call.value
                     : make_cell(Type::pair, 0, static_cast<uint32_t>(call.start), static_cast<uint32_t>(call.end)),
  };
  Cell answer = call_function_updating(tracer.function, arguments, kLexerCallback);
  const Cell& moved = arguments[1];
  if (cell_type(moved) == cell_type(input) && moved.w2 == input.w2 && moved.w1 != at.w1)
    call.index = static_cast<int64_t>(moved.w1) - input.w1;
  return cell_truthy(answer);
}

}  // namespace

uint32_t lexer_callback_mask(const Cell& callback) {
  return callback_filter_mask(callback, kEventNames, kAllLexerEvents);
}

LexerTracer lexer_callback_tracer(const Cell& callback) {
  LexerTracer tracer;
  tracer.call = trace_callback;
  tracer.function = callback;
  tracer.mask = lexer_callback_mask(callback);
  return tracer;
}

}  // namespace qel
