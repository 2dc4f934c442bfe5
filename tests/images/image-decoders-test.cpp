// The decoders against reference readers: seeded fixtures of every format and variant, the
// PngSuite against its BMPs, and hostile input (cut files, huge declared sizes, bad offsets,
// runs and palette indexes), which must be refused without an image.
#include <gtest/gtest.h>

#include <fstream>
#include <cstring>
#include <set>

#include "tests/images/image-fixtures.h"

namespace qel {
namespace {

class ReferenceFixtures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new TemporaryFolder;
    ASSERT_EQ(run_python("make-fixtures.py", folder->path().string()), 0);
  }
  static void TearDownTestSuite() { delete folder; }
  static inline TemporaryFolder* folder = nullptr;

  struct Fixture {
    std::string name;
    int tolerance;
  };
  static std::vector<Fixture> fixtures() {
    std::vector<Fixture> all;
    std::ifstream manifest(folder->path() / "manifest.txt");
    Fixture fixture;
    while (manifest >> fixture.name >> fixture.tolerance) all.push_back(fixture);
    return all;
  }
};

TEST_F(ReferenceFixtures, EveryFormatDecodesToTheReferencePixels) {
  std::vector<Fixture> all = fixtures();
  ASSERT_GE(all.size(), 26u);
  for (const Fixture& fixture : all) {
    std::vector<uint8_t> reference = read_bytes(folder->path() / (fixture.name + ".rgba"));
    DecodedImage image;
    ASSERT_EQ(image_decode_bytes(read_bytes(folder->path() / fixture.name), image), DecodeOutcome::decoded) << fixture.name;
    uint32_t width, height;
    std::memcpy(&width, reference.data(), 4);
    std::memcpy(&height, reference.data() + 4, 4);
    EXPECT_EQ(image.width, width) << fixture.name;
    EXPECT_EQ(image.height, height) << fixture.name;
    std::vector<uint8_t> expected(reference.begin() + 8, reference.end());
    EXPECT_EQ(rgba_difference(rgba_bytes(image.pixels), expected, fixture.tolerance), "") << fixture.name;
  }
}

TEST_F(ReferenceFixtures, CutFilesAreRefusedOrWhole) {
  for (const Fixture& fixture : fixtures()) {
    std::vector<uint8_t> bytes = read_bytes(folder->path() / fixture.name);
    for (size_t cut = 0; cut < bytes.size(); cut += 64) {
      DecodedImage image;
      DecodeOutcome outcome = image_decode_bytes({bytes.data(), cut}, image);
      if (outcome != DecodeOutcome::decoded) EXPECT_TRUE(image.pixels.empty()) << fixture.name << " cut at " << cut;
      else EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width * image.height)) << fixture.name;
    }
  }
}

bool sixteen_bit_samples(const std::string& name) { return name.size() >= 8 && name.substr(6, 2) == "16"; }

// The BMPs keep no colour under full transparency: a fully transparent pixel compares as 0.
std::vector<uint8_t> visible_rgba(const DecodedImage& image) {
  std::vector<uint32_t> pixels = words_of(image.pixels);
  for (uint32_t& pixel : pixels)
    if (pixel >> 24 == 0) pixel = 0;
  return rgba_bytes(pixels);
}

TEST(PngSuite, EveryValidFileDecodesToItsBmp) {
  if (!std::filesystem::exists(kPngSuite)) GTEST_SKIP() << "no PngSuite at " << kPngSuite;
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kPngSuite / "png")) {
    std::string name = entry.path().stem().string();
    if (name[0] == 'x' || entry.path().extension() != ".png") continue;
    DecodedImage png, bmp;
    ASSERT_TRUE(png_decode(read_bytes(entry.path()), png)) << name;
    ASSERT_TRUE(bmp_decode(read_bytes(kPngSuite / "bmp" / (name + ".bmp")), bmp)) << name;
    EXPECT_EQ(png.width, bmp.width) << name;
    EXPECT_EQ(png.height, bmp.height) << name;
    EXPECT_EQ(rgba_difference(visible_rgba(png), visible_rgba(bmp), sixteen_bit_samples(name) ? 1 : 0), "") << name;
    ++compared;
  }
  EXPECT_GT(compared, 100);
}

TEST(PngSuite, CorruptFilesAreRefused) {
  if (!std::filesystem::exists(kPngSuite)) GTEST_SKIP() << "no PngSuite at " << kPngSuite;
  const std::set<std::string> unknown_signature = {"xs1n0g01", "xs2n0g01", "xs4n0g01"};
  for (const auto& entry : std::filesystem::directory_iterator(kPngSuite / "png")) {
    std::string name = entry.path().stem().string();
    if (name[0] != 'x') continue;
    DecodedImage image;
    DecodeOutcome expected = unknown_signature.count(name) ? DecodeOutcome::unknown : DecodeOutcome::failed;
    EXPECT_EQ(image_decode_bytes(read_bytes(entry.path()), image), expected) << name;
    EXPECT_TRUE(image.pixels.empty()) << name;
  }
}

// Decoders write into memory left unset, so what a first frame does not cover must be cleared.
TEST(GifFrames, WhatTheFirstFrameLeavesOutIsTransparentBlack) {
  // A 3 x 2 screen with black and white, and one white pixel at 1,1 (LZW: clear, 1, end).
  const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 3, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                    0x2C, 1, 0, 1, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0, ';'};
  DecodedImage image;
  ASSERT_TRUE(gif_decode(gif, image));
  EXPECT_EQ(words_of(image.pixels), (std::vector<uint32_t>{0, 0, 0, 0, 0xFFFFFFFFu, 0}));
}

// Little-endian words into a byte vector.
void put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A BMP of the given info fields and trailing bytes.
std::vector<uint8_t> bmp_file(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t offset,
                              const std::vector<uint8_t>& rest, uint32_t colours = 0) {
  std::vector<uint8_t> bytes = {'B', 'M'};
  put32(bytes, 54 + static_cast<uint32_t>(rest.size()));
  put32(bytes, 0);
  put32(bytes, offset);
  put32(bytes, 40);
  put32(bytes, static_cast<uint32_t>(width));
  put32(bytes, static_cast<uint32_t>(height));
  bytes.insert(bytes.end(), {1, 0, static_cast<uint8_t>(bits), 0});
  for (uint32_t word : {compression, 0u, 0u, 0u, colours, 0u}) put32(bytes, word);
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  return bytes;
}

TEST(HostileInput, IsRefusedWithoutAnImage) {
  // A PNG declaring 100000 x 100000: the signature and an IHDR chunk with a right CRC.
  std::vector<uint8_t> png = {137, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                              0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 6, 0, 0, 0, 0xA8, 0x52, 0x0B, 0xC8};
  // A JPEG of 65500 x 65500 in 300 bytes: SOI, a baseline SOF0 and nothing else worth reading.
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0xFF, 0xDC, 0xFF, 0xDC, 1, 1, 0x11, 0};
  jpeg.resize(300, 0);
  // A GIF whose logical screen is 65535 x 65535.
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, ';'};
  std::vector<uint8_t> palette = {0, 0, 0, 0, 255, 255, 255, 0};
  std::vector<uint8_t> two_colours_then(palette);
  two_colours_then.insert(two_colours_then.end(), {0x20, 0, 0, 0});  // index 2 at 8 bits: past the table
  std::vector<uint8_t> rle_past_row(palette);
  rle_past_row.insert(rle_past_row.end(), {5, 1, 0, 1});  // a run of 5 in a row of 4
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"png 100000x100000", png},
      {"jpeg 65500x65500", jpeg},
      {"gif screen 65535x65535", gif},
      {"bmp pixels past the file", bmp_file(2, 2, 24, 0, 4000, std::vector<uint8_t>(16, 0))},
      {"bmp rle run past its row", bmp_file(4, 1, 8, 1, 62, rle_past_row, 2)},
      {"bmp palette index past the table", bmp_file(1, 1, 4, 0, 62, two_colours_then, 2)},
      {"bmp huge", bmp_file(70000, 1, 24, 0, 54, std::vector<uint8_t>(16, 0))},
      {"bmp negative width", bmp_file(-4, 1, 24, 0, 54, std::vector<uint8_t>(16, 0))},
      {"BMW", {'B', 'M', 'W', '.', '.', '.'}},
  };
  for (const Case& c : cases) {
    DecodedImage image;
    EXPECT_EQ(image_decode_bytes(c.bytes, image), DecodeOutcome::failed) << c.what;
    EXPECT_TRUE(image.pixels.empty()) << c.what;
  }
}

}  // namespace
}  // namespace qel
