// token-handlers.h: the handlers the lexer calls per token type: a scanner that checks a token
// and a loader that makes its value.
//
// Each datatype plugs its handlers into the one table of token-handlers.cpp, in token-type
// order; an empty slot is no handler. A token whose type has no loader at all cannot be made
// into a value yet: loading it is the internal feature-na error.
#pragma once

#include <cstdint>

#include "loader/lexer/lexer-state.h"

namespace qel {

// Checks the token [start, end) (load false) or also appends its value through lexer_alloc_slot
// (load true). `flags` are the class flags ORed over the token's bytes. A failure goes through
// lexer_syntax_error and answers its status.
using TokenHandler = LexStatus (*)(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags,
                                   bool load);

struct TokenHandlers {
  TokenHandler scanner;
  TokenHandler loader;
  // A token whose flags avoid `checked_flags` and which is at most `longest` bytes long passes
  // its check (the scanner, else the loader only checking) without running it.
  uint32_t checked_flags = UINT32_MAX;
  uint32_t longest = 0;
};

// The handlers per token type (0-35).
extern const TokenHandlers kTokenHandlers[];

// The handlers of a token type (0-35).
inline const TokenHandlers& token_handlers(uint8_t token_type) { return kTokenHandlers[token_type]; }

// True when the token [start, end) with `flags` passes its type's check without running it.
inline bool token_passes_unchecked(const TokenHandlers& handlers, const uint8_t* start, const uint8_t* end,
                                   uint32_t flags) {
  return !(flags & handlers.checked_flags) && static_cast<uint64_t>(end - start) <= handlers.longest;
}

}  // namespace qel
