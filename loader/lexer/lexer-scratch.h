// lexer-scratch.h: room for the UTF-8 text a scan reads, stacked in one scratch buffer.
//
// A scan reads a copy of its input that stays put while it runs (a series buffer may move at any
// safe point a tracer or loader passes). Nested scans stack their copies in the scratch buffer;
// a text too big for what is left gets a runtime-heap block of its own.
#pragma once

#include <cstdint>

namespace qel {

// The scratch buffer's size.
inline constexpr uint64_t kLexerScratchBytes = 100000;

class LexerScratch {
 public:
  // Room for `bytes` bytes and one terminator byte after them. A size no block can have is
  // internal no-memory.
  explicit LexerScratch(uint64_t bytes);
  // The free position returns to where it was; a block of its own is released.
  ~LexerScratch();
  LexerScratch(const LexerScratch&) = delete;
  LexerScratch& operator=(const LexerScratch&) = delete;

  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_;
  uint64_t free_before_;
  bool own_block_;
};

// Makes the scratch buffer (init-lexer-tables); a second call starts afresh.
void lexer_scratch_init();

}  // namespace qel
