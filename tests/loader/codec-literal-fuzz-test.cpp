// Seeded mutation fuzzing of the base decoders, percent decoding and the literals of binary!,
// file!, url!, email!, ref! and tag!: mutated texts decode or are refused (never a write past the
// capacity the decoder announced: buffers are sized exactly), loads give values or catalog
// errors only, and every file! and url! that loads molds to text that loads back as the same.
#include <random>
#include <string>
#include <vector>

#include "datatypes/series/base-codecs.h"
#include "datatypes/series/percent-coding.h"
#include "datatypes/series/string-core.h"
#include "lexer-fixture.h"
#include "runtime/action-lookup.h"
#include "runtime/gc-root.h"

namespace qel {
namespace {

using namespace qel::testing;

constexpr std::string_view kMutationBytes =
    "%\"^;=' \n\t\r{}[]()<>@:/#01289AFafgzQ+-_~.\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80\xC0";

// The text with a few bytes changed, inserted or removed.
std::string mutated(std::string text, std::mt19937& random) {
  for (size_t n = 1 + random() % 3; n > 0; --n) {
    size_t at = text.empty() ? 0 : random() % (text.size() + 1);
    char byte = random() % 8 ? kMutationBytes[random() % kMutationBytes.size()] : static_cast<char>(random() % 256);
    switch (random() % 3) {
      case 0:
        if (at < text.size()) text[at] = byte;
        break;
      case 1: text.insert(text.begin() + static_cast<ptrdiff_t>(at), byte); break;
      default:
        if (at < text.size()) text.erase(at, 1);
    }
  }
  return text;
}

std::string random_bytes_text(std::mt19937& random, size_t most) {
  std::string bytes(random() % (most + 1), '\0');
  for (char& b : bytes) b = static_cast<char>(random() % 4 ? random() % 256 : 0);
  return bytes;
}

std::string encoded(int32_t base, std::string_view bytes) {
  std::string text(base_encoded_size(base, bytes.size()), '\0');
  uint8_t* end = base_encode(base, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                             reinterpret_cast<uint8_t*>(text.data()));
  text.resize(static_cast<size_t>(end - reinterpret_cast<uint8_t*>(text.data())));
  return text;
}

// Decoded into a buffer of exactly the announced capacity.
std::optional<std::string> decoded(int32_t base, std::string_view text) {
  std::vector<uint8_t> out(base_decoded_capacity(base, text.size()));
  std::optional<size_t> n =
      base_decode_units<uint8_t>(base, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, out.data());
  if (!n) return std::nullopt;
  EXPECT_LE(*n, out.size());
  return std::string(out.begin(), out.begin() + static_cast<ptrdiff_t>(*n));
}

TEST(CodecFuzz, MutatedBaseTextsDecodeWholeOrNotAtAll) {
  std::mt19937 random(31337);
  const int32_t bases[] = {2, 16, 58, 64};
  for (int round = 0; round < 20000; ++round) {
    int32_t base = bases[round % 4];
    std::string bytes = random_bytes_text(random, 40);
    std::string text = mutated(encoded(base, bytes), random);
    SCOPED_TRACE(text);
    std::optional<std::string> first = decoded(base, text);
    if (!first) continue;
    // What decodes is what its own encoding decodes to.
    ASSERT_EQ(decoded(base, encoded(base, *first)), first);
  }
}

TEST(CodecFuzz, MutatedPercentTextDecodesOrIsRefused) {
  std::mt19937 random(4242);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes = random_bytes_text(random, 12);
    std::string escaped;
    percent_encode_utf8(bytes, random() % 2 ? PercentTable::component : PercentTable::locator, escaped);
    std::string text = mutated(escaped, random);
    SCOPED_TRACE(text);
    std::optional<std::vector<uint32_t>> code_points =
        percent_decode({reinterpret_cast<const uint8_t*>(text.data()), text.size(), 1});
    if (code_points) {
      ASSERT_LE(code_points->size(), text.size());
    }
  }
}

// Seeds: literals of every kind these loaders take.
constexpr std::string_view kLiteralSeeds[] = {
    "#{0A0b ; c\n FF}", "2#{00001111 11110000}", "64#{QUJD RA==}", "16#{}", "%\"my file.txt\"", "%a%5Bb%5D/c.txt",
    "%\"q^(22)^^ :@()\"", "http://ex.org/a%20b?q=1#f", "ftp://h/%E2%82%AC", "me@host.org", "@ref", "<p class=\"x\">",
    "<img>", "%caf\xC3\xA9",
};

// The errors a load may raise: syntax errors, and feature-na for the tokens of types not built yet.
bool catalog_error(ErrorId id) {
  return id.category == error_id("syntax", "invalid").category || id == error_id("internal", "feature-na");
}

// The lexer takes no escape in a url's scheme (before its first ":"): a url whose scheme needs
// one has no literal form.
bool scheme_is_plain(const std::string& url) {
  for (char c : url.substr(0, url.find(':')))
    if (!percent_keeps(PercentTable::url_mold, static_cast<uint8_t>(c))) return false;
  return true;
}

std::string molded_utf8(const Cell& value) {
  GcRoot<Cell> text(string_value(new_text_series(16, 1)));
  Cell copy = value;
  lookup_action_for_value<Act::Mold>(copy)(copy, *text, false, false, false, false, 0, 0);
  return text_utf8(*text);
}

TEST_F(LexerTest, MutatedLiteralsLoadOrRaiseCatalogErrorsAndMoldsLoadBack) {
  std::mt19937 random(777);
  for (int round = 0; round < 20000; ++round) {
    std::string text = mutated(std::string(kLiteralSeeds[round % std::size(kLiteralSeeds)]), random);
    SCOPED_TRACE(text);
    GcRoot<Cell> out;
    Caught caught = trap_errors([&] { (void)lexer_transcode(*out, bytes_of(text), LexerRequest{}); });
    if (caught.taken == kThrowError) {
      stack_drop(1);
      ASSERT_TRUE(catalog_error(stand_in_last_error().id)) << stand_in_last_error().id.code();
      continue;
    }
    for (const Cell& value : cells_of(*out)) {
      Type type = cell_type(value);
      if (type != Type::file && (type != Type::url || !scheme_is_plain(text_utf8(value)))) continue;
      std::string mold = molded_utf8(value);
      GcRoot<Cell> again;
      Caught reloaded = trap_errors([&] { (void)lexer_transcode(*again, bytes_of(mold), LexerRequest{}); });
      ASSERT_NE(reloaded.taken, kThrowError) << mold;
      std::vector<Cell> cells = cells_of(*again);
      ASSERT_EQ(cells.size(), 1u) << mold;
      ASSERT_EQ(cell_type(cells[0]), type) << mold;
      ASSERT_EQ(text_utf8(cells[0]), text_utf8(value)) << mold;
    }
  }
}

}  // namespace
}  // namespace qel
