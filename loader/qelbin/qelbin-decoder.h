// qelbin-decoder.h: what the decoders of both variants share while they read one image: the
// input, the symbol table, the root block that reference paths start from, the mode, and the
// scratch space for paths.
#pragma once

#include <cstdint>
#include <vector>

#include "loader/qelbin/qelbin-input.h"
#include "loader/qelbin/qelbin-symbols.h"
#include "runtime/cell.h"

namespace qel {

struct QelbinDecodeState {
  QelbinInput input;
  QelbinSymbols symbols;
  Cell root;            // the parent block: top-level records land here and paths start here
  uint32_t base = 0;    // top-level path indexes and context literal numbers count from here
  bool codec_mode = true;
  std::vector<int32_t> path;  // the path being resolved
};

// Decodes the compact variant's records until the state's input ends, into the root block.
void qelbin_decode_compact_body(QelbinDecodeState& state);
// The same for the record variant's records.
void qelbin_decode_record_body(QelbinDecodeState& state);

}  // namespace qel
