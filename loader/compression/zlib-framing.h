// zlib-framing.h: the zlib stream: a 2-byte header, raw deflate, the big-endian Adler-32.
#pragma once

#include <cstdint>

#include "loader/compression/codec-result.h"

namespace qel {

// Encodes a zlib stream (sizes as deflate_framed): header 78 01 (32 KB window, the fastest
// level, no dictionary), the deflate data, the Adler-32 of the input.
CodecResult zlib_encode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length,
                        int64_t cap = kCodecOutputCap);

// Decodes a zlib stream (sizes as inflate_decode). The trailer must follow the deflate data
// directly and end the input; a bad header, a wrong check value or anything after the trailer is
// bad_data.
CodecResult zlib_decode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length,
                        int64_t cap = kCodecOutputCap);

}  // namespace qel
