// Fixtures of the image codec tests: seeded files made at test time by make-fixtures.py (with
// the RGBA bytes a reference reader sees), the PngSuite read in place, and comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "datatypes/series/image-codecs/image-codecs.h"

namespace qel {

inline std::vector<uint8_t> read_bytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

inline void write_bytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder below the system's temporary one, removed when the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qel-images-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TemporaryFolder() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs Debian's own python3 (the one that has PIL) on a script of this folder.
inline int run_python(const std::string& script, const std::string& arguments) {
  std::string command = "/usr/bin/python3 " QEL_SOURCE_DIR "/tests/images/" + script + " " + arguments;
  return std::system(command.c_str());
}

inline const std::filesystem::path kPngSuite = QEL_SOURCE_DIR "/../shared/data/pngsuite";

// A decoded image's pixel words, to compare.
inline std::vector<uint32_t> words_of(const PixelWords& pixels) { return {pixels.begin(), pixels.end()}; }

// The RGBA bytes of plain pixel words.
inline std::vector<uint8_t> rgba_bytes(std::span<const uint32_t> pixels) {
  std::vector<uint8_t> bytes;
  for (uint32_t p : pixels)
    bytes.insert(bytes.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                               static_cast<uint8_t>(p >> 24)});
  return bytes;
}

// Empty when the two agree within the tolerance per channel, else where they first differ.
inline std::string rgba_difference(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& theirs, int tolerance) {
  if (ours.size() != theirs.size()) return "sizes " + std::to_string(ours.size()) + " and " + std::to_string(theirs.size());
  for (size_t i = 0; i < ours.size(); ++i)
    if (std::abs(int{ours[i]} - int{theirs[i]}) > tolerance)
      return "byte " + std::to_string(i) + ": " + std::to_string(ours[i]) + " against " + std::to_string(theirs[i]);
  return "";
}

}  // namespace qel
