// Loading UTF-8 into text units: unit choice, byte-order mark, line ends, remainder and errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/series/utf8-decode.h"
#include "datatypes/series/utf8-load.h"
#include "tests/series/text-fixtures.h"

namespace qel {
namespace {

// What loading bytes gave: code points and unit, remainder, or the offset of an ill-formed one.
struct Loaded {
  CodePoints code_points;
  unsigned unit = 1;
  size_t remainder = 0;
  bool ill_formed = false;
  size_t error_at = 0;
  bool operator==(const Loaded&) const = default;
};

void PrintTo(const Loaded& loaded, std::ostream* out) {
  *out << ::testing::PrintToString(loaded.code_points) << " unit " << loaded.unit << " remainder "
       << loaded.remainder << (loaded.ill_formed ? " ill-formed at " : " ") << loaded.error_at;
}

// Scans, then loads into units of the scanned unit or the wider one asked for.
Loaded load(const Bytes& bytes, bool crlf, unsigned unit = 0) {
  Utf8Scan scan = utf8_scan(bytes, crlf);
  if (scan.ill_formed) return {{}, 1, 0, true, scan.end};
  unsigned store = std::max(unit, scan.unit);
  CodePoints code_points = written_code_points(scan.code_points, store, [&](uint8_t* out) {
    utf8_load_units(bytes, scan, crlf, out, store);
  });
  return {code_points, scan.unit, scan.remainder};
}

Loaded text(CodePoints code_points, unsigned unit, size_t remainder = 0) { return {std::move(code_points), unit, remainder}; }
Loaded error_at(size_t offset) { return {{}, 1, 0, true, offset}; }

Bytes ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct LoadRow {
  Bytes bytes;
  bool crlf;
  Loaded expected;
};

TEST(Utf8Load, BytesToCodePointsUnitAndRemainder) {
  const LoadRow rows[] = {
      {{}, false, text({}, 1)},
      {{0x41, 0xC3, 0xA9}, false, text({0x41, 0xE9}, 1)},
      {{0xC3, 0xA9}, false, text({0xE9}, 1)},
      {{0xE2, 0x82, 0xAC}, false, text({0x20AC}, 2)},
      {{0xED, 0x9F, 0xBF}, false, text({0xD7FF}, 2)},
      {{0xF4, 0x8F, 0xBF, 0xBF}, false, text({0x10FFFF}, 4)},
      {{0xEF, 0xBF, 0xBF}, false, text({0xFFFF}, 2)},
      {{0xF0, 0x9F, 0x98}, false, text({}, 1, 3)},           // cut short: nothing loads
      {{0x41, 0xE2, 0x82}, false, text({0x41}, 1, 2)},
      {{0xEF, 0xBB, 0xBF}, false, text({}, 1)},              // a byte-order mark alone
      {{0xEF, 0xBB, 0xBF, 0x41}, false, text({0x41}, 1)},
      {{0xEF, 0xBB}, false, text({}, 1, 2)},                 // two bytes are no mark
      {{0x61, 0x0D, 0x0D, 0x0A, 0x62}, true, text({'a', '\n', '\n', 'b'}, 1)},
      {{0x61, 0x0D, 0x0A, 0x62, 0x0D, 0x63}, true, text({'a', '\n', 'b', '\n', 'c'}, 1)},
      {{0x61, 0x0D, 0x0A, 0x62}, false, text({'a', '\r', '\n', 'b'}, 1)},
      {{0x61, 0x0D}, true, text({'a', '\n'}, 1)},
      {ascii("abcdefgh\r\nijklmnopqrs\rtuvwxyz12"), true, text({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', '\n', 'i', 'j',
                                                                'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', '\n', 't',
                                                                'u', 'v', 'w', 'x', 'y', 'z', '1', '2'}, 1)},
      {ascii("0123456789\xF0\x9F\x98\x80"), false, text({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x1F600}, 4)},
      {ascii("0123456789\xF0\x9F"), false, text({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}, 1, 2)},
      {{0xC1, 0xBF}, false, error_at(0)},
      {{0xC0, 0x80}, false, error_at(0)},
      {{0xE0, 0x9F, 0xBF}, false, error_at(0)},
      {{0xF0, 0x8F, 0xBF, 0xBF}, false, error_at(0)},
      {{0xED, 0xA0, 0x80}, false, error_at(0)},
      {{0xED, 0xB0, 0x80}, false, error_at(0)},
      {{0xEF, 0xBF, 0xBE}, false, error_at(0)},
      {{0xF4, 0x90, 0x80, 0x80}, false, error_at(0)},
      {{0x80}, false, error_at(0)},
      {{0xFE}, false, error_at(0)},
      {{0xC3, 0x28}, false, error_at(0)},
      {ascii("abcdefghi\xC3\x28xyz"), false, error_at(9)},
      {ascii("abcdefghi\xE2\x28"), false, error_at(9)},     // cut short, but already ill-formed
  };
  for (const LoadRow& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.bytes));
    EXPECT_EQ(load(row.bytes, row.crlf), row.expected);
  }
}

TEST(Utf8Load, IntoAWiderUnitThanNeeded) {
  const Bytes bytes = ascii("caf\xC3\xA9 0123456789");
  for (unsigned unit : {2u, 4u}) {
    Loaded loaded = load(bytes, false, unit);
    EXPECT_EQ(loaded.unit, 1u);
    EXPECT_EQ(loaded.code_points, CodePoints({'c', 'a', 'f', 0xE9, ' ', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}));
  }
}

TEST(Utf8Load, TheErrorShowsOnlyTheBytesThatExist) {
  const Bytes bytes = {0x41, 0xC3, 0x28};
  Utf8Scan scan = utf8_scan(bytes, false);
  ASSERT_TRUE(scan.ill_formed);
  std::span<const uint8_t> shown = utf8_error_bytes(bytes.data() + scan.end, bytes.data() + bytes.size());
  EXPECT_EQ(Bytes(shown.begin(), shown.end()), Bytes({0xC3, 0x28}));
}

}  // namespace
}  // namespace qel
