// codec-entry.h: a codec as the service registry calls it: an int32 status and the size by
// address, at the process-wide output cap.
#pragma once

#include "loader/compression/codec-result.h"
#include "runtime/services.h"

namespace qel {

using CapCodec = CodecResult (*)(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length, int64_t cap);

// A refusal at the cap answers the cap as the size, so the caller's error can name it.
template <CapCodec codec>
int32_t codec_entry(uint8_t* output, int32_t* size, const uint8_t* input, int32_t length) {
  CodecResult result = codec(output, *size, input, length, kCodecOutputCap);
  if (result == CodecResult::limit_reached) *size = static_cast<int32_t>(kCodecOutputCap);
  return static_cast<int32_t>(result);
}

}  // namespace qel
