// codec-result.h: the result codes every compression routine answers, and the output cap.
#pragma once

#include <cstdint>

namespace qel {

// 0 and 1 are not failures: the caller reads the size written or makes a buffer of the size
// needed and calls again. Every code from 2 on means the input is rejected and nothing is kept.
enum class CodecResult : int {
  done = 0,
  output_too_small = 1,    // the size argument holds the size needed
  bad_data = 2,            // bad header, bad check value, truncated or malformed stream
  stored_past_end = 3,     // a stored block runs past the end of the input
  reserved_block = 4,      // a block of the reserved type 3
  distance_too_far = 5,    // a match reaches before the start of the output
  limit_reached = 6,       // the output would pass the cap
};

// No decoder produces more than this, whatever the stream claims or expands to: 2 MB of deflate
// can ask for 2 GB. Counted while decoding, so an oversized stream is refused before any buffer
// of its size exists.
constexpr int64_t kCodecOutputCap = int64_t{1} << 30;

}  // namespace qel
