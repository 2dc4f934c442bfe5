// eval-support.cpp: closing frames by the push flag, frame names, and words read and set from code.
#include "evaluator/eval-support.h"

#include "runtime/error-raise.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

bool resolve_word(Cell& word) {
  if (word.w3 != kUnresolved) return true;
  if (word.w1 == 0) return false;
  int32_t slot = context_find_word(word.w1, word.w2, true);
  if (slot < 0) return false;
  word.w3 = static_cast<uint32_t>(slot);
  return true;
}

void close_frame_for(bool push) {
  if (push) {
    stack_close_frame();
    return;
  }
  stack_close_frame_copy();
  stack_keep_first();
}

uint32_t set_path_symbol = 0;

void eval_symbols_init() { set_path_symbol = symbol_intern_cstring("set-path"); }

Cell* word_value_read_slow(Cell& word) {
  resolve_word(word);
  return word_value_cell_core(word, word.w1);
}

const Cell* word_value_quiet_slow(Cell& word) {
  if (!resolve_word(word)) return nullptr;
  const Cell& header = context_cell(word.w1);
  if (header.w2 == 0 || word.w3 >= context_length(word.w1)) return nullptr;
  return word_value_cell_core(word, word.w1);
}

void raise_need_value(const Cell& word) { raise_error(error_id("script", "need-value"), word); }

}  // namespace qel
