// The encoders: our own decoders, PIL and ImageMagick read our output back as the source (PNG and
// TIFF with alpha, BMP colours at alpha 255, GIF at up to 255 colours with binary alpha); JPEG of
// a smooth image stays above 35 dB PSNR; more than 255 colours go through the quantiser.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/images/image-fixtures.h"

namespace qel {
namespace {

struct Source {
  int64_t width, height;
  std::vector<uint32_t> pixels;
};

// Seeded pixels: `colours` distinct opaque colours, and transparency as asked.
Source seeded_source(int64_t width, int64_t height, int colours, bool binary_alpha, bool any_alpha) {
  std::mt19937 random(20261211);
  std::vector<uint32_t> palette;
  for (int i = 0; i < colours; ++i) palette.push_back(0xFF000000u | (random() & 0xFFFFFF));
  Source source{width, height, {}};
  for (int64_t i = 0; i < width * height; ++i) {
    uint32_t pixel = palette[random() % palette.size()];
    if (any_alpha) pixel = (pixel & 0xFFFFFF) | (random() & 0xFF) << 24;
    if (binary_alpha && random() % 4 == 0) pixel = 0;
    source.pixels.push_back(pixel);
  }
  return source;
}

Source smooth_source(int64_t width, int64_t height) {
  Source source{width, height, {}};
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      source.pixels.push_back(0xFF000000u | static_cast<uint32_t>(x * 255 / (width - 1)) << 16 |
                              static_cast<uint32_t>(y * 255 / (height - 1)) << 8 | static_cast<uint32_t>((x + y) % 256));
  return source;
}

// What a reader must see: the source as the format keeps it.
std::vector<uint32_t> kept(const Source& source, ImageFormat format) {
  std::vector<uint32_t> pixels = source.pixels;
  for (uint32_t& pixel : pixels) {
    if (format == ImageFormat::bmp) pixel |= 0xFF000000u;
    if (format == ImageFormat::gif) pixel = pixel >> 24 < 128 ? 0 : pixel;  // transparent: black in the palette
  }
  return pixels;
}

// A fully transparent pixel compares as 0 whatever colour a reader gives it.
std::vector<uint8_t> visible(std::vector<uint8_t> rgba) {
  for (size_t i = 0; i + 3 < rgba.size(); i += 4)
    if (rgba[i + 3] == 0) rgba[i] = rgba[i + 1] = rgba[i + 2] = 0;
  return rgba;
}

TEST(Encoders, ReadersSeeTheSource) {
  struct Case {
    ImageFormat format;
    const char* file;
    Source source;
  };
  const Case cases[] = {
      {ImageFormat::png, "out.png", seeded_source(37, 23, 1000, false, true)},
      {ImageFormat::tiff, "out.tif", seeded_source(29, 31, 1000, false, true)},
      {ImageFormat::bmp, "out.bmp", seeded_source(13, 7, 1000, false, true)},
      {ImageFormat::gif, "out.gif", seeded_source(41, 17, 255, true, false)},
  };
  TemporaryFolder folder;
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(image_encoder(c.format)(c.source.pixels.data(), c.source.width, c.source.height, bytes)) << c.file;
    std::vector<uint8_t> expected = visible(rgba_bytes(kept(c.source, c.format)));
    DecodedImage ours;
    ASSERT_EQ(image_decode_bytes(bytes, ours), DecodeOutcome::decoded) << c.file;
    EXPECT_EQ(rgba_difference(visible(rgba_bytes(ours.pixels)), expected, 0), "") << c.file << " read by us";
    write_bytes(folder.path() / c.file, bytes);
    for (const char* reader : {"pil", "magick"}) {
      std::filesystem::path read = folder.path() / (std::string(c.file) + "." + reader);
      ASSERT_EQ(run_python("read-back.py", std::string(reader) + " " + (folder.path() / c.file).string() + " " + read.string()), 0);
      std::vector<uint8_t> seen = read_bytes(read);
      // An uncompressed 32-bit BMP has no alpha; ImageMagick guesses one from the fourth bytes.
      if (c.format == ImageFormat::bmp)
        for (size_t i = 3; i < seen.size(); i += 4) seen[i] = 255;
      EXPECT_EQ(rgba_difference(visible(seen), expected, 0), "") << c.file << " read by " << reader;
    }
  }
}

TEST(Encoders, JpegKeepsASmoothImageAbove35Decibels) {
  Source source = smooth_source(96, 64);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(jpeg_encode(source.pixels.data(), source.width, source.height, bytes));
  DecodedImage back;
  ASSERT_TRUE(jpeg_decode(bytes, back));
  double squared = 0;
  std::vector<uint8_t> a = rgba_bytes(source.pixels), b = rgba_bytes(back.pixels);
  int samples = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (i % 4 == 3) {
      EXPECT_EQ(b[i], 255);
      continue;
    }
    squared += (a[i] - b[i]) * (a[i] - b[i]);
    ++samples;
  }
  double psnr = 10 * std::log10(255.0 * 255.0 / (squared / samples));
  EXPECT_GT(psnr, 35.0);
}

TEST(Encoders, GifQuantisesPastTwoHundredFiftyFiveColours) {
  Source source = seeded_source(64, 64, 4000, true, false);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(gif_encode(source.pixels.data(), source.width, source.height, bytes));
  DecodedImage back;
  ASSERT_TRUE(gif_decode(bytes, back));
  ASSERT_EQ(back.pixels.size(), source.pixels.size());
  for (size_t i = 0; i < source.pixels.size(); ++i)
    EXPECT_EQ(back.pixels[i] >> 24, source.pixels[i] >> 24 < 128 ? 0u : 255u) << i;
}

}  // namespace
}  // namespace qel
