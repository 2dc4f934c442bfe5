// text-codec-fuzz-test.cpp: seeded random and mutated text through the JSON decoder and the CSV
// reader, in strings of every unit width: each answers a value, a returned error value or one
// of its catalog errors, never a crash; what decodes encodes and decodes again to the same.
#include <random>
#include <string>
#include <vector>

#include "../evaluator/eval-fixture.h"
#include "datatypes/series/string-core.h"
#include "loader/codecs/csv.h"
#include "loader/codecs/json-decoder.h"
#include "loader/codecs/json-encoder.h"

namespace qel::testing {
namespace {

class TextCodecFuzzTest : public EvalTest {
 protected:
  // A string! of the text, rooted: UTF-8 sequences as their code points, any other byte (a
  // sequence a mutation cut) as itself; appending widens the unit as wider characters come.
  static Cell text_cell(const std::string& text) {
    Cell string;
    string_make_at(string, static_cast<int64_t>(text.size()));
    root_slot_append(string);
    for (size_t i = 0; i < text.size();) {
      const auto lead = static_cast<uint8_t>(text[i]);
      const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      uint32_t c = lead & (0xFF >> (length + 1));
      bool whole = i + length <= text.size();
      for (size_t k = 1; whole && k < length; ++k) {
        whole = (static_cast<uint8_t>(text[i + k]) & 0xC0) == 0x80;
        c = c << 6 | (static_cast<uint8_t>(text[i + k]) & 0x3F);
      }
      if (length == 1 || !whole) c = lead;
      string_append_char(string.w2, c);
      i += length == 1 || !whole ? 1 : length;
    }
    return string;
  }

  // Runs the call with errors trapped: the catalog name of the error raised, or "".
  template <class Call>
  static std::string raised(Call&& call) {
    Cell* top = value_stack.top;
    const Caught caught = trap_errors(call);
    value_stack.top = top;
    return caught.taken == kThrowError ? error_name(last_built.id) : "";
  }
};

// Pieces of JSON and near misses; a character of any width now and then.
std::string random_json(std::mt19937& random) {
  static constexpr std::string_view kPieces[] = {
      "[", "]", "{", "}", ",", ":", " ", "\n", "\r\n", "\t", "\"k\"", "\"K\"", "\"a b\"", "\"\"", "\"\\u00e9\"",
      "\"\\uD83D\\uDE00\"", "\"\\uD83D\"", "\"\\uDC00\"", "\"\\n\\t\\\\\\\"\"", "\"\\x\"", "\"\\u12\"", "0", "-0",
      "12", "-2147483648", "4294967296", "1.5", "1e400", "-1e-400", "2.5E+3", "01", "1.", ".5", "+1", "-",
      "true", "false", "null", "TRUE", "nul", "\xC3\xA9", "\xE2\x98\xBA", "\xF0\x9F\x98\x80", "\"\xE2\x98\xBA\"",
      "\x01"};
  std::string text;
  for (size_t n = random() % 30; n > 0; --n) text += kPieces[random() % std::size(kPieces)];
  return text;
}

// Mostly well-formed JSON, cut or with a piece changed now and then.
std::string json_like(std::mt19937& random) {
  static constexpr std::string_view kDocuments[] = {
      "{\"a\": [1, 2.5, \"x\"], \"A\": {\"b\": null, \"c d\": [true, false]}}",
      "[[], {}, [[\"\\u263A\"]], -0.0, 1e-7, \"tab\\tnew\\nline\"]", " \"\\uD83D\\uDE80 \xC3\xA9\" ",
      "{\"\": 1, \"1st\": 2, \"k\": {\"k\": {\"k\": []}}}"};
  std::string text(kDocuments[random() % std::size(kDocuments)]);
  for (size_t n = random() % 3; n > 0 && !text.empty(); --n) {
    const size_t at = random() % text.size();
    switch (random() % 4) {
      case 0: text.erase(at, 1 + random() % 3); break;
      case 1: text.insert(at, random_json(random).substr(0, 4)); break;
      case 2: text[at] = static_cast<char>(random() % 128); break;
      default: text.resize(at); break;
    }
  }
  return text;
}

TEST_F(TextCodecFuzzTest, JsonDecodesToValuesThatEncodeAndDecodeAgainOrToItsErrors) {
  std::mt19937 random(20261211);
  int decoded = 0;
  for (int round = 0; round < 6000; ++round) {
    const std::string text = round % 2 ? random_json(random) : json_like(random);
    const Cell input = text_cell(text);
    Cell value;
    const std::string error = raised([&] { value = json_decode(input); });
    if (!error.empty()) {
      ASSERT_TRUE(error == "script/invalid-data" || error == "math/overflow") << error << " for " << text;
      continue;
    }
    if (cell_type(value) == Type::error) continue;
    ++decoded;
    root_slot_append(value);
    Cell again;
    ASSERT_EQ(raised([&] {
                const Cell encoded = json_encode(value, make_cell(Type::none), round % 3 == 0);
                root_slot_append(encoded);
                again = json_decode(encoded);
              }),
              "")
        << text;
    ASSERT_EQ(mold(again), mold(value)) << text;
  }
  EXPECT_GT(decoded, 500);  // the rounds reach past the first character
}

TEST_F(TextCodecFuzzTest, DeepNestingIsTooDeepAtItsLimitAndNoCrashBelowIt) {
  const std::string deep(kJsonMaxNesting, '[');
  EXPECT_EQ(raised([&] { (void)json_decode(text_cell(deep + "[")); }), "internal/too-deep");
  Cell value;
  EXPECT_EQ(raised([&] { value = json_decode(text_cell(deep)); }), "");
  EXPECT_EQ(cell_type(value), Type::error);  // unclosed, not too deep
}

// CSV text over the characters its grammar knows.
std::string random_csv(std::mt19937& random) {
  static constexpr std::string_view kPieces[] = {",", ";", "||", "|", "\"", "\"\"", "'", "\r", "\n", "\r\n", " ",
                                                 "\t", "a", "bc", "\xC3\xA9", "\xE2\x98\xBA", "\xF0\x9F\x98\x80"};
  std::string text;
  for (size_t n = random() % 40; n > 0; --n) text += kPieces[random() % std::size(kPieces)];
  return text;
}

TEST_F(TextCodecFuzzTest, CsvRowsWriteAndReadBackTheSameOrTheTextIsInvalid) {
  const Cell quotable = run("make bitset! [32 10 13 34 39 44 59 124]").value;
  root_slot_append(quotable);
  const Cell delimiters[] = {make_cell(Type::char_, 0, ','), make_cell(Type::char_, 0, ';'), text_cell("||")};
  std::mt19937 random(20261211);
  int read = 0;
  for (int round = 0; round < 6000; ++round) {
    const std::string text = random_csv(random);
    const Cell& delimiter = delimiters[random() % std::size(delimiters)];
    const uint32_t quote = random() % 4 ? '"' : '\'';
    const bool trim = random() % 4 == 0;
    Cell rows;
    ASSERT_EQ(raised([&] { rows = csv_read(text_cell(text), delimiter, quote, trim); }), "") << text;
    if (cell_type(rows) == Type::error) continue;
    ASSERT_EQ(cell_type(rows), Type::block);
    root_slot_append(rows);
    ++read;
    // Each row written as a line and read back is that row again.
    for (int64_t i = 0; i < block_total_cells(rows); ++i) {
      const Cell row = *block_cell_at(rows, i);
      Cell back;
      ASSERT_EQ(raised([&] {
                  const Cell line = csv_line(row, delimiter, quote, quotable);
                  root_slot_append(line);
                  back = csv_read(line, delimiter, quote, false);
                }),
                "");
      ASSERT_EQ(cell_type(back), Type::block) << text;
      ASSERT_EQ(mold(*block_cell_at(back, 0)), mold(row)) << text;
    }
  }
  EXPECT_GT(read, 3000);
}

}  // namespace
}  // namespace qel::testing
