// Percent-encoding and decoding: the rows that matter, every unit, and random text against
// Python's urllib.parse.quote and unquote.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "datatypes/series/percent-coding.h"
#include "datatypes/series/utf8-encode.h"

namespace qel {
namespace {

std::string encoded(std::string_view utf8, PercentTable table) {
  std::string out;
  percent_encode_utf8(utf8, table, out);
  return out;
}

// The text decoded from code points held in units of type U, as UTF-8; "!" for ill-formed.
template <class U>
std::string decoded_as(const std::u32string& text) {
  std::vector<U> units(text.begin(), text.end());
  std::optional<std::vector<uint32_t>> code_points =
      percent_decode({reinterpret_cast<const uint8_t*>(units.data()), units.size(), sizeof(U)});
  if (!code_points) return "!";
  std::string utf8;
  for (uint32_t c : *code_points) {
    uint8_t bytes[4];
    utf8.append(reinterpret_cast<const char*>(bytes), utf8_encode_char(c, bytes));
  }
  return utf8;
}

std::string decoded(const std::u32string& text) {
  std::string wide = decoded_as<uint32_t>(text);
  bool fits_bytes = true;
  for (char32_t c : text) fits_bytes &= c < 256;
  if (fits_bytes) {
    EXPECT_EQ(decoded_as<uint8_t>(text), wide);
  }
  return wide;
}

std::u32string ascii(std::string_view text) { return std::u32string(text.begin(), text.end()); }

TEST(PercentCoding, TablesKeepWhatTheyShould) {
  EXPECT_EQ(encoded("a b/c?d;e\xC3\xA9", PercentTable::locator), "a%20b/c?d%3Be%C3%A9");
  EXPECT_EQ(encoded("a b/c", PercentTable::component), "a%20b%2Fc");
  EXPECT_EQ(encoded("w(1)", PercentTable::locator), "w(1)");
  EXPECT_EQ(encoded("w(1)", PercentTable::url_mold), "w%281%29");
  EXPECT_EQ(encoded("-._~Az09", PercentTable::component), "-._~Az09");
  EXPECT_EQ(encoded("[]%", PercentTable::locator), "%5B%5D%25");
}

TEST(PercentCoding, DecodingRows) {
  struct Row {
    std::u32string text;
    std::string utf8;
  };
  const Row rows[] = {
      {ascii("%41%42"), "AB"},
      {ascii("%c3%A9"), "\xC3\xA9"},
      {ascii("%E2%82%AC!"), "\xE2\x82\xAC!"},
      {ascii("%F0%9F%98%80"), "\xF0\x9F\x98\x80"},
      {ascii("%zz%4"), "%zz%4"},         // no escape: copied
      {ascii("%"), "%"},
      {ascii("%C3x"), "%C3x"},           // a lead without its escapes keeps its "%"
      {ascii("%E2%82"), "%E2\xC2\x82"},  // likewise; %82 alone is U+0082
      {ascii("%80"), "\xC2\x80"},
      {U"\u00E9%20\U0001F600", "\xC3\xA9 \xF0\x9F\x98\x80"},
      {ascii("%C0%AF"), "!"},            // overlong
      {ascii("%ED%A0%80"), "!"},         // a surrogate
      {ascii("%F8%80%80%80"), "!"},
      {ascii("%C3%28"), "!"},
  };
  for (const Row& row : rows) EXPECT_EQ(decoded(row.text), row.utf8);
}

// Random text of ASCII, Latin-1, BMP and astral code points: quoted with each table as Python
// quotes it, and Python's quoting (and ours) decodes back to the text.
TEST(PercentCoding, RandomTextAgreesWithPython) {
  std::mt19937 random(7);
  std::vector<std::string> texts;
  for (int i = 0; i < 200; ++i) {
    std::string text;
    for (size_t n = random() % 40; n > 0; --n) {
      uint32_t kind = random() % 4;
      uint32_t c = kind == 0 ? 0x20 + random() % 0x5F : kind == 1 ? 0xA0 + random() % 0x60
                 : kind == 2 ? 0x100 + random() % 0xD000 : 0x10000 + random() % 0x1000;
      uint8_t bytes[4];
      text.append(reinterpret_cast<const char*>(bytes), utf8_encode_char(c, bytes));
    }
    texts.push_back(text);
  }
  std::string dir = testing::TempDir();
  std::string in_path = dir + "/percent-inputs.txt", script_path = dir + "/percent-reference.py";
  std::ofstream(script_path) << "import sys, urllib.parse as p\n"
                                "for line in open(sys.argv[1], encoding='utf-8'):\n"
                                "    s = bytes.fromhex(line.strip()).decode('utf-8')\n"
                                "    print(p.quote(s, safe=''), p.quote(s, safe=\"!#$&'()*+,/:=?@\"), sep='|')\n";
  std::ofstream in(in_path);
  for (const std::string& text : texts) {
    for (unsigned char c : text) in << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
    in << "\n";
  }
  in.close();
  FILE* pipe = popen(("/usr/bin/python3 " + script_path + " " + in_path + " 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  if (pclose(pipe) != 0) GTEST_SKIP() << "Debian's python3 is not installed";
  std::istringstream lines(output);
  for (const std::string& text : texts) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    std::string component = line.substr(0, line.find('|')), locator = line.substr(line.find('|') + 1);
    EXPECT_EQ(encoded(text, PercentTable::component), component);
    EXPECT_EQ(encoded(text, PercentTable::locator), locator);
    EXPECT_EQ(decoded(ascii(component)), text);
    EXPECT_EQ(decoded(ascii(locator)), text);
  }
}

}  // namespace
}  // namespace qel
