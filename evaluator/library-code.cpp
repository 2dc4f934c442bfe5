// library-code.cpp: flagging library code blocks, deeply.
#include "evaluator/library-code.h"

#include "runtime/language-thread.h"
#include "runtime/series.h"

namespace qel {

namespace {

// One level: the block's own flag, then the nested blocks not flagged yet.
void flag_cells(NodeId node) {
  check_stack_headroom();
  series_buffer(node)->flags |= kSeriesLibraryCode;
  for (uint32_t i = 0; i < series_buffer_length(node); ++i) {
    const Cell cell = series_buffer(node)->head_cell()[i];
    if (any_block_type(cell_type(cell)) && cell.w2 && !is_library_code(cell.w2)) flag_cells(cell.w2);
  }
}

}  // namespace

void set_library_code_deep(const Cell& block) {
  if (block.w2) flag_cells(block.w2);
}

}  // namespace qel
