// library-code.h: the flag that marks the code blocks of the interpreted library.
//
// Library code is evaluated like any code, but it stays out of the user's view: the current
// expression keeps the user's position while library code runs (so errors show the user's
// expression as `near`), library code fires no trace events, and frames opened from it carry no
// interpreter mark.
#pragma once

#include "runtime/cell.h"
#include "runtime/memory.h"
#include "runtime/series-buffer.h"

namespace qel {

// Bit 30 of a series buffer's flags word (kSeriesLibraryCode) marks library code. While the
// library's modules are evaluated, every new series starts with it (LibraryCodeScope), so the
// bodies `func` copies from them are library code too; a copy made later is not.
inline bool is_library_code(NodeId node) { return node && (series_buffer(node)->flags & kSeriesLibraryCode); }

// Flags the block and every block, paren and path inside it (a block met again inside itself is
// not walked twice).
void set_library_code_deep(const Cell& block);

// While it lives, every new series is library code.
class LibraryCodeScope {
 public:
  LibraryCodeScope() : saved_(new_series_flags) { new_series_flags |= kSeriesLibraryCode; }
  ~LibraryCodeScope() { new_series_flags = saved_; }
  LibraryCodeScope(const LibraryCodeScope&) = delete;
  LibraryCodeScope& operator=(const LibraryCodeScope&) = delete;

 private:
  uint32_t saved_;
};

}  // namespace qel
