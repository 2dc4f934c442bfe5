// qelbin-refusal-test.cpp: damaged and forged compact images are refused with the catalog's
// errors (never a crash, never a value that breaks later code), and the boot image's readers:
// definitions, words bound to context literals, and the literal table.
#include "qelbin-fixture.h"

#include "runtime/contexts.h"
#include "runtime/symbols.h"

namespace qel::testing {
namespace {

struct RefusalRow {
  const char* what;
  std::vector<uint8_t> bytes;
  const char* error;
};

TEST_F(QelbinTest, ForgedAndBrokenRecordsAreRefused) {
  const std::vector<std::string> a{"a"};
  std::vector<uint8_t> big_char{0x0A};
  append(big_char, varint(0x110000));
  std::vector<uint8_t> unknown_error{0x22};
  append(unknown_error, varint(999999));
  for (int i = 0; i < 6; ++i) unknown_error.push_back(0x03);
  std::vector<uint8_t> money{0x31, 0x00, 0x0A};
  money.resize(13);
  const RefusalRow rows[] = {
      {"C1 string at a block", image({0x05, 0x02, 0x05, 0x01, 0x81, 0xC1, 0x07, 0x02, 0x00, 0x00}), "script/rb-invalid-record"},
      {"C1 map at a block", image({0x05, 0x02, 0x05, 0x00, 0xC1, 0x28, 0x02, 0x00, 0x00}), "script/rb-invalid-record"},
      {"C1 binary at a string", image({0x05, 0x02, 0x07, 0x04, 0x61, 0xC1, 0x29, 0x02, 0x00, 0x00}), "script/rb-invalid-record"},
      {"C1 head past the tail", image({0x05, 0x02, 0x05, 0x01, 0x81, 0xC1, 0x45, 0x02, 0x02, 0x00, 0x00}), "script/rb-invalid-record"},
      {"head past the tail", image({0x45, 0x03, 0x01, 0x81}), "script/rb-invalid-record"},
      {"map of three records", image({0x28, 0x03, 0x81, 0x82, 0x83}), "script/rb-invalid-record"},
      {"map with a refused key", image({0x28, 0x02, 0x05, 0x00, 0x81}), "script/rb-invalid-record"},
      {"char above U+10FFFF", image(big_char), "script/rb-invalid-record"},
      {"datatype 99", image({0x01, 0x63}), "script/rb-invalid-record"},
      {"typeset bit of no type", image({0x21, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), "script/rb-invalid-record"},
      {"typeset of 13 bytes", image({0x21, 0x0D}), "script/rb-invalid-record"},
      {"BCD nibble A", image(money), "script/rb-invalid-record"},
      {"tuple of length 0", image({0x67, 0x00}), "script/rb-invalid-record"},
      {"tuple of length 13", image({0x67, 0x0D, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}), "script/rb-invalid-record"},
      {"string unit code 3", image({0x07, 0x07, 0x61}), "script/rb-invalid-record"},
      {"UCS-4 unit above U+10FFFF", image({0x07, 0x06, 0x00, 0x00, 0x11, 0x00}), "script/rb-invalid-record"},
      {"date F without its time", image({0x6F, 0x80, 0x10, 0xC8, 0x0F}), "script/rb-invalid-record"},
      {"date with a time but no F", image({0x2F, 0x80, 0x10, 0xC9, 0x0F}), "script/rb-invalid-record"},
      {"date of month 13", image({0x2F, 0x80, 0xD0, 0xC8, 0x0F}), "script/rb-invalid-record"},
      {"vector of 2-byte floats", image({0x23, 0x31, 0x00}), "script/rb-invalid-record"},
      {"native 0", image({0x15, 0x00, 0x05, 0x00}), "script/rb-invalid-record"},
      {"native 108", image({0x15, 0x6C, 0x05, 0x00}), "script/rb-invalid-record"},
      {"action 7", image({0x16, 0x07, 0x05, 0x00}), "script/rb-invalid-record"},
      {"action 63", image({0x16, 0x3F, 0x05, 0x00}), "script/rb-invalid-record"},
      {"context on the stack outside a function", image({0x0E, 0x04, 0x00}), "script/rb-invalid-record"},
      {"object context on the stack", image({0x20, 0x00, 0x0E, 0x06, 0x00}), "script/rb-invalid-record"},
      {"object word repeated", image({0x20, 0x00, 0x0E, 0x02, 0x02, 0x00, 0x00}, a), "script/rb-invalid-record"},
      {"word index equal to its context's size",
       image({0x05, 0x02, 0x20, 0x00, 0x0E, 0x12, 0x01, 0x00, 0x80, 0xC1, 0x4F, 0x00, 0x02, 0x02, 0x00, 0x00}, a),
       "script/rb-invalid-record"},
      {"word naming another slot's symbol",
       image({0x05, 0x02, 0x20, 0x00, 0x0E, 0x12, 0x01, 0x00, 0x80, 0xC1, 0x4F, 0x01, 0x00, 0x02, 0x00, 0x00},
             {"a", "b"}),
       "script/rb-invalid-record"},
      {"word without a symbol table", image({0x0F, 0x00}), "script/rb-invalid-record"},
      {"symbol index past the table", image({0x0F, 0x01}, a), "script/rb-invalid-record"},
      {"empty symbol name", image({0x0F, 0x00}, {""}), "script/rb-invalid-record"},
      {"symbol name not UTF-8", image({0x0F, 0x00}, {"\xC3"}), "script/rb-invalid-record"},
      {"path of no index", image({0xFF, 0x00}), "script/rb-invalid-record"},
      {"path of 65,537 indexes", image({0xFF, 0x81, 0x80, 0x04, 0x00}), "script/rb-invalid-record"},
      {"path past its container", image({0x05, 0x01, 0xFF, 0x02, 0x00, 0x05}), "script/rb-invalid-record"},
      {"definition in codec mode", image({0xC4, 0x10, 0x00, 0x87}, a), "script/rb-invalid-record"},
      {"reference before a short integer", image({0xC1, 0x81}), "script/rb-invalid-record"},
      {"type byte C5", image({0xC5}), "script/rb-invalid-record"},
      {"type id 0", image({0x00}), "script/rb-invalid-record"},
      {"type 13", image({0x0D}), "script/rb-invalid-record"},
      {"block count -1", image({0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}), "script/rb-invalid-record"},
      {"varint of a sixth byte", image({0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0x1F}), "script/rb-invalid-record"},
      {"error code the catalog lacks", image(unknown_error), "script/rb-invalid-record"},
      {"function context not on the stack", image({0x18, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x05, 0x00, 0x05, 0x00}),
       "script/rb-invalid-record"},
      {"function context unlike its spec", image({0x18, 0x00, 0x00, 0x0E, 0x04, 0x01, 0x00, 0x05, 0x00, 0x05, 0x00}, a),
       "script/rb-invalid-record"},
      {"image wider than 65535", image({0x35, 0x80, 0x80, 0x04, 0x01}), "script/rb-invalid-record"},
      {"image pixels past the body", image({0x35, 0x02, 0x02, 0x00}), "script/rb-invalid-record"},
      {"handle!", image({0x2E}), "access/no-codec"},
      {"event!", image({0x36}), "access/no-codec"},
      {"seven bytes", {'Q', 'E', 'L', 'B', 'I', 'N', 2}, "script/invalid-data"},
      {"wrong magic", {'q', 'e', 'l', 'b', 'i', 'n', 2, 1, 1, 1, 0x80, 0x80}, "script/invalid-data"},
      {"compressed", {'Q', 'E', 'L', 'B', 'I', 'N', 2, 3, 1, 1, 0x80}, "script/invalid-data"},
  };
  for (const RefusalRow& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(decode_error(row.bytes), row.error);
  }
}

// The failing byte's offset counts from 1 at the magic.
TEST_F(QelbinTest, TheErrorNamesTheFailingOffset) {
  (void)decode_error(image({0x05, 0x02, 0x81, 0xC5}));
  ASSERT_EQ(last_built.args.size(), 1u);
  EXPECT_EQ(mold(last_built.args[0]), "14");
}

TEST_F(QelbinTest, ForgedRecordVariantRecordsAreRefused) {
  auto words = [](std::initializer_list<uint32_t> body) {
    std::vector<uint8_t> out{'Q', 'E', 'L', 'B', 'I', 'N', 2, 0, 1, 0, 0, 0};
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(4 * body.size() >> (8 * i)));
    for (uint32_t w : body)
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return out;
  };
  const RefusalRow rows[] = {
      {"string reference at a block", words({5, 0, 1, 11, 1, 7 | 1u << 19, 0, 255, 2, 0, 0}), "script/rb-invalid-record"},
      {"map of three records", words({40, 3, 11, 1, 11, 2, 11, 3}), "script/rb-invalid-record"},
      {"logic 2", words({4, 2}), "script/rb-invalid-record"},
      {"string unit 3", words({7 | 3u << 8, 0, 1, 0x61}), "script/rb-invalid-record"},
      {"string past the body", words({7 | 1u << 8, 0, 9, 0x61}), "script/rb-invalid-record"},
      {"tuple of length 13", words({39 | 13u << 8, 0, 0, 0}), "script/rb-invalid-record"},
      {"word without a symbol table", words({15 | 1u << 25, 0, 0xFFFFFFFF}), "script/rb-invalid-record"},
      {"native 0", words({21, 0, 5, 0, 0}), "script/rb-invalid-record"},
      {"context on the stack", words({14 | 1u << 29, 0}), "script/rb-invalid-record"},
      {"path of no index", words({255, 0}), "script/rb-invalid-record"},
      {"op! wrapping another type than it says", words({23 | 24u << 16, 21, 1, 5, 0, 0}), "script/rb-invalid-record"},
      {"handle!", words({46}), "access/no-codec"},
      {"header cut short", {'Q', 'E', 'L', 'B', 'I', 'N', 2, 0, 1, 0, 0, 0, 4}, "script/invalid-data"},
  };
  for (const RefusalRow& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(decode_error(row.bytes), row.error);
  }
}

TEST_F(QelbinTest, EveryProperPrefixOfAnImageIsRefused) {
  const char* codes[] = {"100", "2.5", "\"h\xC3\xA9llo\"", "[a b a]", "b: [1] reduce [b b]",
                         "make object! [a: 1 b: \"x\"]", "func [a] [a * 2]", ":append", "try [1 / 0]",
                         "make map! [a 1]", "1-Feb-2020/10:20", "-$1.5"};
  for (const char* code : codes) {
    SCOPED_TRACE(code);
    for (bool compact : {true, false}) {
      const std::vector<uint8_t> bytes = encoded(eval_text(code), compact);
      const size_t header = compact ? 8 : 16;  // the record variant's roots and length are words
      for (size_t n = 0; n < bytes.size(); ++n) {
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_EQ(decode_error(prefix), n < header ? "script/invalid-data" : "script/rb-invalid-record") << n;
      }
    }
  }
}

TEST_F(QelbinTest, ABlockReferenceToANativeIsRefusedAndANativeMetTwiceStillRoundTrips) {
  const Cell natives = eval_text("reduce [:add :add]");
  const std::vector<uint8_t> bytes = bytes_of_binary(qelbin_encode_compact(natives));
  EXPECT_EQ(mold_all(decode(bytes)), mold_all(natives));
  Parts parts = parts_of(bytes);
  parts.body[1] = 3;  // a third record: a block reference to the first native
  append(parts.body, {0xC1, 0x05, 0x02, 0x00, 0x00});
  EXPECT_EQ(decode_error(image(parts.body, parts.names)), "script/rb-invalid-record");
}

TEST_F(QelbinTest, DeepNestingDecodesCleanlyOrEndsInStackOverflow) {
  std::vector<uint8_t> body;
  for (int i = 0; i < 400000; ++i) body.push_back(0x05), body.push_back(0x01);
  body.push_back(0x80);
  const std::string raised = decode_error(image(body));
  EXPECT_TRUE(raised.empty() || raised == "internal/stack-overflow") << raised;
}

TEST_F(QelbinTest, EncodingADeepBlockEndsInACleanResultOrStackOverflow) {
  Cell deep;
  block_make_at(deep, 1);
  root_slot_append(deep);
  Cell inner = deep;
  for (int i = 0; i < 400000; ++i) {
    Cell next;
    block_make_at(next, 1);
    block_append_copy(inner, next);
    inner = next;
  }
  const Caught caught = trap_errors([&] { (void)qelbin_encode_compact(deep); });
  if (caught.taken == kThrowError) {
    stack_drop(1);
    EXPECT_EQ(error_name(last_built.id), "internal/stack-overflow");
  }
}

// --- Normal mode: the boot image's readers --------------------------------------------------------

Cell decode_normal(const std::vector<uint8_t>& bytes) {
  Cell block;
  block_make_at(block, 1);
  root_slot_append(block);
  qelbin_decode(bytes, block, false, make_cell(Type::none));
  return block;
}

TEST_F(QelbinTest, ADefinitionSetsItsWordAndLeavesNoLiteral) {
  const Cell literals = decode_normal(image({0xC4, 0x10, 0x00, 0x87, 0x87}, {"probe-b3"}));
  EXPECT_EQ(mold(literals), "[7]");
  expect_molds({{"probe-b3", "7"}});
}

TEST_F(QelbinTest, AWordOfAContextLiteralBindsIntoIt) {
  // Literal 0: a context of the word a holding 5; then a by slot 0, and b looked up (-1).
  const Cell literals =
      decode_normal(image({0x0E, 0x12, 0x02, 0x00, 0x01, 0x85, 0x86, 0x4F, 0x00, 0x00, 0x00, 0x4F, 0x01, 0x00, 0x01},
                          {"a", "b"}));
  ASSERT_EQ(series_buffer_length(literals.w2), 3u);
  const Cell* cells = series_buffer(literals.w2)->head_cell();
  EXPECT_EQ(cells[1].w1, cells[0].w1);
  EXPECT_EQ(mold(*word_value_cell(cells[1])), "5");
  EXPECT_EQ(mold(*word_value_cell(cells[2])), "6");
  EXPECT_EQ(literal_slot(0)->w1, cells[0].w1);
  EXPECT_EQ(literal_slot_payload(2), cells[2].w2);
}

TEST_F(QelbinTest, ANativeOutsideADefinitionLeavesItsSpecAsALiteral) {
  Parts parts = parts_of(bytes_of_binary(qelbin_encode_compact(eval_text(":add"))));
  const Cell literals = decode_normal(image(parts.body, parts.names));
  ASSERT_EQ(series_buffer_length(literals.w2), 2u);
  EXPECT_EQ(cell_type(series_buffer(literals.w2)->head_cell()[0]), Type::action);
  EXPECT_EQ(cell_type(series_buffer(literals.w2)->head_cell()[1]), Type::block);
}

}  // namespace
}  // namespace qel::testing
