// Seeded fuzzing of the deflate decoder and its framings, differential against the reference
// library: streams it makes, then mutated (bits flipped, bytes changed, cut short, grown), must be
// accepted or rejected alike and, when accepted, decode to the same bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "loader/compression/gzip-framing.h"
#include "loader/compression/inflate.h"
#include "loader/compression/zlib-framing.h"
#include "tests/loader/peer-streams.h"

namespace qel {
namespace {

using Decoder = CodecResult (*)(uint8_t*, int32_t&, const uint8_t*, int32_t, int64_t);

// Room for what any mutated stream of these sizes can expand to (deflate reaches 1032:1).
constexpr size_t kOutputRoom = size_t{8} << 20;

struct Format {
  const char* name;
  int window_bits;  // for the reference library: -15 raw, 15 zlib, 31 gzip
  Decoder decoder;
};
constexpr Format kFormats[] = {{"deflate", -15, inflate_decode}, {"zlib", 15, zlib_decode}, {"gzip", 31, gzip_decode}};

// Text-like data with repeats near and far, or plain random bytes.
Bytes random_data(std::mt19937& random) {
  Bytes data(std::uniform_int_distribution<size_t>(0, 3000)(random));
  bool text = random() % 3 != 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (text && i > 8 && random() % 4 == 0)
      data[i] = data[i - 1 - random() % std::min<size_t>(i - 1, random() % 2 ? 8 : 2000)];
    else
      data[i] = static_cast<uint8_t>(text ? "abcde fgh\n"[random() % 10] : random());
  }
  return data;
}

Bytes reference_encode(const Bytes& data, int window_bits, std::mt19937& random) {
  static constexpr int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  z_stream stream{};
  deflateInit2(&stream, static_cast<int>(random() % 10), Z_DEFLATED, window_bits, 8, kStrategies[random() % 5]);
  Bytes out(deflateBound(&stream, data.size()) + 16);
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Accepted when the stream ends exactly at the input's end (raw deflate: anywhere); empty when
// rejected. `accepted` tells an empty output from a rejection.
Bytes reference_decode(const Bytes& stream, int window_bits, bool& accepted) {
  z_stream inflater{};
  inflateInit2(&inflater, window_bits);
  static Bytes out(kOutputRoom);  // made once: filling 8 MB each round would cost the most
  inflater.next_in = const_cast<Bytef*>(stream.data());
  inflater.avail_in = static_cast<uInt>(stream.size());
  inflater.next_out = out.data();
  inflater.avail_out = static_cast<uInt>(out.size());
  int status = inflate(&inflater, Z_FINISH);
  accepted = status == Z_STREAM_END && (window_bits < 0 || inflater.avail_in == 0);
  inflateEnd(&inflater);
  return accepted ? Bytes(out.begin(), out.begin() + static_cast<ptrdiff_t>(inflater.total_out)) : Bytes();
}

void mutate(Bytes& stream, std::mt19937& random) {
  switch (random() % 5) {
    case 0:  // flip a few bits
      for (unsigned n = 1 + random() % 3; n > 0 && !stream.empty(); --n)
        stream[random() % stream.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
      break;
    case 1:  // change a byte near the start, where headers and code lengths are
      if (!stream.empty()) stream[random() % std::min<size_t>(stream.size(), 24)] = static_cast<uint8_t>(random());
      break;
    case 2:  // cut short
      stream.resize(random() % (stream.size() + 1));
      break;
    case 3:  // grow
      for (unsigned n = 1 + random() % 4; n > 0; --n) stream.push_back(static_cast<uint8_t>(random()));
      break;
    default:  // leave it valid
      break;
  }
}

TEST(InflateFuzz, MutatedStreamsAgreeWithTheReference) {
  std::mt19937 random(20261211);
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.name);
    int accepted_count = 0;
    Bytes output(kOutputRoom);
    for (int round = 0; round < 1500; ++round) {
      Bytes stream = reference_encode(random_data(random), format.window_bits, random);
      mutate(stream, random);
      bool reference_accepted = false;
      Bytes expected = reference_decode(stream, format.window_bits, reference_accepted);

      int32_t size = static_cast<int32_t>(output.size());
      CodecResult result = format.decoder(output.data(), size, stream.data(), static_cast<int32_t>(stream.size()),
                                          kCodecOutputCap);
      ASSERT_NE(result, CodecResult::output_too_small) << round;
      ASSERT_EQ(result == CodecResult::done, reference_accepted) << "round " << round << ": " << to_hex(stream);
      if (!reference_accepted) continue;
      ++accepted_count;
      ASSERT_EQ(Bytes(output.begin(), output.begin() + size), expected) << "round " << round;
    }
    // The mutations leave about a fifth of the streams valid: both sides are exercised.
    EXPECT_GT(accepted_count, 200);
  }
}

// Bytes of no stream at all: rejected or decoded, never a crash or a read past the input (the
// sanitize preset runs this too), the size within the cap.
TEST(InflateFuzz, RandomBytesNeverCrash) {
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    Bytes input(random() % 64);
    for (uint8_t& byte : input) byte = static_cast<uint8_t>(random());
    if (!input.empty() && random() % 2) input[0] = static_cast<uint8_t>(input[0] & ~1u);  // more non-final blocks
    const Format& format = kFormats[random() % 3];
    Bytes output(256);
    int32_t size = static_cast<int32_t>(output.size());
    CodecResult result =
        format.decoder(output.data(), size, input.data(), static_cast<int32_t>(input.size()), 1 << 16);
    if (result == CodecResult::done || result == CodecResult::output_too_small) {
      EXPECT_LE(size, 1 << 16);
    }
  }
}

}  // namespace
}  // namespace qel
