// file-write.h: write to a file! or to standard output: strings, binaries and molded values,
// whole or as lines, replacing, appending or at an offset.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/cell.h"
#include "runtime/services.h"

namespace qel {

// value-to-bytes: what writing a value stores. A string! its UTF-8 from its index, at most
// `limit` chars (-1: no limit), U+0000 included; a binary! its bytes from its index, cut to
// `limit` when 0 < limit < its length; any other value its mold.
std::string value_to_bytes(const Cell& value, int64_t limit);

// file-write-dispatch: a none! destination is standard output (what was printed before comes
// out first; the descriptor stays open). /lines writes a block's values each followed by LF, any
// other value followed by one LF; without /append or /seek the file is replaced, /append adds at
// its end, /seek writes over the bytes from that offset. Line ends go out as LF. A /part or /seek
// that is no integer! raises script invalid-refine-arg, a negative /seek script out-of-range; a
// negative /part writes nothing and opens nothing. Any failure to open or write raises access
// cannot-open naming the destination.
void file_write_dispatch(const Cell& file, const Cell& data, const WriteRefinements& refinements);

}  // namespace qel
