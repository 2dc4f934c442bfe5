// lexer-state.cpp: the chain of active scans, the shared cell buffer and the lexer's roots.
#include "loader/lexer/lexer-state.h"

#include <cstring>

#include "evaluator/words.h"
#include "loader/lexer/lexer-scratch.h"
#include "loader/lexer/lexer-trace.h"
#include "loader/lexer/single-value-scan.h"
#include "runtime/collector.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/root-block.h"
#include "runtime/series.h"

namespace qel {

namespace {

inline constexpr uint64_t kFirstCells = 1000;
// Beyond this many cells (16 GB) the buffer does not grow: the scan is out of memory.
inline constexpr uint64_t kMostCells = uint64_t{1} << 30;

// The cell buffer on the runtime heap. Invariant: every record's tail <= capacity.
Cell* cells = nullptr;
uint64_t capacity = 0;

// The innermost record; each record links to its outer one.
LexerState* innermost = nullptr;

// The root-block position of the evaluator's trace-support cell.
uint32_t trace_support_position = 0;

// Doubles the cell buffer; no room is internal no-memory, and leaves the buffer as it was.
void grow_cells() {
  uint64_t wanted = capacity ? capacity * 2 : kFirstCells;
  if (wanted > kMostCells) raise_no_memory();
  void* moved = heap_try_resize(cells, wanted * sizeof(Cell));
  if (!moved) raise_no_memory();
  cells = static_cast<Cell*>(moved);
  capacity = wanted;
}

}  // namespace

LexerState* lexer_innermost() { return innermost; }

LexerStateScope::LexerStateScope(LexerState& state) : state_(state) {
  state.outer = innermost;
  state.base = state.head = state.tail = innermost ? innermost->tail : 0;
  innermost = &state;
}

LexerStateScope::~LexerStateScope() {
  state_.tail = state_.head = state_.base;
  innermost = state_.outer;
}

Cell& lexer_cell(uint64_t index) { return cells[index]; }

uint64_t lexer_alloc_slot(LexerState& state) {
  if (state.tail >= capacity) grow_cells();
  uint64_t index = state.tail++;
  cells[index] = Cell{kUnsetHeader | (state.token_lines > 0 ? kNewLineFlag : 0u), 0, 0, 0};
  return index;
}

void lexer_append_cells(const Cell& block, uint64_t first, uint64_t count) {
  if (count == 0) return;
  uint8_t* tail = series_reserve_tail_bytes(block.w2, static_cast<int64_t>(count * sizeof(Cell)));
  std::memcpy(tail, cells + first, count * sizeof(Cell));
}

void init_lexer_tables() {
  heap_release(cells);
  cells = nullptr;
  capacity = 0;
  innermost = nullptr;
  grow_cells();
  lexer_scratch_init();
}

void init_lexer() {
  trace_support_position = root_slot_append(make_cell(Type::unset));
  set_word_text_scanner(scan_word_text);  // make and to of words read their text here
}

uint32_t trace_support_slot() { return trace_support_position; }

void lexer_mark() {
  for (LexerState* state = innermost; state; state = state->outer) {
    collector_mark_cells(cells + state->base, cells + state->tail);
    collector_mark_cells(&state->input, &state->input + 1);
    if (state->tracer) collector_mark_cells(&state->tracer->function, &state->tracer->function + 1);
  }
}

}  // namespace qel
