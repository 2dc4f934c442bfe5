// The deflate decoder and the zlib and gzip framings against streams Python's zlib and gzip
// modules make in the same run, and against malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader/compression/gzip-framing.h"
#include "loader/compression/inflate.h"
#include "loader/compression/zlib-framing.h"
#include "tests/loader/peer-streams.h"

namespace qel {
namespace {

using Decoder = CodecResult (*)(uint8_t*, int32_t&, const uint8_t*, int32_t, int64_t);

Decoder decoder_for(const std::string& format) {
  return format == "deflate" ? inflate_decode : format == "zlib" ? zlib_decode : gzip_decode;
}

struct Decoded {
  CodecResult result;
  int32_t size;
  Bytes bytes;
};

Decoded decode(Decoder decoder, const Bytes& stream, int32_t capacity, int64_t cap = kCodecOutputCap) {
  Bytes output(static_cast<size_t>(capacity) + 1, 0xEE);  // one guard byte past the capacity
  int32_t size = capacity;
  CodecResult result = decoder(output.data(), size, stream.data(), static_cast<int32_t>(stream.size()), cap);
  EXPECT_EQ(output[static_cast<size_t>(capacity)], 0xEE) << "written past the capacity";
  output.resize(result == CodecResult::done ? static_cast<size_t>(size) : 0);
  return {result, size, output};
}

TEST(InflatePeerStreams, EveryStreamDecodesToItsOriginal) {
  const auto& streams = peer_streams();
  ASSERT_EQ(streams.size(), 180u) << "the stream script did not run";
  for (const PeerStream& peer : streams) {
    SCOPED_TRACE(peer.format + " " + peer.label);
    Decoded whole = decode(decoder_for(peer.format), peer.stream, static_cast<int32_t>(peer.original.size()));
    EXPECT_EQ(whole.result, CodecResult::done);
    EXPECT_EQ(whole.bytes, peer.original);
  }
}

// Too small a buffer answers the exact size needed, whatever the shortfall.
TEST(InflatePeerStreams, SmallerCapacitiesAnswerTheSizeNeeded) {
  for (const PeerStream& peer : peer_streams()) {
    SCOPED_TRACE(peer.format + " " + peer.label);
    int32_t needed = static_cast<int32_t>(peer.original.size());
    std::vector<int32_t> capacities = {0, needed / 2, needed - 1};
    if (needed <= 300)
      for (int32_t capacity = 0; capacity < needed; ++capacity) capacities.push_back(capacity);
    for (int32_t capacity : capacities) {
      if (capacity < 0 || capacity >= needed) continue;
      Decoded short_of = decode(decoder_for(peer.format), peer.stream, capacity);
      EXPECT_EQ(short_of.result, CodecResult::output_too_small) << capacity;
      EXPECT_EQ(short_of.size, needed) << capacity;
    }
  }
}

struct Case {
  const char* name;
  Decoder decoder;
  const char* hex;
  CodecResult result;
  const char* output_hex;  // for done
};

TEST(InflateCases, KnownStreams) {
  const Case cases[] = {
      {"empty fixed block", inflate_decode, "0300", CodecResult::done, "-"},
      {"stored then fixed", inflate_decode, "000300fcff6162634b0400", CodecResult::done, "61626361"},
      {"zlib of an empty fixed block", zlib_decode, "7801030000000001", CodecResult::done, "-"},
      {"gzip header CRC", gzip_decode, "1f8b0802000000000404002703000000000000000000", CodecResult::done, "-"},
      {"zlib stored block", zlib_decode, "7801010700f8ff73746f726564210bef02b3", CodecResult::done, "73746f72656421"},
      {"gzip with a file name", gzip_decode,
       "1f8b08080000000002ff68692e74787400cbc85428c9482d4a0500ec76a3e308000000", CodecResult::done,
       "6869207468657265"},
      {"two gzip members", gzip_decode,
       "1f8b08000000000002034b4c02006d48839e020000001f8b08000000000002034b4e0100da8fd64502000000", CodecResult::done,
       "61626364"},
      {"gzip with extra field and comment", gzip_decode,
       "1f8b08140000000000030300414243630003000000000000000000", CodecResult::done, "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded decoded = decode(c.decoder, from_hex(c.hex), 64);
    EXPECT_EQ(decoded.result, c.result);
    EXPECT_EQ(decoded.bytes, from_hex(c.output_hex));
  }
}

// Malformed input is rejected whatever the buffer, and nothing is answered as done.
TEST(InflateCases, MalformedStreamsAreRejected) {
  const Case cases[] = {
      {"truncated before the final block", inflate_decode, "4b4e4c02", CodecResult::bad_data, ""},
      {"empty input", inflate_decode, "", CodecResult::bad_data, ""},
      {"stored length and complement disagree", inflate_decode, "0103000000616263", CodecResult::bad_data, ""},
      {"stored block past the end", inflate_decode, "010500faff6162", CodecResult::stored_past_end, ""},
      {"stored header cut short", inflate_decode, "010500", CodecResult::bad_data, ""},
      {"reserved block type", inflate_decode, "0700", CodecResult::reserved_block, ""},
      {"distance before the start", inflate_decode, "030200", CodecResult::distance_too_far, ""},
      {"fixed literal/length symbol 286", inflate_decode, "4b1c0300", CodecResult::bad_data, ""},
      {"fixed distance symbol 30", inflate_decode, "4b043e00", CodecResult::bad_data, ""},
      {"dynamic: more than 286 literal codes", inflate_decode, "f5000000", CodecResult::bad_data, ""},
      {"dynamic: over-subscribed code-length code", inflate_decode, "050092040000", CodecResult::bad_data, ""},
      {"dynamic: repeat with nothing to repeat", inflate_decode, "050002240000", CodecResult::bad_data, ""},
      {"zlib window size 8", zlib_decode, "881c030000000001", CodecResult::bad_data, ""},
      {"zlib method 7", zlib_decode, "7709030000000001", CodecResult::bad_data, ""},
      {"zlib preset dictionary", zlib_decode, "7820030000000001", CodecResult::bad_data, ""},
      {"zlib check bits wrong", zlib_decode, "7802030000000001", CodecResult::bad_data, ""},
      {"zlib of 5 bytes", zlib_decode, "7801030000", CodecResult::bad_data, ""},
      {"zlib with a byte appended", zlib_decode, "7801aba8ac82230024e205ad00", CodecResult::bad_data, ""},
      {"zlib trailer cut short", zlib_decode, "7801aba8ac82230024e205", CodecResult::bad_data, ""},
      {"gzip size field FFFFFFF0", gzip_decode, "1f8b08000000000004044b4c02006d48839ef0ffffff", CodecResult::bad_data, ""},
      {"gzip reserved flag 0x20", gzip_decode, "1f8b08200000000004044b4c02006d48839e02000000", CodecResult::bad_data, ""},
      {"gzip method 7", gzip_decode, "1f8b07000000000004044b4c02006d48839e02000000", CodecResult::bad_data, ""},
      {"gzip unterminated name", gzip_decode, "1f8b0808000000000404616263646566676869", CodecResult::bad_data, ""},
      {"gzip extra field past the end", gzip_decode, "1f8b08040000000004044000616263646566676869", CodecResult::bad_data, ""},
      {"gzip wrong header CRC", gzip_decode, "1f8b0802000000000404012703000000000000000000", CodecResult::bad_data, ""},
      {"gzip trailing garbage", gzip_decode, "1f8b08000000000004044b4c02006d48839e0200000000", CodecResult::bad_data, ""},
      {"gzip of 17 bytes", gzip_decode, "1f8b080000000000040403000000000000", CodecResult::bad_data, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes stream = from_hex(c.hex);
    for (int32_t capacity : {0, 1, 64}) {
      Decoded decoded = decode(c.decoder, stream, capacity);
      EXPECT_EQ(decoded.result, c.result) << capacity;
    }
  }
}

// A check value is compared once the output is all in the buffer: before that, the caller is
// told the size to retry with, and the retry fails.
TEST(InflateCases, WrongCheckValuesFailOnceTheOutputFits) {
  const Case cases[] = {
      {"zlib wrong Adler-32", zlib_decode, "7801aba8ac82230024e205ae", CodecResult::bad_data, ""},
      {"gzip wrong CRC-32", gzip_decode, "1f8b08000000000004044b4c02006d48839f02000000", CodecResult::bad_data, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded first = decode(c.decoder, from_hex(c.hex), 0);
    ASSERT_EQ(first.result, CodecResult::output_too_small);
    EXPECT_EQ(decode(c.decoder, from_hex(c.hex), first.size).result, c.result);
  }
}

// 2 MB of zeros in a zlib stream: refused at a 1 MB cap while counting, with no buffer at all.
TEST(InflateCases, OutputCapStopsABomb) {
  Bytes stream;
  for (const PeerStream& peer : peer_streams())
    if (peer.format == "zlib" && peer.label == "run-258/level-9") stream = peer.stream;
  ASSERT_FALSE(stream.empty());
  Decoded within = decode(zlib_decode, stream, 0, 258);
  EXPECT_EQ(within.result, CodecResult::output_too_small);
  EXPECT_EQ(within.size, 258);
  EXPECT_EQ(decode(zlib_decode, stream, 0, 257).result, CodecResult::limit_reached);
  EXPECT_EQ(decode(zlib_decode, stream, 300, 257).result, CodecResult::limit_reached);
}

}  // namespace
}  // namespace qel
