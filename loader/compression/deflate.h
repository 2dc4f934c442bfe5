// deflate.h: the encoder: one final block with the fixed codes, matches from a small hash table.
#pragma once

#include <cstdint>
#include <span>

#include "loader/compression/codec-result.h"

namespace qel {

// Encodes `input` as raw deflate into `output` (capacity in `size` on entry). On return `size`
// holds the bytes produced, also those that did not fit: `done` when they all did, else
// `output_too_small`; `limit_reached` when they would pass the cap.
CodecResult deflate_encode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length,
                           int64_t cap = kCodecOutputCap);

// The framings' encoder: `header`, the deflate data, then `trailer`, sizes as deflate_encode.
// A capacity below the framing alone is bad_data, with the input length plus the framing as the
// size needed.
CodecResult deflate_framed(uint8_t* output, int32_t& size, std::span<const uint8_t> input, int64_t cap,
                           std::span<const uint8_t> header, std::span<const uint8_t> trailer);

}  // namespace qel
