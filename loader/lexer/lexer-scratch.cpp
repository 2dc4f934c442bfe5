// lexer-scratch.cpp: the scratch buffer for the input copies of nested scans.
#include "loader/lexer/lexer-scratch.h"

#include "runtime/heap.h"
#include "runtime/memory.h"

namespace qel {

namespace {

// Invariant: free_position <= kLexerScratchBytes; the bytes below it belong to active scans.
uint8_t* scratch = nullptr;
uint64_t free_position = 0;

}  // namespace

LexerScratch::LexerScratch(uint64_t bytes) : free_before_(free_position) {
  if (bytes >= kHeapMaxBlock) raise_no_memory();
  uint64_t room = bytes + 1;  // the terminator
  own_block_ = !scratch || room > kLexerScratchBytes - free_position;
  if (own_block_) {
    data_ = static_cast<uint8_t*>(heap_try_resize(nullptr, room));
    if (!data_) raise_no_memory();
  } else {
    data_ = scratch + free_position;
    free_position += room;
  }
}

LexerScratch::~LexerScratch() {
  if (own_block_) heap_release(data_);
  free_position = free_before_;
}

void lexer_scratch_init() {
  heap_release(scratch);
  scratch = static_cast<uint8_t*>(heap_allocate_checked(kLexerScratchBytes));
  free_position = 0;
}

}  // namespace qel
