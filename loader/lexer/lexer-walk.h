// lexer-walk.h: the automaton's walk over one token, the lexer's innermost loop.
#pragma once

#include <cstdint>

#include "loader/lexer/lexer-state.h"
#include "loader/lexer/lexer-tables.h"

namespace qel {

inline constexpr uint8_t kNulClass = static_cast<uint8_t>(CharClass::nul);
inline constexpr uint8_t kNewlineClass = static_cast<uint8_t>(CharClass::newline);

// Every state's nul column ends the token at once, so a NUL byte is always the delimiter of the
// token that meets it (or the end token, or the error token) and never part of a token.
consteval bool nul_ends_every_token() {
  for (uint8_t state = 0; state < kLexerStates; ++state)
    if (!is_final_state(next_state(state, CharClass::nul))) return false;
  return true;
}
static_assert(nul_ends_every_token());

// Only state 0 leads back to state 0, so the bytes passed over there are all before the token.
consteval bool only_start_returns_to_start() {
  for (uint8_t state = 1; state < kLexerStates; ++state)
    for (uint8_t c = 0; c < kCharClasses; ++c)
      if (kTransitionTable[state][c] == 0) return false;
  return true;
}
static_assert(only_start_returns_to_start());

// True when the byte's class entry is in `stay`; ORs the entry into `flags` when it is.
[[gnu::always_inline]] inline bool lexer_stays(uint8_t byte, uint64_t stay, uint32_t& flags) {
  uint32_t entry = kCharClassTable[byte];
  if (!((stay >> (entry & 0xFF)) & 1)) return false;
  flags |= entry;
  return true;
}

// Passes over the run of bytes from `p` whose classes are in `stay`, ORing their class entries
// into `flags`; answers the first byte past the run. Four bytes share one bounds check while
// four are readable.
[[gnu::always_inline]] inline const uint8_t* lexer_pass_run(const uint8_t* p, const uint8_t* end, uint64_t stay,
                                                            uint32_t& flags) {
  for (; end - p >= 4; p += 4) {
    if (!lexer_stays(p[0], stay, flags)) return p;
    if (!lexer_stays(p[1], stay, flags)) return p + 1;
    if (!lexer_stays(p[2], stay, flags)) return p + 2;
    if (!lexer_stays(p[3], stay, flags)) return p + 3;
  }
  for (; p < end && lexer_stays(*p, stay, flags); ++p) {
  }
  return p;
}

// A token as the automaton found it.
struct LexerToken {
  const uint8_t* start;  // after the skipped blanks, newlines and control bytes
  uint32_t flags;        // class flags over its bytes
  uint8_t type;          // token type
  uint8_t began_in;      // the start state it was scanned from
};

// Where the automaton's walk over one token ended.
struct LexerWalk {
  const uint8_t* start;  // the token's start, after the skipped blanks, newlines and control bytes
  const uint8_t* end;    // the first byte not consumed
  uint32_t flags;        // class flags over the bytes, unmasked
  uint8_t final_state;   // the final state reached
  uint8_t last_state;    // the state before it
  int64_t line;          // the line at the end
};

// Walks the automaton from `p`, in state `at` on `line`, to the end of one token: one class
// load and one transition per byte, except that a run of bytes keeping the automaton in its
// state (blanks, the body of a word, a string or a comment) is passed over by their classes
// alone, without waiting on the transition.
[[gnu::always_inline]] inline LexerWalk lexer_walk(const uint8_t* p, const uint8_t* const end, uint8_t at,
                                                   int64_t line) {
  const uint8_t* start = p;
  uint8_t final_state;
  uint32_t flags = 0;
  for (;;) {
    uint64_t stay = kStayClasses[at];
    if (stay & (uint64_t{1} << kNewlineClass)) {
      for (; p < end; ++p) {
        uint32_t entry = kCharClassTable[*p];
        if (!((stay >> (entry & 0xFF)) & 1)) break;
        flags |= entry;
        line += (entry & 0xFF) == kNewlineClass;
      }
    } else {
      p = lexer_pass_run(p, end, stay, flags);  // no line ends in this run
    }
    if (at == 0) start = p;  // blanks, newlines and control bytes before a token
    if (p == end) {
      final_state = kTransitionTable[at][kNulClass];
      break;
    }
    uint32_t entry = kCharClassTable[*p];
    uint8_t next = kTransitionTable[at][entry & 0xFF];
    if (next >= kFirstFinalState) {
      final_state = next;
      break;
    }
    flags |= entry;
    line += (entry & 0xFF) == kNewlineClass;
    ++p;
    at = next;
  }
  return {start, p, flags, final_state, at, line};
}

// Records a walk that began on `line_before` as the state's current token: position and token
// end at the first byte not consumed.
[[gnu::always_inline]] inline LexerToken lexer_record_token(LexerState& state, const LexerWalk& walk,
                                                            int64_t line_before, uint8_t began_in) {
  state.position = state.token_end = walk.end;
  state.token_lines = walk.line - line_before;
  state.line = walk.line;
  state.previous_state = walk.last_state;
  state.error_type = kNoErrorType;
  state.closing_type = 0;
  state.token_type = state_type(walk.final_state);
  return {walk.start, walk.flags & kCharFlagMask, static_cast<uint8_t>(walk.final_state - kFirstFinalState),
          began_in};
}

// Walks one token from the state's position and start state and records it.
[[gnu::always_inline]] inline LexerToken lexer_walk_token(LexerState& state) {
  LexerWalk walk = lexer_walk(state.position, state.input_end, state.start_state, state.line);
  return lexer_record_token(state, walk, state.line, state.start_state);
}

}  // namespace qel
