// compression-natives.h: compress and decompress over the codec services.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// compress data method: a string's UTF-8 or a binary's bytes from its index, encoded by zlib,
// deflate or gzip (letter case ignored) into a new binary!.
Status native_compress(const int32_t* refinements);
// decompress data method /size sz: the decoded bytes as a new binary!; /size is the expected
// size (gzip reads its own).
Status native_decompress(const int32_t* refinements);

}  // namespace qel
