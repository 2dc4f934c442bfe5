// lexer-callback.h: a user's function! or routine! as the lexer's tracer.
//
// Each event becomes a call with five arguments: the event word; the input at the event's
// position; the type (a datatype!, the word `comma` for a comma, none! for another token
// without a datatype); the line; the token (the value made for a load event, else a pair! of
// its 1-based start and end offsets). A tracer that moves its input argument moves the scan;
// the truth of its result is its answer. Errors and throws in it travel on to the scan's caller.
#pragma once

#include <cstdint>

#include "loader/lexer/lexer-trace.h"
#include "runtime/cell.h"

namespace qel {

// The events the callback wants: those named in the block its body opens with (letter case
// ignored), or every event when its body opens with no block (a routine!: every event).
uint32_t lexer_callback_mask(const Cell& callback);

// The tracer that calls the callback.
LexerTracer lexer_callback_tracer(const Cell& callback);

}  // namespace qel
