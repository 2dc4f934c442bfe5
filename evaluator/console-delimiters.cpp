// console-delimiters.cpp: the lexer tracer of the console's delimiter check.
#include "evaluator/console-delimiters.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "loader/lexer/lexer.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/type-ids.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

enum class Verdict : uint8_t { going, unfinished, wrong };

struct CheckState {
  std::string_view text;
  std::string open;
  Verdict verdict = Verdict::going;
};

// The character a construct of the type opens with; 0 for a type that opens nothing.
char opening_of(int32_t type) {
  static constexpr struct {
    Type type;
    char opening;
  } kOpenings[] = {{Type::block, '['},  {Type::paren, '('},    {Type::string, '{'},   {Type::map, '('},
                   {Type::point2d, '('}, {Type::point3d, '('}, {Type::path, '/'},     {Type::lit_path, '/'},
                   {Type::get_path, '/'}, {Type::set_path, '/'}};
  for (const auto& entry : kOpenings)
    if (static_cast<int32_t>(entry.type) == type) return entry.opening;
  return 0;
}

bool is_type(int32_t type, Type expected) { return type == static_cast<int32_t>(expected); }

char last_open(const CheckState& state) { return state.open.empty() ? 0 : state.open.back(); }

// The run of `c` starting at `from` (forward) or ending just before it (backward).
size_t run_of(std::string_view text, size_t from, char c, bool backward) {
  size_t count = 0;
  if (backward)
    while (from > count && text[from - count - 1] == c) ++count;
  else
    while (from + count < text.size() && text[from + count] == c) ++count;
  return count;
}

// Whether a raw string opened at `start` is still open: more percent signs open it than end
// the text (before its final line end).
bool raw_string_open(std::string_view text, size_t start) {
  size_t before_line_end = text.empty() ? 0 : text.size() - 1;
  return run_of(text, start, '%', false) > run_of(text, before_line_end, '%', true);
}

// What an error event means: unfinished input (possibly with one more opening character), or
// a real error.
Verdict judge_error(CheckState& state, const LexerTraceCall& call) {
  const int32_t type = call.type;
  const std::string_view text = state.text;
  const size_t at = static_cast<size_t>(std::clamp<int64_t>(call.index, 0, static_cast<int64_t>(text.size())));
  const size_t start = static_cast<size_t>(std::clamp<int64_t>(call.start - 1, 0, static_cast<int64_t>(text.size())));
  if (is_type(type, Type::error)) return Verdict::wrong;
  bool enclosing = is_type(type, Type::block) || is_type(type, Type::paren) || is_type(type, Type::map) ||
                   is_type(type, Type::point2d) || is_type(type, Type::point3d);
  if (enclosing && opening_of(type) == last_open(state) && text.find_first_of(")]", at) == std::string_view::npos)
    return Verdict::unfinished;
  if (is_type(type, Type::paren) && state.open.size() >= 2 && state.open[state.open.size() - 2] == '/') {
    state.open.erase(state.open.size() - 2, 1);
    return Verdict::unfinished;
  }
  if (is_type(type, Type::tag)) {
    state.open += '<';
    return Verdict::unfinished;
  }
  if (is_type(type, Type::binary) && !(text.size() >= 2 && text[text.size() - 2] == '}')) {
    state.open += '{';
    return Verdict::unfinished;
  }
  if (is_type(type, Type::string)) {
    if (start < text.size() && text[start] == '%') {
      if (!raw_string_open(text, start)) return Verdict::wrong;
      state.open += '{';
      return Verdict::unfinished;
    }
    if (last_open(state) == '{') return Verdict::unfinished;
  }
  return Verdict::wrong;
}

// The tracer: follows openings and closings; the first error decides, and the scan then runs
// to the end of the input without further say.
bool delimiter_event(const LexerTracer& tracer, LexerTraceCall& call) {
  CheckState& state = *static_cast<CheckState*>(tracer.context);
  if (state.verdict == Verdict::going) {
    switch (call.event) {
      case LexerEvent::open: state.open += opening_of(call.type); return true;
      case LexerEvent::close:
        if (state.open.empty() || opening_of(call.type) != state.open.back()) {
          state.verdict = Verdict::wrong;
          break;
        }
        state.open.pop_back();
        return true;
      default: state.verdict = judge_error(state, call); break;
    }
  }
  call.index = std::numeric_limits<int64_t>::max();
  return false;
}

}  // namespace

DelimiterCheck check_delimiters(std::string_view text) {
  CheckState state;
  state.text = text;
  LexerTracer tracer;
  tracer.call = delimiter_event;
  tracer.mask = lexer_event_bit(LexerEvent::open) | lexer_event_bit(LexerEvent::close) |
                lexer_event_bit(LexerEvent::error);
  tracer.context = &state;
  LexerRequest request;
  request.tracer = &tracer;
  Cell* top = value_stack.top;
  GcRoot<Cell> out;
  Caught caught = trap_errors(
      [&] { lexer_transcode(*out, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, request); });
  value_stack.top = top;
  // An error the scan raised itself (no tracer said anything) is for the load to report.
  if (caught.taken) return {false, {}};
  return {state.verdict != Verdict::wrong, state.open};
}

}  // namespace qel
