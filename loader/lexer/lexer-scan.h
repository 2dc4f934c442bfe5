// lexer-scan.h: the scan loop: one token at a time through the tables, then its handlers as the
// mode asks.
#pragma once

#include <cstdint>

#include "loader/lexer/lexer-state.h"

namespace qel {

// What ended a scan loop.
enum class ScanEnd : uint8_t {
  input,      // the input is exhausted
  one_value,  // the first complete value is there (one, prescan)
  stop,       // the stop signal: the answer is in the record's token type
};

// Scans the record's input from its position. `one`: stop after the first complete value;
// `prescan`: only structural tokens are handled (and what a tracer asks for).
ScanEnd lexer_scan(LexerState& state, bool one, bool prescan);

// Makes the value of a token with its type's loader, the tracer's scan event before (a false
// answer makes nothing) and load event after (a false answer takes the value back). A loader
// that stops leaves nothing behind.
LexStatus lexer_load_token(LexerState& state, uint8_t token, const uint8_t* start, const uint8_t* end,
                           uint32_t flags);

}  // namespace qel
