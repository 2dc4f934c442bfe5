// lexer-scan.cpp: the scan loop: one token at a time, the extra delimiters of words, and the
// handlers each mode calls.
#include "loader/lexer/lexer-scan.h"

#include "datatypes/series/utf8-decode.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/lexer-nesting.h"
#include "loader/lexer/lexer-plain-walk.h"
#include "loader/lexer/lexer-tables.h"
#include "loader/lexer/lexer-trace.h"
#include "loader/lexer/lexer-walk.h"
#include "loader/lexer/token-handlers.h"
#include "runtime/error-raise.h"

namespace qel {

namespace {

constexpr int32_t kWordType = static_cast<int32_t>(Type::word);

// Token types whose final byte (a closing quote, brace, parenthesis, ">" or "%") belongs to
// them: the position moves past it before the handlers run. A file ends in its quote only when
// it was quoted.
constexpr bool kEndsWithFinalByte[kTokenTypes] = {
    false, false, false, false, false, false, false, false, false, false, true,  false,  // 0-11
    false, true,  false, false, false, false, true,  false, true,  true,  false, false,  // 12-23
    false, false, false, true,  false, false, true,  false, false, false, false, false,  // 24-35
};
constexpr uint8_t kQuotedFileState = 8;

// Token types that end at the byte that names them ([ ] ( ) { } #[ , and the slash after a
// path's first element): a token passed over without its handler passes over that byte too.
constexpr bool kNamedByItsDelimiter[kTokenTypes] = {
    false, false, true, true, true, true, true, true, true, true, false, false, true,
};

// The code points that end words and are skipped before them like blanks.
constexpr bool is_extra_delimiter(int32_t code_point) {
  return code_point == 0x85 || code_point == 0xA0 || code_point == 0x1680 ||
         (code_point >= 0x2000 && code_point <= 0x200B) || code_point == 0x2028 || code_point == 0x2029 ||
         code_point == 0x202F || code_point == 0x205F || code_point == 0x3000 || code_point == 0x180E;
}

enum class WordTrim : uint8_t { kept, dropped, invalid };

// Moves a word token's start past the extra delimiters before it and cuts it at the first one
// after its first other character (the scan goes on there).
WordTrim trim_word(LexerState& state, LexerToken& token) {
  const uint8_t* p = token.start;
  const uint8_t* const end = state.token_end;
  bool leading = true;
  while (p < end) {
    if (*p < 0x80) {
      leading = false;
      ++p;
      continue;
    }
    Utf8Char decoded = utf8_decode_char(p, end);
    if (decoded.code_point < 0) return WordTrim::invalid;
    if (is_extra_delimiter(decoded.code_point)) {
      if (!leading) {
        state.token_end = state.position = p;
        return WordTrim::kept;
      }
      token.start = decoded.next;
    } else {
      leading = false;
    }
    p = decoded.next;
  }
  return token.start == end ? WordTrim::dropped : WordTrim::kept;
}

// A token's own end: its closing byte consumed; a point literal's run ended.
void finish_token(LexerState& state, const LexerToken& token) {
  bool quoted_file = (token.type == kTokenFile) & (state.previous_state == kQuotedFileState);
  state.position = state.token_end + (kEndsWithFinalByte[token.type] | quoted_file);  // no branch on the type
  if (token.type == kTokenPoint) {
    state.start_state = lexer_innermost_is_path(state) ? kStartPathElement : kStartNormal;
    state.token_lines = state.point_lines;
  }
}

// The loader of a token with the load event after it.
LexStatus load_and_report(LexerState& state, uint8_t token, const uint8_t* start, const uint8_t* end,
                          uint32_t flags) {
  TokenHandler loader = token_handlers(token).loader;
  if (!loader) {
    if (state.load) raise_error(error_id("internal", "feature-na"));
    return LexStatus::ok;
  }
  uint64_t tail = state.tail;
  LexStatus status;
  try {
    status = loader(state, start, end, flags, true);
  } catch (...) {
    state.tail = tail;  // nor does a failed one: what a load keeps of an error holds only whole values
    throw;
  }
  if (status == LexStatus::stop) {
    state.tail = tail;  // an abandoned token leaves nothing behind
    return LexStatus::stop;
  }
  if (state.tracer && state.tail > tail &&
      !lexer_trace(state, LexerEvent::load, state.token_type, token, static_cast<int64_t>(state.tail - 1), start, end))
    state.tail = tail;
  return LexStatus::ok;
}

// Runs the handlers of one token as the mode asks; answers true when the scan must end.
bool handle_token(LexerState& state, const LexerToken& token, bool one, bool prescan) {
  const uint8_t t = token.type;
  const TokenHandlers& handlers = token_handlers(t);
  const uint8_t* start = token.start;
  const uint8_t* end = state.token_end;
  // Values are made when loading, and in the other modes only for a tracer that lets the
  // whole input through (no one else sees them).
  bool load_value = state.load || (!one && state.tracer);
  // Prescan: structural tokens open and close what they must, so that nesting is tracked.
  bool handled = false;
  if (prescan && t <= kTokenString) {
    if (handlers.scanner && handlers.scanner(state, start, end, token.flags, false) == LexStatus::stop) return true;
    handled = true;
  }
  bool go_on = !state.tracer ? !prescan
                             : token.began_in == kStartBraced ||
                                   lexer_trace(state, LexerEvent::prescan, state.token_type, t, -1, start, end);
  if (!go_on) {
    bool empty_error = t <= kTokenError && start == end;  // a failing first byte, or a NUL
    if ((kNamedByItsDelimiter[t] || empty_error) && end < state.input_end) state.position = end + 1;
    return false;
  }
  if (t < kTokenString) {
    if (handled || !handlers.scanner) return false;
    return handlers.scanner(state, start, end, token.flags, state.load) == LexStatus::stop && (prescan || !load_value);
  }
  // A value token: checked when nothing is loaded or a tracer watches (a loader checks what it
  // loads), then loaded when the mode and the tracer ask for it.
  if (!handled && (!state.load || (state.tracer && (handlers.scanner || lexer_wants(state, LexerEvent::scan))))) {
    bool passed = token_passes_unchecked(handlers, start, end, token.flags);
    if (!passed) {
      TokenHandler check = handlers.scanner ? handlers.scanner : handlers.loader;
      passed = !check || check(state, start, end, token.flags, false) == LexStatus::ok;
    }
    if (!passed && !state.tracer) return true;  // scan mode: the answer is error!
    if (passed) lexer_note_item(state, t == kTokenInteger || t == kTokenFloat || t == kTokenSpecialFloat ||
                                           t == kTokenHexInteger);
    if (!passed)
      load_value = false;
    else if (state.tracer)
      load_value = lexer_trace(state, LexerEvent::scan, state.token_type, t, -1, start, end);
  }
  if (load_value) (void)load_and_report(state, t, start, end, token.flags);
  return false;
}

// Token types a plain scan (no values, no tracer, no one-value or prescan end) may pass over
// straight to the next token when their flags and length settle their check: they end no
// nesting, need no path step and, being ASCII, no word trimming.
constexpr uint64_t kPlainScanTypes = (uint64_t{1} << kTokenString) | (uint64_t{1} << kTokenWord) |
                                     (uint64_t{1} << kTokenInteger) | (uint64_t{1} << kTokenFloat);

// True when a plain scan's token of `type` outside any path passes without its handlers: what
// handle_token would do for it is only its check, and that check passes unchecked; or it is a
// comment, whose handler does nothing without a tracer.
[[gnu::always_inline]] inline bool passes_plainly(uint8_t type, const uint8_t* start, const uint8_t* end,
                                                  uint32_t flags) {
  return type == kTokenComment || (((kPlainScanTypes >> type) & 1) && !(flags & kFlagNonAscii) &&
                                   token_passes_unchecked(token_handlers(type), start, end, flags));
}

// Walks a plain scan's tokens from the position in the normal start state, passing over those
// that pass plainly with position and line in locals (lines carried to the first token are
// dropped with it, as the scan loop drops them): first by the fast recogniser, else by the
// table walk. Block brackets that can neither fail nor start a path step are taken here as the
// scan loop would take them. Records the first other token in `token` and answers true; answers
// false when the input ended at a token passed or taken, recorded as the scan loop records it.
bool walk_past_plain_tokens(LexerState& state, LexerToken& token, int64_t& carried_lines) {
  const uint8_t* p = state.position;
  const uint8_t* const end = state.input_end;
  int64_t line = state.line;
  int32_t last_type = state.last_type;
  for (;;) {
    PlainWalk fast = lexer_plain_walk(p, end, line);
    if (fast.type != kNotPlain) {
      carried_lines = 0;
      last_type = state_type(kFirstFinalState + fast.type);
      p = fast.next;  // a byte follows the token: p < end
      line = fast.line;
      continue;
    }
    LexerWalk walk = fast.alone ? LexerWalk{fast.start, fast.start, 0, fast.alone, kStartNormal, fast.line}
                                : lexer_walk(p, end, kStartNormal, line);
    uint8_t type = static_cast<uint8_t>(walk.final_state - kFirstFinalState);
    if (!passes_plainly(type, walk.start, walk.end, walk.flags & kCharFlagMask)) {
      state.last_type = last_type;
      token = lexer_record_token(state, walk, line, kStartNormal);
      if (type != kTokenOpenBlock && type != kTokenCloseBlock) return true;
      state.token_lines += carried_lines;  // as the scan loop adds them, before a marker takes them
      carried_lines = 0;
      if (!lexer_plain_block_bracket(state, walk.start, type == kTokenOpenBlock)) return true;
      last_type = state.last_type = state.token_type;  // the bracket taken as the scan loop takes it
      p = state.position;
      if (p >= end) return false;
      line = state.line;
      continue;
    }
    carried_lines = 0;
    last_type = state_type(walk.final_state);
    p = walk.end + kEndsWithFinalByte[type];
    if (p >= end) {
      (void)lexer_record_token(state, walk, line, kStartNormal);
      state.position = p;
      state.last_type = last_type;
      return false;
    }
    line = walk.line;
  }
}

// The one-value condition: the first complete value is there.
bool one_value_made(const LexerState& state) {
  uint64_t made = state.tail - state.base;
  return made == 0 || (made == 1 && !is_open_marker(lexer_cell(state.base)));
}

}  // namespace

LexStatus lexer_load_token(LexerState& state, uint8_t token, const uint8_t* start, const uint8_t* end,
                           uint32_t flags) {
  if (!lexer_trace(state, LexerEvent::scan, state.token_type, token, -1, start, end)) return LexStatus::ok;
  return load_and_report(state, token, start, end, flags);
}

ScanEnd lexer_scan(LexerState& state, bool one, bool prescan) {
  int64_t carried_lines = 0;  // lines before a token that turned out to be only extra delimiters
  const bool plain = !state.load && !state.tracer && !one && !prescan;
  do {
    LexerToken token;
    if (plain && state.start_state == kStartNormal && !lexer_innermost_is_paren(state)) {  // the commonest tokens
      if (!walk_past_plain_tokens(state, token, carried_lines)) return ScanEnd::input;
    } else {
      token = lexer_walk_token(state);
    }
    state.token_lines += carried_lines;
    carried_lines = 0;
    if ((token.flags & kFlagNonAscii) && token.type == kTokenWord) {
      WordTrim trim = trim_word(state, token);
      if (trim == WordTrim::dropped) {
        carried_lines = state.token_lines;
        if (state.position < state.input_end) continue;
        token.type = kTokenEnd;
        state.token_type = 0;
      } else if (trim == WordTrim::invalid) {
        if (lexer_syntax_error(state, token.start, state.token_end, kWordType) == LexStatus::stop && !state.load)
          return ScanEnd::stop;
        continue;  // a tracer declined the error: the scan goes on after the token
      }
    }
    finish_token(state, token);
    if (handle_token(state, token, one, prescan)) return ScanEnd::stop;
    if (state.start_state == kStartPathElement && token.type != kTokenPathStart && token.type != kTokenError) {
      if (lexer_path_step(state) == LexStatus::stop && !state.load) return ScanEnd::stop;
    }
    if ((one || prescan) && state.token_type > 0 && state.start_state != kStartPathElement &&
        state.start_state != kStartBraced && token.type != kTokenPathStart && one_value_made(state))
      return ScanEnd::one_value;
    state.last_type = state.token_type;
  } while (state.position < state.input_end);
  return ScanEnd::input;
}

}  // namespace qel
