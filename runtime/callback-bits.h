// callback-bits.h: the bit each kind of callback runs under. A callback's body is traced only
// while its bit is among the traced callback bits (system/state/callbacks); the interpreter's
// own calls and the evaluation tracer pass no bit.
#pragma once

#include <cstdint>

namespace qel {

enum CallbackBit : uint32_t {
  kLexerCallback = 1,        // the lexer's tracer
  kParseCallback = 2,        // the parse dialect's tracer
  kSortCallback = 4,         // sort's /compare function
  kChangeCallback = 8,       // an object's on-change*
  kDeepChangeCallback = 16,  // an object's on-deep-change*
  kPortCallback = 32,        // a port's actor functions
};

}  // namespace qel
