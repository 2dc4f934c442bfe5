// library-code.h: the flag that marks the code blocks of the interpreted library.
//
// Library code is evaluated like any code, but it stays out of the user's view: the current
// expression keeps the user's position while library code runs (so errors show the user's
// expression as `near`), library code fires no trace events, and frames opened from it carry no
// interpreter mark.
#pragma once

#include "runtime/cell.h"
#include "runtime/series-buffer.h"

namespace qel {

// Bit 30 of a series buffer's flags word: the series is library code.
inline constexpr uint32_t kSeriesLibraryCode = 0x40000000;

inline bool is_library_code(NodeId node) { return node && (series_buffer(node)->flags & kSeriesLibraryCode); }

// Flags the block and every block, paren and path inside it (a block met again inside itself is
// not walked twice).
void set_library_code_deep(const Cell& block);

}  // namespace qel
