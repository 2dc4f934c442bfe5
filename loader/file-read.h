// file-read.h: read of a file!: a directory's listing, or the file's bytes as a string!, a
// binary! or a block of lines.
#pragma once

#include <cstdint>

#include "loader/file-bytes.h"
#include "runtime/cell.h"
#include "runtime/services.h"

namespace qel {

// The most bytes one read takes (tests lower it to reach the limit cheaply).
inline uint64_t file_read_cap = kSeriesByteCeiling;

// file-read-dispatch: /part takes at most that many bytes (a negative count: all), /seek starts
// that many bytes in (past the end: an empty value); /binary wins over /lines. A /part or /seek
// that is no integer! raises script invalid-refine-arg, a negative /seek script out-of-range; a
// file that cannot be opened or read access cannot-open; more than file_read_cap bytes internal
// limit-hit, each naming the file.
Cell file_read_dispatch(const Cell& file, const ReadRefinements& refinements);

}  // namespace qel
