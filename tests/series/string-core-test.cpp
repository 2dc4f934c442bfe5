// The string core: the unit rules of each writer, poking past the tail, writing text that lies
// in its own buffer, removing, and exchanging spans.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "runtime/utf8.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

using StringCore = StringTest;

// What each way of adding one code point to a 1-byte "ab" leaves: the unit and the text.
TEST_F(StringCore, EachWriterWidensByItsOwnRule) {
  enum Writer { append, put, poke, insert, load };
  struct Row {
    Writer writer;
    uint32_t c;
    unsigned unit;
    CodePoints text;
  };
  const Row rows[] = {
      {append, 0x41, 1, {'a', 'b', 0x41}},     {append, 0xE9, 2, {'a', 'b', 0xE9}},
      {append, 0x1F600, 4, {'a', 'b', 0x1F600}}, {put, 0xE9, 1, {'a', 0xE9}},
      {put, 0x100, 2, {'a', 0x100}},           {put, 0x1F600, 4, {'a', 0x1F600}},
      {poke, 0xE9, 1, {'a', 0xE9}},            {poke, 0x100, 2, {'a', 0x100}},
      {insert, 0xE9, 1, {'a', 0xE9, 'b'}},     {insert, 0x20AC, 2, {'a', 0x20AC, 'b'}},
      {load, 0xE9, 1, {'a', 'b', 0xE9}},       {load, 0x10FFFF, 4, {'a', 'b', 0x10FFFF}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "writer " << row.writer << " U+" << std::hex << row.c);
    NodeId node = text_value("ab").w2;
    uint8_t utf8[4];
    switch (row.writer) {
      case append: string_append_char(node, row.c); break;
      case put: string_put_char(node, 1, row.c); break;
      case poke: string_poke_char(node, 1, row.c); break;
      case insert: string_insert_char(node, 1, row.c); break;
      case load: string_append_utf8(node, std::string_view(reinterpret_cast<char*>(utf8), utf8_encode(row.c, utf8))); break;
    }
    EXPECT_EQ(text_unit(node), row.unit);
    EXPECT_EQ(code_points_of(node), row.text);
  }
}

TEST_F(StringCore, TwoByteTextWidensOnlyBeyondTheBmp) {
  NodeId node = text_value("\xE2\x82\xAC").w2;  // U+20AC
  string_append_char(node, 0xE9);
  EXPECT_EQ(text_unit(node), 2u);
  string_append_char(node, 0x10000);
  EXPECT_EQ(text_unit(node), 4u);
  EXPECT_EQ(code_points_of(node), CodePoints({0x20AC, 0xE9, 0x10000}));
}

TEST_F(StringCore, WideningABufferKeepsEveryCodePoint) {
  const CodePoints latin1 = {0x00, 0x41, 0x7F, 0x80, 0xE9, 0xFF};
  const CodePoints bmp = {0x41, 0xE9, 0x20AC, 0xD800, 0xFFFF};
  struct Row {
    const CodePoints& text;
    unsigned from;
    unsigned to;
  };
  for (const Row& row : {Row{latin1, 1, 2}, Row{latin1, 1, 4}, Row{bmp, 2, 4}}) {
    // Exactly full, so the widening must grow the buffer first.
    Cell value = code_point_value(row.text, row.from);
    series_buffer(value.w2)->capacity = static_cast<uint32_t>(row.text.size() * row.from + 15) & ~15u;
    string_widen_to(value.w2, row.to);
    EXPECT_EQ(text_unit(value.w2), row.to);
    EXPECT_EQ(code_points_of(value.w2), row.text);
  }
}

// Poking far past the capacity grows the buffer at once, and the gap reads as U+0000.
TEST_F(StringCore, PokingPastTheTailFillsTheGap) {
  NodeId node = text_value("ab").w2;
  uint32_t far = 4 * series_buffer(node)->capacity + 10;
  string_poke_char(node, far, 'z');
  ASSERT_EQ(string_total_length(node), far + 1);
  CodePoints text = code_points_of(node);
  EXPECT_EQ(text[0], 'a');
  EXPECT_EQ(text[far], 'z');
  EXPECT_TRUE(std::all_of(text.begin() + 2, text.begin() + far, [](uint32_t c) { return c == 0; }));
}

// Text taken from the buffer it is written into is read before anything moves.
TEST_F(StringCore, WritingTextFromItsOwnBuffer) {
  struct Row {
    TextMode mode;
    uint32_t offset;
    const char* expected;
  };
  const Row rows[] = {
      {TextMode::insert, 1, "aabcbc"},
      {TextMode::append, 0, "abcabc"},
      {TextMode::overwrite, 2, "ababc"},
  };
  for (const Row& row : rows) {
    Cell value = text_value("abc");
    series_buffer(value.w2)->capacity = 16;  // full enough to grow on the way
    uint32_t end = string_write_text(value.w2, row.offset, string_text(value), row.mode);
    EXPECT_EQ(utf8_of(value), row.expected);
    EXPECT_EQ(end, (row.mode == TextMode::append ? 3 : row.offset) + 3);
  }
}

TEST_F(StringCore, WritingWiderTextWidensTheTarget) {
  Cell target = text_value("xy");
  Cell source = text_value("\xF0\x9F\x98\x80");  // U+1F600
  string_write_text(target.w2, 1, string_text(source), TextMode::insert);
  EXPECT_EQ(text_unit(target.w2), 4u);
  EXPECT_EQ(code_points_of(target.w2), CodePoints({'x', 0x1F600, 'y'}));
  EXPECT_EQ(text_unit(source.w2), 4u);
  // A narrower text is widened as it is copied; its own buffer keeps its unit.
  Cell narrow = text_value("ab");
  string_write_text(target.w2, 0, string_text(narrow), TextMode::append);
  EXPECT_EQ(text_unit(narrow.w2), 1u);
  EXPECT_EQ(utf8_of(target), "x\xF0\x9F\x98\x80yab");
}

TEST_F(StringCore, TextBeyondTheCeilingRaisesNoMemoryAndChangesNothing) {
  Cell value = text_value("ab");
  UnitText huge{reinterpret_cast<const uint8_t*>("x"), size_t{1} << 31, 1};
  EXPECT_TRUE(raises_no_memory([&] { string_write_text(value.w2, 0, huge, TextMode::insert); }));
  EXPECT_EQ(utf8_of(value), "ab");
  EXPECT_TRUE(raises_no_memory([&] { string_poke_char(value.w2, 0x7FFFFFFF, 0x100); }));
  EXPECT_EQ(utf8_of(value), "ab");
  EXPECT_EQ(text_unit(value.w2), 1u);
}

TEST_F(StringCore, PositionsClipToTheTail) {
  Cell value = text_value("h\xC3\xA9llo");
  value.w1 = 9;
  EXPECT_EQ(string_length(value), 0u);
  EXPECT_TRUE(string_at_tail(value));
  string_position(value);
  EXPECT_EQ(value.w1, 5u);
  value.w1 = 1;
  EXPECT_EQ(string_length(value), 4u);
  EXPECT_EQ(string_char_at(value, 0), 0xE9u);
  EXPECT_EQ(string_find_char(value, 'l'), 1);
  EXPECT_EQ(string_find_char(value, 0x100), -1);
  EXPECT_TRUE(string_contains_char(value, 0xC9, 1, false));
  EXPECT_FALSE(string_contains_char(value, 0xC9, 1, true));
  EXPECT_TRUE(string_contains_char(value, 'o', 3, true));
  EXPECT_FALSE(string_contains_char(value, 'l', 2, true) && string_contains_char(value, 'o', 2, true));
  EXPECT_TRUE(string_starts_with(value, "\xE9ll"));
  EXPECT_FALSE(string_starts_with(value, "\xE9llo!"));
}

TEST_F(StringCore, RemovingTruncatingAndResetting) {
  Cell value = text_value("abcdef", 2);
  string_remove_units(value.w2, 1, 2);
  EXPECT_EQ(utf8_of(value), "adef");
  series_buffer_truncate(value.w2, 9);
  EXPECT_EQ(utf8_of(value), "adef");
  series_buffer_truncate(value.w2, 2);
  EXPECT_EQ(utf8_of(value), "ad");
  value.w1 = 1;
  string_reset(value);
  EXPECT_EQ(value.w1, 0u);
  EXPECT_EQ(string_total_length(value.w2), 0u);
  EXPECT_EQ(text_unit(value.w2), 1u);
}

TEST_F(StringCore, AsciiAndUtf8Appends) {
  NodeId node = text_value("\xE2\x82\xAC").w2;
  series_append_ascii(node, "ab");
  string_append_utf8(node, "\xEF\xBB\xBF" "c");
  EXPECT_EQ(code_points_of(node), CodePoints({0x20AC, 'a', 'b', 0xFEFF, 'c'}));
  StandInError error = raised_error([&] { string_append_utf8(node, "x\xC3"); });
  EXPECT_EQ(error.id, error_id("access", "invalid-utf8"));
  EXPECT_EQ(binary_bytes(error.args[0]), Bytes({0xC3}));
  EXPECT_EQ(string_total_length(node), 5u);
}

// A B gap becomes B gap A: the same as rotating the three left by A.
TEST(SwapAdjacentSpans, EqualsARotation) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    size_t a = random() % 40, b = random() % 40, gap = random() % 8;
    Bytes bytes(a + b + gap + 4);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
    Bytes expected = bytes;
    std::rotate(expected.begin() + 2, expected.begin() + 2 + static_cast<ptrdiff_t>(a),
                expected.begin() + 2 + static_cast<ptrdiff_t>(a + b + gap));
    swap_adjacent_spans(bytes.data() + 2, a, b, gap);
    ASSERT_EQ(bytes, expected);
  }
}

TEST(DecimalSpan, ReadsWholeNumbersOnly) {
  struct Row {
    std::u16string text;
    double value;
    bool error;
  };
  const Row rows[] = {{u"1.5", 1.5, false}, {u"-2e3", -2000.0, false}, {u"1.5x", 1.5, true}, {u"", 0.0, true}};
  for (const Row& row : rows) {
    bool error = false;
    UnitText text{reinterpret_cast<const uint8_t*>(row.text.data()), row.text.size(), 2};
    EXPECT_EQ(decimal_span_to_float(text, error), row.value);
    EXPECT_EQ(error, row.error);
  }
}

}  // namespace
}  // namespace qel
