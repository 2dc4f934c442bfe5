// lexer-tables.h: the lexer's constant tables: the class of each byte, the next state per state
// and class, and the type each state stands for.
//
// The tables are generated at build time from loader/lexer/states.txt by
// tools/gen-lexer-tables.py; the scanner walks them one class load and one transition per byte.
#pragma once

#include <array>
#include <cstdint>

namespace qel {

#include "loader/lexer/lexer-tables.inc"

// States 0-64 continue a token; entering a state of 66 or above ends it.
inline constexpr uint8_t kLexerStates = 65;
inline constexpr uint8_t kFirstFinalState = 66;  // final state = 66 + token type
inline constexpr uint8_t kErrorState = 67;       // final state of the error token
inline constexpr uint8_t kTokenTypes = 36;
inline constexpr uint8_t kCharClasses = 40;
// Flag bits of the class table: the bits above the class byte.
inline constexpr uint32_t kCharFlagMask = 0xFFFFFF00;

// The class of a byte (CharClass::nul is also the column read when the input runs out).
constexpr CharClass char_class(uint8_t byte) { return static_cast<CharClass>(kCharClassTable[byte] & 0xFF); }

// The flag bits of a byte; a token's flags are the OR over its bytes.
constexpr uint32_t char_flags(uint8_t byte) { return kCharClassTable[byte] & kCharFlagMask; }

// True for the final states, which end a token.
constexpr bool is_final_state(uint8_t state) { return state >= kFirstFinalState; }

// The state after reading a byte of class `c` in the non-final state `state` (0-64).
constexpr uint8_t next_state(uint8_t state, CharClass c) {
  return kTransitionTable[state][static_cast<uint8_t>(c)];
}

// Per state 0-64, the classes (bit c for class c) whose bytes keep the automaton in that state:
// a run of them can be passed over without walking the transitions.
inline constexpr std::array<uint64_t, kLexerStates> kStayClasses = [] {
  std::array<uint64_t, kLexerStates> stays{};
  for (uint8_t state = 0; state < kLexerStates; ++state)
    for (uint8_t c = 0; c < kCharClasses; ++c)
      if (kTransitionTable[state][c] == state) stays[state] |= uint64_t{1} << c;
  return stays;
}();

// The type a state stands for (any state 0-101). For a final state it is its token's datatype
// id (0 for tokens without one); for states 0-64 it is the type reported when an error strikes
// there: a datatype id, 0 where there is none (a bad character), -2 in a construction body (a
// malformed construction).
constexpr int8_t state_type(uint8_t state) { return kStateTypeTable[state]; }

}  // namespace qel
