// zlib-framing.cpp: the zlib header checks and trailer.
#include "loader/compression/zlib-framing.h"

#include "loader/compression/byte-order.h"
#include "loader/compression/deflate.h"
#include "loader/compression/inflate.h"
#include "runtime/checksum.h"

namespace qel {
namespace {

constexpr size_t kHeaderSize = 2;
constexpr size_t kTrailerSize = 4;
// Shorter than header, one byte of deflate data and trailer cannot be a stream.
constexpr int32_t kMinimumLength = 7;

// Deflate (CM 8) with a window of at most 32 KB (CINFO 7), the check bits right and no preset
// dictionary, which this decoder never has.
bool header_acceptable(uint8_t cmf, uint8_t flg) {
  bool deflate_method = (cmf & 0x0F) == 8;
  bool window_known = (cmf >> 4) <= 7;
  bool checked = (cmf * 256 + flg) % 31 == 0;
  bool no_dictionary = (flg & 0x20) == 0;
  return deflate_method && window_known && checked && no_dictionary;
}

}  // namespace

CodecResult zlib_encode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length, int64_t cap) {
  if (length < 0) return CodecResult::bad_data;
  std::span<const uint8_t> data(input, static_cast<size_t>(length));
  constexpr uint8_t kHeader[kHeaderSize] = {0x78, 0x01};
  uint8_t trailer[kTrailerSize];
  write_big_endian_32(trailer, adler32_compute(data));
  return deflate_framed(output, size, data, cap, kHeader, trailer);
}

CodecResult zlib_decode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length, int64_t cap) {
  if (length < kMinimumLength || !header_acceptable(input[0], input[1])) return CodecResult::bad_data;
  OutputSink sink(output, size, cap);
  std::span<const uint8_t> body(input + kHeaderSize, static_cast<size_t>(length) - kHeaderSize);
  InflateEnd end = inflate_stream(sink, body);
  if (end.result != CodecResult::done) return end.result;
  if (body.size() - end.consumed != kTrailerSize) return CodecResult::bad_data;
  // The check value can only be compared when every byte is in the buffer; a call that reports
  // the size needed leaves it to the next.
  uint32_t expected = read_big_endian_32(body.data() + end.consumed);
  if (!sink.overflowed() &&
      adler32_compute({sink.stored_from(0), static_cast<size_t>(sink.count())}) != expected)
    return CodecResult::bad_data;
  return finish_decode(sink, size);
}

}  // namespace qel
