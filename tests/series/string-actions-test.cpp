// string! actions called as the interpreter calls them: make, to, form, mold, compare, path
// steps, append, insert, change, take, swap and trim.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "datatypes/series/image-store.h"
#include "datatypes/series/string.h"
#include "runtime/action-lookup.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

using StringActionsTest = StringActions;

constexpr size_t kAppendPart = refinement_position(Act::Append, "part");
constexpr size_t kAppendOnly = refinement_position(Act::Append, "only");
constexpr size_t kAppendDup = refinement_position(Act::Append, "dup");
constexpr size_t kInsertDup = refinement_position(Act::Insert, "dup");
constexpr size_t kChangePart = refinement_position(Act::Change, "part");
constexpr size_t kMoldAll = refinement_position(Act::Mold, "all");
constexpr size_t kTakeLast = refinement_position(Act::Take, "last");
constexpr size_t kTrimAll = refinement_position(Act::Trim, "all");
constexpr size_t kTrimWith = refinement_position(Act::Trim, "with");
constexpr size_t kTrimLines = refinement_position(Act::Trim, "lines");
constexpr size_t kTrimTail = refinement_position(Act::Trim, "tail");
constexpr size_t kTrimAuto = refinement_position(Act::Trim, "auto");

std::string molded(const Cell& value, bool all = false) {
  return utf8_of(act(Act::Mold, {value}, {{kMoldAll, all}}));
}

TEST_F(StringActionsTest, AppendFormsWhatIsNotText) {
  Cell n = text_value("n");
  act(Act::Append, {n, block_of({int_cell(1), text_value("a"), char_value('b')})});
  EXPECT_EQ(head_text(n), "n1ab");
  Cell ab = text_value("ab");
  act(Act::Append, {ab, word_value("cd")});
  EXPECT_EQ(head_text(ab), "abcd");
  Cell parts = text_value("");
  Cell two = int_cell(2);
  act(Act::Append, {parts, block_of({int_cell(1), int_cell(2), int_cell(3)})}, {{kAppendPart, true, {&two, 1}}});
  EXPECT_EQ(head_text(parts), "12");
  Cell budget = text_value("");
  Cell three = int_cell(3);
  act(Act::Append, {budget, block_of({int_cell(12), int_cell(34)})},
      {{kAppendPart, true, {&three, 1}}, {kAppendOnly}});
  EXPECT_EQ(head_text(budget), "123");
  Cell result = act(Act::Append, {at(text_value("xy"), 1), text_value("")});
  EXPECT_EQ(result.w1, 1u);  // nothing added: the series as it was, index too
}

TEST_F(StringActionsTest, AppendingACharWidensInsertingTextDoesNot) {
  Cell text = text_value("ab");
  act(Act::Append, {text, text_value("\xC3\xA9")});
  EXPECT_EQ(text_unit(text.w2), 1u);
  act(Act::Append, {text, char_value(0xE9)});
  EXPECT_EQ(text_unit(text.w2), 2u);
  EXPECT_EQ(head_text(text), "ab\xC3\xA9\xC3\xA9");
}

TEST_F(StringActionsTest, InsertAndChangePositions) {
  Cell dashes = at(text_value("xy"), 1);
  Cell three = int_cell(3);
  Cell inserted = act(Act::Insert, {dashes, text_value("-")}, {{kInsertDup, true, {&three, 1}}});
  EXPECT_EQ(head_text(dashes), "x---y");
  EXPECT_EQ(inserted.w1, 4u);
  Cell at_tail = act(Act::Insert, {at(text_value("ab"), 2), text_value("cd")});
  EXPECT_EQ(at_tail.w1, 4u);
  Cell changed = act(Act::Change, {at(text_value("abcde"), 1), text_value("XY")});
  EXPECT_EQ(utf8_of(changed), "de");
  Cell span = text_value("abcde");
  act(Act::Change, {span, text_value("X")}, {{kChangePart, true, {&three, 1}}});
  EXPECT_EQ(head_text(span), "Xde");
  Cell one = int_cell(1);
  Cell grows = at(text_value("abcd"), 1);
  Cell grown = act(Act::Change, {grows, text_value("XY")}, {{kChangePart, true, {&one, 1}}});
  EXPECT_EQ(head_text(grows), "aXYcd");
  EXPECT_EQ(grown.w1, 3u);
  Cell tail = at(text_value("ab"), 2);
  EXPECT_EQ(act(Act::Change, {tail, text_value("cd")}).w1, 4u);
  Cell dup_change = text_value("ab");
  act(Act::Change, {dup_change, char_value('z')}, {{refinement_position(Act::Change, "dup"), true, {&three, 1}}});
  EXPECT_EQ(head_text(dup_change), "zzz");
}

// A value that shares the series' buffer contributes what it held before the change.
TEST_F(StringActionsTest, SelfInsertion) {
  Cell s = text_value("abc");
  act(Act::Insert, {at(s, 1), s});
  EXPECT_EQ(head_text(s), "aabcbc");
  Cell t = text_value("abc");
  act(Act::Append, {t, t});
  EXPECT_EQ(head_text(t), "abcabc");
  Cell u = text_value("abcd");
  act(Act::Change, {at(u, 1), u});
  EXPECT_EQ(head_text(u), "aabcd");
}

TEST_F(StringActionsTest, ErrorsLeaveTheStringAsItWas) {
  Cell empty = text_value("");
  Cell huge = int_cell(1073741824);
  EXPECT_TRUE(raises_no_memory([&] { act(Act::Append, {empty, text_value("ab")}, {{kAppendDup, true, {&huge, 1}}}); }));
  EXPECT_EQ(string_total_length(empty.w2), 0u);
  Cell kept = text_value("xyz");
  EXPECT_EQ(raised_error([&] { act(Act::Swap, {kept, int_cell(1)}); }).id, error_id("script", "invalid-arg"));
  EXPECT_EQ(raised_error([&] { act(Act::Trim, {kept}, {{kTrimAuto}}); }).id, error_id("internal", "not-done"));
  EXPECT_EQ(head_text(kept), "xyz");
}

TEST_F(StringActionsTest, MoldRows) {
  struct Row {
    std::string text;
    const char* expected;
  };
  const Row rows[] = {
      {"a\tb", "\"a^-b\""},
      {"a\nb", "\"a^/b\""},
      {"1\n2\n3\n", "{1^/2^/3^/}"},
      {"say \"hi\"", "{say \"hi\"}"},
      {"x\"{}", "{x\"{}}"},
      {"q\"}{", "{q\"^}^{}"},
      {"\"{a{b}}^", "{\"{a{b}}^^}"},
      {"\x1F\xC2\x85", "\"^_^(85)\""},
      {"\x1E\x7F\xC3\xA9", "\"^(1E)^~\xC3\xA9\""},
      {std::string(50, 'x'), nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::string expected = row.expected ? row.expected : "{" + row.text + "}";
    EXPECT_EQ(molded(text_value(row.text)), expected);
  }
  EXPECT_EQ(molded(text_value("\xC3\xA9"), true), "\"^(E9)\"");
  Cell xy = text_value("");
  Cell count = int_cell(25);
  act(Act::Append, {xy, text_value("xy")}, {{kAppendDup, true, {&count, 1}}});
  std::string fifty;
  for (int i = 0; i < 25; ++i) fifty += "xy";
  EXPECT_EQ(molded(xy), "{" + fifty + "}");
}

TEST_F(StringActionsTest, MakeToAndForm) {
  Cell made = act(Act::Make, {datatype_cell(Type::string), int_cell(10)});
  EXPECT_EQ(cell_type(made), Type::string);
  EXPECT_EQ(string_total_length(made.w2), 0u);
  EXPECT_EQ(raised_error([] { act(Act::Make, {datatype_cell(Type::string), int_cell(-1)}); }).id,
            error_id("script", "out-of-range"));
  EXPECT_EQ(raised_error([] { act(Act::To, {datatype_cell(Type::string), make_cell(Type::none)}); }).id,
            error_id("script", "bad-to-arg"));
  Cell float_cell = make_cell(Type::float_);
  set_payload_f64(float_cell, 2.5);
  EXPECT_EQ(utf8_of(act(Act::To, {datatype_cell(Type::string), block_of({word_value("x"), int_cell(1), float_cell})})),
            "x12.5");
  Cell copied = act(Act::To, {datatype_cell(Type::string), at(text_value("abc"), 1)});
  EXPECT_EQ(head_text(copied), "bc");
  NodeId bytes = new_byte_series(4);
  series_buffer_append_bytes(bytes, "\xC3\xA9!", 3);
  EXPECT_EQ(utf8_of(act(Act::To, {datatype_cell(Type::string), make_cell(Type::binary, 0, bytes)})), "\xC3\xA9!");
  EXPECT_EQ(utf8_of(act(Act::Form, {at(text_value("abc"), 1)})), "bc");
  EXPECT_EQ(char_from_text(text_value("xyz")), uint32_t{'x'});
  EXPECT_EQ(raised_error([] { char_from_text(text_value("")); }).id, error_id("script", "bad-to-arg"));
}

TEST_F(StringActionsTest, CharsFromTextAndWideCharsInText) {
  Cell made = act(Act::To, {datatype_cell(Type::char_), text_value("xyz")});
  EXPECT_EQ(cell_type(made), Type::char_);
  EXPECT_EQ(made.w2, uint32_t{'x'});
  EXPECT_EQ(act(Act::Make, {datatype_cell(Type::char_), at(text_value("a\xE2\x82\xAC"), 1)}).w2, 0x20ACu);
  EXPECT_EQ(raised_error([] { act(Act::To, {datatype_cell(Type::char_), text_value("")}); }).id,
            error_id("script", "bad-to-arg"));
  EXPECT_EQ(utf8_of(act(Act::Form, {char_value(955)})), "\xCE\xBB");
  EXPECT_EQ(molded(char_value(0xE9)), "#\"\xC3\xA9\"");
  EXPECT_EQ(molded(char_value(0x85)), "#\"^(85)\"");
}

// string!'s row: its own functions, series!'s where it inherits, nothing where it has none.
TEST_F(StringActionsTest, TheRowOfString) {
  const Act own[] = {Act::Make,   Act::To,     Act::Form, Act::Mold,   Act::PathStep, Act::Compare,
                     Act::Append, Act::Change, Act::Find, Act::Insert, Act::Select,   Act::Sort,
                     Act::Swap,   Act::Take,   Act::Trim};
  for (size_t k = 0; k < kActionSlots; ++k) {
    Act slot = act_of_slot(k + 1);
    ActionFn mine = action_table[type_index(Type::string)][k];
    ActionFn parent = action_table[type_index(Type::series)][k];
    if (std::find(std::begin(own), std::end(own), slot) != std::end(own)) {
      EXPECT_TRUE(mine != nullptr && mine != parent) << "slot " << k + 1;
    } else {
      EXPECT_EQ(mine, parent) << "slot " << k + 1;
    }
  }
}

TEST_F(StringActionsTest, ComparisonsThroughTheDispatcher) {
  EXPECT_FALSE(compare_values(text_value("Stra\xC3\x9F" "e"), text_value("STRASSE"), kCompareEqual));
  EXPECT_TRUE(compare_values(text_value("\xC7\x85"), text_value("\xC7\x86"), kCompareEqual));
  EXPECT_TRUE(compare_values(text_value("a"), text_value("B"), kCompareLesser));
  EXPECT_FALSE(compare_values(text_value("a"), text_value("A"), kCompareStrictEqual));
  Cell file = text_value("a");
  set_value_type_byte(file, Type::file);
  EXPECT_EQ(string_compare(text_value("a"), file, kCompareEqual), 0);
  EXPECT_EQ(string_compare(text_value("a"), file, kCompareLesser), kNotComparable);
  EXPECT_EQ(string_compare(text_value("a"), int_cell(1), kCompareEqual), kNotComparable);
}

TEST_F(StringActionsTest, PickPokeAndPaths) {
  Cell s = text_value("abc");
  EXPECT_EQ(act(Act::Pick, {s, int_cell(2)}).w2, uint32_t{'b'});
  EXPECT_EQ(cell_type(act(Act::Pick, {s, int_cell(4)})), Type::none);
  act(Act::Poke, {s, int_cell(2), char_value(0x100)});
  EXPECT_EQ(head_text(s), "a\xC4\x80" "c");
  PathStep get{nullptr, nullptr, nullptr, nullptr, -1, false, true, true, false};
  Cell two = int_cell(2);
  Cell x = char_value('X');
  string_path_step(s, two, &x, get);
  EXPECT_EQ(head_text(s), "aXc");
  Cell key = text_value("a=1");
  Cell equals = text_value("=");
  EXPECT_EQ(string_path_step(key, equals, nullptr, get)->w2, uint32_t{'1'});
  Cell selector = text_value("=");
  Cell nine = char_value('9');
  string_path_step(key, selector, &nine, get);
  EXPECT_EQ(head_text(key), "a=9");
  Cell missing = text_value("?");
  EXPECT_EQ(raised_error([&] { string_path_step(key, missing, &nine, get); }).id, error_id("script", "bad-path-set"));
  Cell word = word_value("x");
  EXPECT_EQ(raised_error([&] { string_path_step(s, word, nullptr, get); }).id, error_id("script", "invalid-path"));
  EXPECT_EQ(raised_error([&] { act(Act::Poke, {s, int_cell(1), int_cell(65)}); }).id, error_id("script", "invalid-arg"));
}

TEST_F(StringActionsTest, TakeSwapAndMove) {
  Cell xyz = text_value("xyz");
  Cell taken = act(Act::Take, {xyz}, {{kTakeLast}});
  EXPECT_EQ(cell_type(taken), Type::char_);
  EXPECT_EQ(taken.w2, uint32_t{'z'});
  EXPECT_EQ(head_text(xyz), "xy");
  Cell a = text_value("ab"), b = text_value("x\xE2\x82\xAC");
  act(Act::Swap, {a, b});
  EXPECT_EQ(head_text(a), "xb");
  EXPECT_EQ(head_text(b), "a\xE2\x82\xAC");
  Cell from = text_value("\xE2\x82\xAC!"), to = text_value("ab");
  act(Act::Move, {from, at(to, 1)});
  EXPECT_EQ(head_text(to), "a\xE2\x82\xAC" "b");
  EXPECT_EQ(head_text(from), "!");
  EXPECT_EQ(raised_error([&] { act(Act::Move, {from, block_of({})}); }).id, error_id("script", "move-bad"));
}

TEST_F(StringActionsTest, MoveNeverTouchesAnImageRecord) {
  Cell image = make_cell(Type::image, 0, image_from_rgb_data(2, 2, {}, {}, std::nullopt));
  const std::vector<uint8_t> record(series_buffer_head(image.w2), series_buffer_head(image.w2) + 24);
  Cell text = text_value("ab");
  Cell bytes = make_cell(Type::binary, 0, new_byte_series(4));
  series_buffer_append_int32(bytes.w2, 0x01020304);
  for (const Cell& from : {text, bytes}) {
    EXPECT_EQ(raised_error([&] { act(Act::Move, {from, image}); }).id, error_id("script", "move-bad"));
  }
  EXPECT_EQ(std::vector<uint8_t>(series_buffer_head(image.w2), series_buffer_head(image.w2) + 24), record);
  EXPECT_EQ(head_text(text), "ab");
}

TEST_F(StringActionsTest, TrimRows) {
  struct Row {
    const char* text;
    std::initializer_list<Refinement> refinements;
    const char* expected;
  };
  Cell comma = text_value(",");
  const Row rows[] = {
      {" x \n y ", {}, "x\ny"},
      {"  a  \n", {}, "a\n"},
      {"  a  \n", {{kTrimTail}}, "  a"},
      {"x y\tz", {{kTrimAll}}, "xyz"},
      {"a,b,c", {{kTrimWith, true, {&comma, 1}}}, "abc"},
      {"x\t\ty\n\nz", {{kTrimLines}}, "x y z"},
      {"\xE3\x80\x80" "a\xC2\xA0", {}, "a"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Cell text = text_value(row.text);
    act(Act::Trim, {text}, row.refinements);
    EXPECT_EQ(head_text(text), row.expected);
  }
}

TEST_F(StringActionsTest, SetOperations) {
  struct Row {
    int32_t op;
    const char* a;
    const char* b;
    const char* expected;
  };
  const Row rows[] = {
      {8, "banana", "", "ban"},   {9, "abc", "bcd", "abcd"}, {10, "hello", "world", "lo"},
      {11, "abc", "bcd", "a"},    {12, "abc", "bcd", "ad"},  {8, "aAbB", "", "ab"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.a);
    EXPECT_EQ(utf8_of(string_set_operation(row.op, text_value(row.a), text_value(row.b), false, nullptr)), row.expected);
  }
  EXPECT_EQ(utf8_of(string_set_operation(8, text_value("aAbB"), text_value(""), true, nullptr)), "aAbB");
  Cell two = int_cell(2);
  EXPECT_EQ(utf8_of(string_set_operation(8, text_value("a1a2b3"), text_value(""), false, &two)), "a1b3");
}

}  // namespace
}  // namespace qel
