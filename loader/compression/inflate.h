// inflate.h: the raw deflate decoder (stored, fixed-code and dynamic-code blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "loader/compression/codec-result.h"
#include "loader/compression/output-sink.h"

namespace qel {

// Decodes one raw deflate stream into `output` (capacity in `size` on entry). On return `size`
// holds the bytes produced: with `done` they are all in the buffer; with `output_too_small`
// that is the size needed. A stream that ends before its final block is `bad_data`; bytes after
// the final block are not looked at.
CodecResult inflate_decode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length,
                           int64_t cap = kCodecOutputCap);

// What a framing needs: the stream decoded onto the end of `sink` (matches reach no further
// back than where this stream began), and on success the input bytes it took up to the byte
// after its final block.
struct InflateEnd {
  CodecResult result;
  size_t consumed;
};
InflateEnd inflate_stream(OutputSink& sink, std::span<const uint8_t> input);

// The answer of a whole-buffer decode from its sink: done, or the size needed.
CodecResult finish_decode(const OutputSink& sink, int32_t& size);

}  // namespace qel
