// Seeded mutation runs of every decoder and of the sniffing dispatch, through the entries a
// libFuzzer driver calls: first the seeded fixtures and the PngSuite (its corrupt files too) as
// they are, then mutations of them for a few seconds in all. Any input ends in a decoded image
// of the declared size or a refusal with nothing kept; the sanitize preset runs the same.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "tests/images/image-fixtures.h"

namespace qel {
namespace {

using Entry = int (*)(const uint8_t*, size_t);

// Every file the runs start from: the fixtures made for the run and the PngSuite.
std::vector<std::vector<uint8_t>> corpus(const TemporaryFolder& folder) {
  std::vector<std::vector<uint8_t>> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    if (entry.path().extension() != ".rgba" && entry.path().extension() != ".txt") files.push_back(read_bytes(entry.path()));
  if (std::filesystem::exists(kPngSuite))
    for (const char* part : {"png", "bmp"})
      for (const auto& entry : std::filesystem::directory_iterator(kPngSuite / part)) files.push_back(read_bytes(entry.path()));
  return files;
}

// A copy with a few bytes changed, a run repeated or the end cut off.
std::vector<uint8_t> mutated(std::vector<uint8_t> bytes, std::mt19937& random) {
  if (bytes.empty()) return bytes;
  switch (random() % 4) {
    case 0:
      for (int n = 1 + random() % 4; n > 0; --n) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      break;
    case 1: bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
    case 2: bytes.resize(random() % bytes.size()); break;
    default: {
      size_t at = random() % bytes.size(), n = std::min<size_t>(random() % 64, bytes.size() - at);
      std::vector<uint8_t> run(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(at + n));
      bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(at), run.begin(), run.end());
    }
  }
  return bytes;
}

// Whatever the decoders answer, a decoded image holds exactly its declared pixels.
bool sound(std::span<const uint8_t> bytes) {
  DecodedImage image;
  DecodeOutcome outcome = image_decode_bytes(bytes, image);
  if (outcome != DecodeOutcome::decoded) return image.pixels.empty();
  return image.width > 0 && image.height > 0 && image.pixels.size() == static_cast<size_t>(image.width * image.height);
}

TEST(ImageFuzz, DecodersTakeAnyBytes) {
  TemporaryFolder folder;
  ASSERT_EQ(run_python("make-fixtures.py", folder.path().string()), 0);
  const std::vector<std::vector<uint8_t>> files = corpus(folder);
  const Entry entries[] = {fuzz_png_decode, fuzz_jpeg_decode, fuzz_gif_decode, fuzz_tiff_decode, fuzz_bmp_decode,
                           fuzz_image_decode};
  for (const auto& file : files) {
    for (Entry entry : entries) EXPECT_EQ(entry(file.data(), file.size()), 0);
    EXPECT_TRUE(sound(file));
  }
  std::mt19937 random(20261211);
  const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int runs = 0;
  while (std::chrono::steady_clock::now() < stop) {
    std::vector<uint8_t> bytes = mutated(files[random() % files.size()], random);
    ASSERT_TRUE(sound(bytes)) << "run " << runs;
    for (Entry entry : entries) entry(bytes.data(), bytes.size());
    ++runs;
  }
  EXPECT_GT(runs, 0);
}

}  // namespace
}  // namespace qel
