// qelbin-round-trip-test.cpp: both variants both ways: values to the exact bytes and back,
// shared and cyclic series, round trips of every serializable type, normal-mode images, and
// the refusal of damaged images.
#include "qelbin-fixture.h"

#include "runtime/gc-root.h"

namespace qel::testing {
namespace {

struct ImageRow {
  const char* code;
  const char* image;
};

// Encoding gives the bytes; decoding the bytes gives the value back (molded alike).
TEST_F(QelbinTest, ValuesEncodeToTheirExactBytesAndDecodeBack) {
  const ImageRow rows[] = {
      {"pick [100] 1", "51454C42494E020101030BC801"},
      {"pick [-65] 1", "51454C42494E020101030B8101"},
      {"pick [63] 1", "51454C42494E02010101BF"},
      {"false", "51454C42494E02010101C3"},
      {"pick [2.5] 1", "51454C42494E020101090C0000000000000440"},
      {"pick [-3.0] 1", "51454C42494E020101024C05"},
      {"pick [-0.0] 1", "51454C42494E020101090C0000000000000080"},
      {"pick [2147483000.0] 1", "51454C42494E020101064CF0F5FFFF0F"},
      {"pick [3000000000.0] 1", "51454C42494E020101090C000000C00B5AE641"},
      {"pick [25%] 1", "51454C42494E020101026632"},
      {"pick [12.5%] 1", "51454C42494E0201010926000000000000C03F"},
      {"pick [0:30] 1", "51454C42494E020101036B901C"},
      {"pick [\"h\xC3\xA9llo\"] 1", "51454C42494E02010107071468E96C6C6F"},
      {"pick [\"\xCE\xA9\"] 1", "51454C42494E020101040705A903"},
      {"pick [#\"\xC3\xA9\"] 1", "51454C42494E020101030AE901"},
      {"pick [3x4] 1", "51454C42494E02010103250608"},
      {"pick [1.2.3.4] 1", "51454C42494E02010106670401020304"},
      {"pick [[a b a]] 1", "51454C42494E02050108020400000000020000006100620005030F000F010F00"},
  };
  for (const ImageRow& row : rows) {
    SCOPED_TRACE(row.code);
    const Cell value = eval_text(row.code);
    EXPECT_EQ(encode_hex(value), row.image);
    const Cell decoded = decode(unhex(row.image));
    EXPECT_EQ(mold_all(decoded), mold_all(value));
  }
}

TEST_F(QelbinTest, ASeriesMetTwiceComesBackAsOneSeries) {
  const Cell pair = eval_text("b: [1] reduce [b b]");
  EXPECT_EQ(encode_hex(pair), "51454C42494E0201010A0502050181C105020000");
  define("d", decode(unhex("51454C42494E0201010A0502050181C105020000")));
  expect_molds({{"same? pick d 1 pick d 2", "true"}});

  const Cell cycle = eval_text("b: [1] append/only b b");
  EXPECT_EQ(encode_hex(cycle), "51454C42494E02010107050281C1050100");
  define("d", decode(unhex("51454C42494E02010107050281C1050100")));
  expect_molds({{"same? d pick d 2", "true"}});
}

TEST_F(QelbinTest, TheRecordVariantWritesWordsAndReadsThemBack) {
  const ImageRow rows[] = {
      {"pick [100] 1", "51454C42494E020001000000080000000B00000064000000"},
      {"pick [\"Qel\"] 1", "51454C42494E0200010000001000000007010000000000000300000051656C00"},
      {"pick [[1 2.5]] 1",
       "51454C42494E020001000000240000000500000000000000020000000B00000001000000000000000C0000000000044000000000"},
  };
  for (const ImageRow& row : rows) {
    SCOPED_TRACE(row.code);
    const Cell value = eval_text(row.code);
    EXPECT_EQ(encode_hex(value, false), row.image);
    EXPECT_EQ(mold_all(decode(unhex(row.image))), mold_all(value));
  }
}

// Every serializable type, decoded and encoded again in both variants: the same text and the
// same bytes.
TEST_F(QelbinTest, EveryWritableTypeRoundTrips) {
  const char* values[] = {
      "none", "()", "integer!", "#\"a\"", "123456789", "-1.5e300", "1:02:03.5", "-7x9",
      "(1.5, -2.5)", "(1.5, 2.5, -3.5)", "1-Feb-2020", "1-Feb-2020/10:20:30+5:30", "29-Feb-2024/23:59:59",
      "make typeset! [integer! block!]", "255.0.10", "1.2.3.4.5.6.7.8.9.10.11.12", "-$12.34", "$0",
      "#issue-word", "pick ['lit] 1", "pick [:get] 1", "pick [set:] 1", "/refine", "pick [(1 2)] 1", "pick [a/b/c] 1", "pick ['a/b] 1", "pick [a/b:] 1",
      "pick [:a/b] 1", "next [1 2 3]", "%file.txt", "http://example.com/x", "<tag a>", "me@example.com",
      "#{0102FF}", "next #{0102}", "make bitset! \"abc\"", "complement make bitset! \"a\"",
      "make vector! [integer! 8 [1 2 3]]", "make vector! [integer! 16 [-1 2]]", "make vector! [integer! 32 [7]]",
      "make vector! [char! 8 [#\"A\" #\"B\"]]", "make vector! [float! 32 [1.5]]", "make vector! [float! 64 [2.5]]",
      "make vector! [percent! 64 [50%]]", "make hash! [a 1 b 2]", "m: make map! [a 1 b 2 c 3] remove/key m 'b m",
      "make object! [a: 1 b: [x y] c: \"z\"]", ":append", ":add", "try [1 / 0]",
      "func [a] [a * 2]", "make op! func [a b] [a + b]",
      "o: make object! [x: 1 on-change*: func [w o n] [x: n]] o",
      "make image! [2x2 #{0102030405060708090A0B0C}]", "next make image! 3x1", "make image! 0x0",
      "i: make image! 1x1 reduce [i next i]",
      "\"wide \xE2\x82\xAC\"", "\"\xF0\x9F\x98\x80\"", "[[a] [b c] (d)]",
  };
  for (const char* code : values) {
    for (bool compact : {true, false}) {
      SCOPED_TRACE(std::string(code) + (compact ? " compact" : " records"));
      const Cell value = eval_text(code);
      const std::vector<uint8_t> bytes = encoded(value, compact);
      const Cell decoded = decode(bytes);
      EXPECT_EQ(mold_all(decoded), mold_all(value));
      EXPECT_EQ(hex(encoded(decoded, compact)), hex(bytes));
    }
  }
}

TEST_F(QelbinTest, DecodedFunctionsAndObjectsWork) {
  for (bool compact : {true, false}) {
    SCOPED_TRACE(compact ? "compact" : "records");
    define("f", decode(encoded(eval_text("func [a] [a * 2]"), compact)));
    define("g", decode(encoded(eval_text("make op! func [a b] [a - b]"), compact)));
    define("o", decode(encoded(eval_text("make object! [a: 1 get-a: does [a]]"), compact)));
    define("w", decode(encoded(eval_text("p: make object! [x: 7] reduce [in p 'x in p 'x p]"), compact)));
    expect_molds({{"f 21", "42"}, {"10 g 3", "7"}, {"o/a: 5 o/get-a", "5"}, {"get pick w 1", "7"},
                  {"set pick w 1 9 get pick w 2", "9"}, {"o2: pick w 3 o2/x", "9"}});
  }
}

}  // namespace
}  // namespace qel::testing
