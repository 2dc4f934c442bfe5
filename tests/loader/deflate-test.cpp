// The deflate encoder and the zlib and gzip framings: exact bytes, streams Python's zlib module
// and gzip -dc decode to the input in the same run, and exact sizes for every short buffer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "loader/compression/deflate.h"
#include "loader/compression/gzip-framing.h"
#include "loader/compression/inflate.h"
#include "loader/compression/zlib-framing.h"
#include "tests/loader/peer-streams.h"

namespace qel {
namespace {

using Encoder = CodecResult (*)(uint8_t*, int32_t&, const uint8_t*, int32_t, int64_t);

struct Format {
  const char* name;
  Encoder encoder;
  int32_t framing;  // header and trailer bytes
};
constexpr Format kFormats[] = {{"deflate", deflate_encode, 0}, {"zlib", zlib_encode, 6}, {"gzip", gzip_encode, 18}};

struct Encoded {
  CodecResult result;
  int32_t size;
  Bytes bytes;
};

Encoded encode(Encoder encoder, const Bytes& input, int32_t capacity) {
  Bytes output(static_cast<size_t>(capacity) + 1, 0xEE);  // one guard byte past the capacity
  // The input in a buffer of its exact size, so a read past its end shows under the sanitizers.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[input.size()]);
  std::copy(input.begin(), input.end(), exact.get());
  int32_t size = capacity;
  CodecResult result = encoder(output.data(), size, exact.get(), static_cast<int32_t>(input.size()), kCodecOutputCap);
  EXPECT_EQ(output[static_cast<size_t>(capacity)], 0xEE) << "written past the capacity";
  output.resize(result == CodecResult::done ? static_cast<size_t>(size) : 0);
  return {result, size, output};
}

Bytes text_bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The bytes follow from the hash, the slot choice and the match rules: storing positions 0-2,
// choosing the slot from the step's own position or taking the longest candidate each give
// other bytes for the first stream.
TEST(DeflateEncode, ExactBytes) {
  struct Case {
    Encoder encoder;
    Bytes input;
    const char* hex;
  };
  const Case cases[] = {
      {deflate_encode, text_bytes("cabcabbcabc"), "4b4e4c02a224204e0600"},
      {deflate_encode, from_hex("ff00ff00ff00"), "fbcff09fe13f0300"},
      {deflate_encode, text_bytes("Qel Qel Qel Qel"), "0b4ccd5140c200"},
      {deflate_encode, {}, "0300"},
      {zlib_encode, text_bytes("xyzxyzxyzxyz"), "7801aba8ac82230024e205ad"},
      {gzip_encode, text_bytes("abracadabra"), "1f8b08000000000004044b4c2a4a4c4e4c015100b7f9ea170b000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    Encoded encoded = encode(c.encoder, c.input, 64);
    EXPECT_EQ(encoded.result, CodecResult::done);
    EXPECT_EQ(to_hex(encoded.bytes), c.hex);
  }
}

// Data that already starts like a gzip member is wrapped like any other, so it comes back.
TEST(DeflateEncode, GzipWrapsDataThatLooksLikeGzip) {
  Bytes input = from_hex("1f8b0800");
  Encoded encoded = encode(gzip_encode, input, 64);
  ASSERT_EQ(encoded.result, CodecResult::done);
  Bytes output(16);
  int32_t size = 16;
  ASSERT_EQ(gzip_decode(output.data(), size, encoded.bytes.data(), encoded.size), CodecResult::done);
  output.resize(static_cast<size_t>(size));
  EXPECT_EQ(output, input);
}

// One original per corpus entry of the peer streams.
std::map<std::string, Bytes> corpus() {
  std::map<std::string, Bytes> originals;
  for (const PeerStream& peer : peer_streams()) originals[peer.label.substr(0, peer.label.find('/'))] = peer.original;
  // Inputs ending in every way a match or the literal tail can end them.
  for (size_t length = 1; length <= 12; ++length) originals["abc-run-" + std::to_string(length)] = Bytes(length, 'a');
  return originals;
}

TEST(DeflateEncode, PeersDecodeEveryStreamToItsInput) {
  auto originals = corpus();
  ASSERT_GE(originals.size(), 20u) << "the stream script did not run";
  char path[] = "/tmp/qel-deflate-XXXXXX";
  int descriptor = mkstemp(path);
  ASSERT_GE(descriptor, 0);
  close(descriptor);
  {
    std::ofstream lines(path);
    for (const auto& [label, original] : originals)
      for (const Format& format : kFormats) {
        Encoded encoded = encode(format.encoder, original, static_cast<int32_t>(original.size() * 2 + 64));
        ASSERT_EQ(encoded.result, CodecResult::done) << label;
        lines << format.name << ' ' << label << ' ' << to_hex(original) << ' ' << to_hex(encoded.bytes) << '\n';
      }
  }
  std::string report = command_output(std::string("/usr/bin/python3 " QEL_SOURCE_DIR "/tests/loader/inflate-check.py ") + path);
  unlink(path);
  EXPECT_EQ(report, "checked " + std::to_string(originals.size() * 3) + "\n");
}

// Each smaller buffer answers the exact size; a framing's encoder given less room than its header
// and trailer answers bad_data with the input length plus the framing.
TEST(DeflateEncode, ShortBuffersAnswerTheExactSize) {
  for (const auto& [label, original] : corpus()) {
    if (original.size() > 5000) continue;
    for (const Format& format : kFormats) {
      SCOPED_TRACE(std::string(format.name) + " " + label);
      Encoded whole = encode(format.encoder, original, static_cast<int32_t>(original.size() * 2 + 64));
      ASSERT_EQ(whole.result, CodecResult::done);
      for (int32_t capacity = 0; capacity < whole.size; ++capacity) {
        Encoded short_of = encode(format.encoder, original, capacity);
        bool no_room = capacity < format.framing;
        EXPECT_EQ(short_of.result, no_room ? CodecResult::bad_data : CodecResult::output_too_small) << capacity;
        EXPECT_EQ(short_of.size, no_room ? static_cast<int32_t>(original.size()) + format.framing : whole.size)
            << capacity;
      }
      Encoded exact = encode(format.encoder, original, whole.size);
      EXPECT_EQ(exact.result, CodecResult::done);
      EXPECT_EQ(exact.bytes, whole.bytes);
    }
  }
}

// What would pass the cap is refused, also for the framings.
TEST(DeflateEncode, OutputCap) {
  Bytes input(1000, 'z');
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.name);
    Bytes output(64);
    int32_t size = 64;
    ASSERT_EQ(format.encoder(output.data(), size, input.data(), 1000, kCodecOutputCap), CodecResult::done);
    const int32_t needed = size;
    size = 64;
    EXPECT_EQ(format.encoder(output.data(), size, input.data(), 1000, needed), CodecResult::done);
    size = 64;
    EXPECT_EQ(format.encoder(output.data(), size, input.data(), 1000, needed - 1), CodecResult::limit_reached);
  }
}

}  // namespace
}  // namespace qel
