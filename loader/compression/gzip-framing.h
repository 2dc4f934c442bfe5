// gzip-framing.h: gzip members: a header with optional fields, raw deflate, CRC-32 and size.
#pragma once

#include <cstdint>

#include "loader/compression/codec-result.h"

namespace qel {

// Encodes one gzip member (sizes as deflate_framed): ID 1F 8B, method 8, no flags, MTIME 0,
// XFL 4 and OS 4, the deflate data, the CRC-32 and the length of the input. Input that already
// looks like gzip is wrapped all the same, so decoding always gives back the input.
CodecResult gzip_encode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length,
                        int64_t cap = kCodecOutputCap);

// Decodes a series of gzip members into one output (sizes as inflate_decode): every member is
// decoded and the outputs follow one another. Each trailer must follow its deflate data
// directly; bytes after a member that do not start another are bad_data, as is any header
// fault, a wrong CRC-32 or a size field that is not the member's size modulo 2^32. The size
// answered is always the size counted, never the size a trailer claims.
CodecResult gzip_decode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length,
                        int64_t cap = kCodecOutputCap);

}  // namespace qel
