// lexer-trace.cpp: reporting scan events to a tracer, and the input positions it sees.
#include "loader/lexer/lexer-trace.h"

#include <algorithm>

#include "loader/lexer/lexer-nesting.h"
#include "runtime/type-ids.h"

namespace qel {

namespace {

constexpr int32_t kErrorType = static_cast<int32_t>(Type::error);
constexpr int32_t kPoint2dType = static_cast<int32_t>(Type::point2d);
constexpr int32_t kPoint3dType = static_cast<int32_t>(Type::point3d);

// True for the bytes that continue a UTF-8 sequence. The input of a string! is UTF-8 this scan
// made from code points, so every other byte starts one character.
constexpr bool is_continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

bool input_counts_characters(const LexerState& state) {
  Type type = cell_type(state.input);
  return type != Type::binary && type != Type::none && type != Type::none_id;
}

// Characters in [from, to).
int64_t count_characters(const uint8_t* from, const uint8_t* to) {
  return std::count_if(from, to, [](uint8_t byte) { return !is_continuation(byte); });
}

}  // namespace

int64_t lexer_input_offset(LexerState& state, const uint8_t* at) {
  int64_t bytes = at - state.input_start;
  if (!input_counts_characters(state)) return bytes;
  const uint8_t* cached = state.input_start + state.cached_byte;
  state.cached_char += at >= cached ? count_characters(cached, at) : -count_characters(at, cached);
  state.cached_byte = bytes;
  return state.cached_char;
}

const uint8_t* lexer_input_address(LexerState& state, int64_t offset) {
  if (offset <= 0) return state.input_start;
  if (!input_counts_characters(state)) {
    return offset >= state.input_end - state.input_start ? state.input_end : state.input_start + offset;
  }
  // Walk from the cached pair, a character at a time, in the offset's direction.
  const uint8_t* at = state.input_start + state.cached_byte;
  int64_t characters = state.cached_char;
  while (characters < offset && at < state.input_end) {
    do ++at;
    while (at < state.input_end && is_continuation(*at));
    ++characters;
  }
  while (characters > offset) {
    do --at;
    while (at > state.input_start && is_continuation(*at));
    --characters;
  }
  state.cached_byte = at - state.input_start;
  state.cached_char = characters;
  return at;
}

bool lexer_trace_call(LexerState& state, LexerEvent event, int32_t type, uint8_t token, int64_t value,
                      const uint8_t* start, const uint8_t* end) {
  // The event's own shape: an error token's scan is an error; a point spans its parentheses.
  if (event == LexerEvent::scan && token == kTokenError) {
    event = LexerEvent::error;
    type = kErrorType;
  }
  if (!lexer_wants(state, event)) return true;
  bool point = type == kPoint2dType || type == kPoint3dType;
  if (event == LexerEvent::scan && point && start > state.input_start) --start;
  if (event == LexerEvent::prescan) {
    if (token == kTokenOpenParen && state.start_state != kStartPoint &&
        point_lookahead(state.position + 1, state.input_end))
      return true;
    if (type == kErrorType && state.start_state == kStartBraced && state.brace_start) start = state.brace_start;
    if (point) {
      if (start > state.input_start) --start;
      if (end < state.input_end) ++end;
    }
  }
  bool at_start = event == LexerEvent::open || (event == LexerEvent::prescan && type == 0);
  LexerTraceCall call{};
  call.event = event;
  call.type = type;
  call.token_type = token;
  call.line = state.line;
  call.index = lexer_input_offset(state, at_start ? start : end);
  int64_t asked = call.index;
  if (value >= 0) {
    call.has_value = true;
    call.value = lexer_cell(static_cast<uint64_t>(value));
  } else {
    call.start = lexer_input_offset(state, start) + 1;
    call.end = lexer_input_offset(state, end) + 1;
  }
  bool verdict = state.tracer->call(*state.tracer, call);
  if (call.index != asked) state.position = lexer_input_address(state, call.index);
  return verdict;
}

}  // namespace qel
