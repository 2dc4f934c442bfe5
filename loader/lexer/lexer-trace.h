// lexer-trace.h: the tracer protocol of the lexer: events a tracer watches, vetoes and
// redirects, and the positions it sees.
//
// The engine reports through a LexerTracer: a C++ entry with the tracer value it stands for.
// The transcode native's entry turns each call into a call of the user's function! or routine!
// (event word, input at the position, type, line, token); tests install C++ tracers directly.
#pragma once

#include <cstdint>

#include "loader/lexer/lexer-state.h"
#include "runtime/cell.h"

namespace qel {

enum class LexerEvent : uint8_t { prescan, scan, load, open, close, error };

// The mask bit of an event (prescan 1, scan 2, load 4, open 8, close 16, error 32).
constexpr uint32_t lexer_event_bit(LexerEvent event) { return 1u << static_cast<uint8_t>(event); }
inline constexpr uint32_t kAllLexerEvents = 63;

// One call of the tracer.
struct LexerTraceCall {
  LexerEvent event;
  int32_t type;        // datatype id; 0 when the token has none
  int32_t token_type;  // the token type (0-35): names a token without a datatype
  int64_t line;
  // The input position the event is at, counted from where the input begins (characters of a
  // string!, bytes of a binary! or plain bytes). A tracer that changes it moves the scan there.
  int64_t index;
  bool has_value;  // load events: the value made
  Cell value;
  int64_t start;  // other events: the token's 1-based start and end offsets
  int64_t end;
};

struct LexerTracer {
  // Answers the truth of the tracer's answer; may change call.index.
  bool (*call)(const LexerTracer& tracer, LexerTraceCall& call);
  Cell function{};  // the user's tracer value, kept alive while a scan uses it
  uint32_t mask = kAllLexerEvents;  // the events it wants
  void* context = nullptr;          // for the entry's own use
};

// True when the record has a tracer that wants the event.
inline bool lexer_wants(const LexerState& state, LexerEvent event) {
  return state.tracer && (state.tracer->mask & lexer_event_bit(event));
}

// Reports an event of a token (type: its datatype id; token: its token type) spanning
// [start, end) to the record's tracer and answers the verdict (true when the event is not
// wanted). `value` is the cell index of a load event's value, -1 otherwise. When the tracer
// moved the index, the scan position follows, clamped to the input.
bool lexer_trace_call(LexerState& state, LexerEvent event, int32_t type, uint8_t token, int64_t value,
                      const uint8_t* start, const uint8_t* end);
inline bool lexer_trace(LexerState& state, LexerEvent event, int32_t type, uint8_t token, int64_t value,
                        const uint8_t* start, const uint8_t* end) {
  return !state.tracer || lexer_trace_call(state, event, type, token, value, start, end);
}

// The offset of a byte address from the input start: characters for a string! input (counted
// from the last conversion, so successive ones cost the distance between them), else bytes.
int64_t lexer_input_offset(LexerState& state, const uint8_t* at);

// The byte address of an offset, clamped to the input.
const uint8_t* lexer_input_address(LexerState& state, int64_t offset);

}  // namespace qel
