// The base 2, 16, 58 and 64 codecs: rows of valid and invalid text, every unit, and random bytes
// both ways against Python's base64, binascii and base58 modules.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "datatypes/series/base-codecs.h"

namespace qel {
namespace {

using Bytes = std::vector<uint8_t>;

std::string encoded(int32_t base, const Bytes& bytes) {
  std::string text(base_encoded_size(base, bytes.size()), '\0');
  uint8_t* end = base_encode(base, bytes, reinterpret_cast<uint8_t*>(text.data()));
  text.resize(static_cast<size_t>(end - reinterpret_cast<uint8_t*>(text.data())));
  return text;
}

// The text decoded from code points stored in units of type U.
template <class U>
std::optional<Bytes> decoded_as(int32_t base, const std::u32string& text) {
  std::vector<U> units(text.begin(), text.end());
  Bytes out(base_decoded_capacity(base, units.size()));
  std::optional<size_t> n = base_decode_units<U>(base, units, out.data());
  if (!n) return std::nullopt;
  out.resize(*n);
  return out;
}

// Decodes in all three units and checks that they agree.
std::optional<Bytes> decoded(int32_t base, const std::u32string& text) {
  std::optional<Bytes> wide = decoded_as<uint32_t>(base, text);
  EXPECT_EQ(decoded_as<uint16_t>(base, text), wide);
  bool fits_bytes = true;
  for (char32_t c : text) fits_bytes &= c < 256;
  if (fits_bytes) {
    EXPECT_EQ(decoded_as<uint8_t>(base, text), wide);
  }
  return wide;
}

std::optional<Bytes> decoded(int32_t base, const std::string& ascii) {
  return decoded(base, std::u32string(ascii.begin(), ascii.end()));
}

TEST(BaseCodecs, KnownTexts) {
  EXPECT_EQ(encoded(64, {0x41}), "QQ==");
  EXPECT_EQ(encoded(64, {0x41, 0x42}), "QUI=");
  EXPECT_EQ(encoded(58, {0, 0}), "11");
  EXPECT_EQ(encoded(58, {0, 0, 0xFF}), "115Q");
  EXPECT_EQ(encoded(58, {}), "");
  EXPECT_EQ(encoded(16, {0xAB, 0x01}), "AB01");
  EXPECT_EQ(encoded(2, {0x0F}), "00001111");
  struct Row {
    int32_t base;
    const char* text;
    std::optional<Bytes> bytes;
  };
  const Row rows[] = {
      {64, "QQ==", Bytes{0x41}},
      {64, "QUJD ; c\nRA==", Bytes{0x41, 0x42, 0x43, 0x44}},
      {64, "QUI=", Bytes{0x41, 0x42}},
      {64, "QUI= ; after the padding\n ", Bytes{0x41, 0x42}},
      {64, " ' \t\r\n\b\f", Bytes{}},
      {64, "Q===", std::nullopt},
      {64, "QQ=", std::nullopt},  // padding short of the group
      {64, "QUJDRA", std::nullopt},  // an unpadded last group
      {64, "QQ==QQ==", std::nullopt},  // text after the padding
      {64, "QUJ*", std::nullopt},
      {16, "0a0B ff", Bytes{0x0A, 0x0B, 0xFF}},
      {16, "", Bytes{}},
      {16, "0F0", std::nullopt},  // an odd digit
      {16, "0G", std::nullopt},
      {16, "=0", std::nullopt},
      {2, "00001111 11110000", Bytes{0x0F, 0xF0}},
      {2, "0000111", std::nullopt},
      {2, "00002111", std::nullopt},
      {58, "115Q", Bytes{0, 0, 0xFF}},
      {58, " 1 1 5Q ; x", Bytes{0, 0, 0xFF}},
      {58, "0", std::nullopt},  // not in the alphabet
      {58, "I", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(decoded(row.base, std::string(row.text)), row.bytes) << row.base << " " << row.text;
}

// Code points above 127 make any text invalid, in every base: none is folded or ends the input.
TEST(BaseCodecs, WideCodePointsAreInvalid) {
  EXPECT_EQ(decoded(16, U"\u00E41"), std::nullopt);  // would fold to "d1"
  EXPECT_EQ(decoded(16, U"\u01301"), std::nullopt);
  EXPECT_EQ(decoded(58, U"2\u00E9"), std::nullopt);
  EXPECT_EQ(decoded(64, U"QQ\u00C1="), std::nullopt);
  EXPECT_EQ(decoded(2, U"0000000\U0001F600"), std::nullopt);
}

// Python's modules as the reference: one line per input, the hex of the bytes in, the four
// encodings out.
std::vector<std::vector<std::string>> python_encodings(const std::vector<Bytes>& inputs) {
  const char* python = "/usr/bin/python3";
  std::string dir = testing::TempDir();
  std::string in_path = dir + "/codec-inputs.txt", script_path = dir + "/codec-reference.py";
  std::ofstream(script_path) << "import sys, base64, binascii, base58\n"
                                "for line in open(sys.argv[1]):\n"
                                "    b = bytes.fromhex(line.strip())\n"
                                "    bits = ''.join(format(x, '08b') for x in b)\n"
                                "    print(base64.b64encode(b).decode(), binascii.hexlify(b).decode().upper(),\n"
                                "          base58.b58encode(b).decode(), bits, sep='|')\n";
  std::ofstream in(in_path);
  for (const Bytes& bytes : inputs) in << encoded(16, bytes) << "\n";
  in.close();
  std::string command = std::string(python) + " " + script_path + " " + in_path + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::vector<std::vector<std::string>> lines;
  if (!pipe) return lines;
  char buffer[4096];
  std::string output;
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  if (pclose(pipe) != 0) return {};
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '|');) fields.push_back(field);
    while (fields.size() < 4) fields.emplace_back();
    lines.push_back(fields);
  }
  return lines;
}

TEST(BaseCodecs, RandomBytesAgreeWithPythonBothWays) {
  std::mt19937 random(2026);
  std::vector<Bytes> inputs;
  for (int i = 0; i < 300; ++i) {
    Bytes bytes(random() % 301);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    size_t zeros = random() % 4 == 0 ? std::min<size_t>(bytes.size(), random() % 5) : 0;
    std::fill_n(bytes.begin(), zeros, 0);  // leading zeros, which base 58 writes as "1"
    inputs.push_back(bytes);
  }
  std::vector<std::vector<std::string>> reference = python_encodings(inputs);
  if (reference.size() != inputs.size()) GTEST_SKIP() << "Debian's python3 with python3-base58 is not installed";
  const int32_t bases[] = {64, 16, 58, 2};
  for (size_t i = 0; i < inputs.size(); ++i) {
    for (size_t k = 0; k < 4; ++k) {
      EXPECT_EQ(encoded(bases[k], inputs[i]), reference[i][k]) << "input " << i << " base " << bases[k];
      EXPECT_EQ(decoded(bases[k], reference[i][k]), inputs[i]) << "input " << i << " base " << bases[k];
    }
  }
}

}  // namespace
}  // namespace qel
