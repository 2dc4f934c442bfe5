// lz77.h: the runtime's own chunked LZ77 format, which compressed Qelbin images carry.
//
// A stream is an 8-byte header (packed size, decoded size; int32 little-endian) and chunks of
// at most 1 MB of output, each a 4-byte decoded length then a bit stream of literals and
// matches that ends on a byte boundary. Matches stay inside their chunk.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "loader/compression/codec-result.h"

namespace qel {

// Decodes a whole stream, or nothing when it is not one: a header that claims more than the
// input holds or more than its chunks can expand to, a chunk or its bits outside the packed
// area, a chunk length outside 1 to 1 MB, a match before its chunk's start or past its end, a
// total that is not the decoded size, or output past `cap`. The output grows chunk by chunk,
// so no header field sizes an allocation beyond what the data produces.
std::optional<std::vector<uint8_t>> decompress_bytes(std::span<const uint8_t> input, int64_t cap = kCodecOutputCap);

// Encodes `length` bytes into `output`, which must hold `length` bytes; answers the size
// written, or -1 for 127 bytes or fewer and when the result would not be at least 8 bytes
// shorter than the input.
int32_t compress_bytes(const uint8_t* input, int32_t length, uint8_t* output);

}  // namespace qel
