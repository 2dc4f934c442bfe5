// find, select and sort on text, and the linear substring search under them.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "datatypes/series/case-map.h"
#include "datatypes/series/string-compare.h"
#include "datatypes/series/text-search.h"
#include "runtime/action-lookup.h"
#include "runtime/error-raise.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

using StringFindSort = StringActions;

constexpr size_t kFindCase = refinement_position(Act::Find, "case");
constexpr size_t kFindLast = refinement_position(Act::Find, "last");
constexpr size_t kFindReverse = refinement_position(Act::Find, "reverse");
constexpr size_t kFindTail = refinement_position(Act::Find, "tail");
constexpr size_t kFindSkip = refinement_position(Act::Find, "skip");
constexpr size_t kFindPart = refinement_position(Act::Find, "part");
constexpr size_t kFindMatch = refinement_position(Act::Find, "match");
constexpr size_t kFindAny = refinement_position(Act::Find, "any");
constexpr size_t kSortCase = refinement_position(Act::Sort, "case");
constexpr size_t kSortSkip = refinement_position(Act::Sort, "skip");
constexpr size_t kSortCompare = refinement_position(Act::Sort, "compare");
constexpr size_t kSortAll = refinement_position(Act::Sort, "all");
constexpr size_t kSortReverse = refinement_position(Act::Sort, "reverse");
constexpr size_t kSortStable = refinement_position(Act::Sort, "stable");

// What find answered: the text from the position found, or "none".
std::string found(const Cell& result) { return cell_type(result) == Type::none ? "none" : utf8_of(result); }

TEST_F(StringFindSort, FindRows) {
  Cell two = int_cell(2), zero = int_cell(0), three = int_cell(3);
  Cell one_and_half = make_cell(Type::float_);
  set_payload_f64(one_and_half, 1.5);
  struct Row {
    Cell series;
    Cell value;
    std::initializer_list<Refinement> refinements;
    const char* expected;
  };
  const Row rows[] = {
      {text_value("Hello"), text_value("LL"), {}, "llo"},
      {text_value("Hello"), text_value("LL"), {{kFindCase}}, "none"},
      {text_value("abc"), char_value('B'), {}, "bc"},
      {text_value("a-b-c"), text_value("-"), {{kFindLast}}, "-c"},
      {at(text_value("a-b-c"), 5), text_value("-"), {{kFindReverse}}, "-c"},
      {at(text_value("a-b-c"), 3), text_value("-"), {{kFindReverse}}, "-b-c"},
      {text_value("key=val"), text_value("="), {{kFindTail}}, "val"},
      {text_value("aXbXcX"), text_value("b"), {{kFindSkip, true, {&two, 1}}}, "bXcX"},
      {text_value("aXbXcX"), text_value("X"), {{kFindSkip, true, {&two, 1}}}, "none"},
      {text_value("x1.5"), one_and_half, {}, "1.5"},
      {text_value("abcabc"), text_value("c"), {{kFindPart, true, {&two, 1}}}, "none"},
      {text_value("abcabc"), text_value("c"), {{kFindPart, true, {&three, 1}}}, "cabc"},
      {text_value("abcabc"), text_value("bc"), {{kFindMatch}}, "none"},
      {text_value("abcabc"), text_value("AB"), {{kFindMatch}, {kFindTail}}, "cabc"},
      {text_value("stra\xC3\x9F" "e"), text_value("\xC3\x9F"), {}, "\xC3\x9F" "e"},
      {text_value("\xC3\xBF!"), text_value("\xC5\xB8"), {}, "\xC3\xBF!"},  // ÿ matches Ÿ folded
      {text_value("a\xE2\x82\xAC" "b"), text_value("\xE2\x82\xAC" "B"), {}, "\xE2\x82\xAC" "b"},
      {text_value(""), text_value("a"), {}, "none"},
      {text_value("abc"), text_value(""), {}, "none"},
      {text_value("ab"), word_value("B"), {}, "b"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8_of(row.series) + " / " + (is_text_type(cell_type(row.value)) ? utf8_of(row.value) : "other"));
    EXPECT_EQ(found(act(Act::Find, {row.series, row.value}, row.refinements)), row.expected);
  }
  EXPECT_EQ(act(Act::Select, {text_value("a=1"), text_value("=")}).w2, uint32_t{'1'});
  EXPECT_EQ(cell_type(act(Act::Select, {text_value("a="), text_value("=")})), Type::none);
  EXPECT_EQ(raised_error([&] { act(Act::Find, {text_value("abc"), text_value("b")}, {{kFindSkip, true, {&zero, 1}}}); }).id,
            error_id("script", "out-of-range"));
  EXPECT_EQ(raised_error([] { act(Act::Find, {text_value("abc"), text_value("b")}, {{kFindAny}}); }).id,
            error_id("internal", "not-done"));
}

// The byte fold agrees with the case map: two bytes fold alike exactly when their upper cases do.
TEST(TextSearch, TheByteFoldFollowsTheCaseMap) {
  for (uint32_t a = 0; a < 256; ++a) {
    uint32_t upper = unicode_case_map(a, Case::upper);
    EXPECT_EQ(fold_latin1(static_cast<uint8_t>(a)), upper <= 0xFF ? upper : a) << a;
  }
}

// Every byte finds the first byte of its case class, in text long enough to fold in blocks.
TEST(TextSearch, EveryByteFindsItsClass) {
  uint8_t all[256];
  for (uint32_t b = 0; b < 256; ++b) all[b] = static_cast<uint8_t>(b);
  UnitText text{all, 256, 1};
  for (uint32_t b = 0; b < 256; ++b) {
    int64_t first = 0;
    while (fold_latin1(static_cast<uint8_t>(first)) != fold_latin1(static_cast<uint8_t>(b))) ++first;
    UnitText needle{&all[b], 1, 1};
    EXPECT_EQ(text_find_forward(text, needle, true), first) << b;
    EXPECT_EQ(text_find_forward(text, needle, false), int64_t{b});
  }
}

// The linear search agrees with trying every position, in every pair of units, folded or not.
TEST(TextSearch, AgreesWithTryingEveryPosition) {
  std::mt19937 random(11);
  const uint32_t alphabet[] = {'a', 'A', 'b', 'B', 0xE9, 0xC9, 0xFF, 0x178, 0x3A3, 0x3C3, 0x1F600};
  for (int round = 0; round < 600; ++round) {
    unsigned text_unit = 1u << (round % 3), needle_unit = 1u << (round / 3 % 3);
    auto letters = [&](size_t n, unsigned unit) {
      std::vector<uint32_t> out;
      while (out.size() < n) {
        uint32_t c = alphabet[random() % (round % 2 ? 4 : std::size(alphabet))];
        if (unit_for_code_point(c) <= unit) out.push_back(c);
      }
      return out;
    };
    std::vector<uint32_t> text = letters(random() % 40, text_unit), needle = letters(1 + random() % 4, needle_unit);
    std::vector<uint8_t> text_units(text.size() * text_unit + 1), needle_units(needle.size() * needle_unit + 1);
    for (size_t i = 0; i < text.size(); ++i) code_point_write(&text_units[i * text_unit], text_unit, text[i]);
    for (size_t i = 0; i < needle.size(); ++i) code_point_write(&needle_units[i * needle_unit], needle_unit, needle[i]);
    UnitText haystack{text_units.data(), text.size(), text_unit}, wanted{needle_units.data(), needle.size(), needle_unit};
    for (bool fold : {false, true}) {
      int64_t expected = -1;
      for (size_t p = 0; expected < 0 && p + needle.size() <= text.size(); ++p)
        if (text_matches_at(haystack, p, wanted, fold)) expected = static_cast<int64_t>(p);
      ASSERT_EQ(text_find_forward(haystack, wanted, fold), expected) << "round " << round << " fold " << fold;
    }
  }
}

TEST(TextSearch, LongFoldedSearchesCrossChunks) {
  std::string text(200000, 'a');
  text.replace(131070, 3, "xYz");
  UnitText haystack{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 1};
  UnitText needle{reinterpret_cast<const uint8_t*>("AXyZ"), 4, 1};
  EXPECT_EQ(text_find_forward(haystack, needle, true), 131069);
  EXPECT_EQ(text_find_forward(haystack, needle, false), -1);
}

// A folded search looks at small chunks first, each next one larger and overlapping the last by
// the needle less one: a match is found at every place, across each seam, for a short needle and
// for one longer than the first chunk.
TEST(TextSearch, FoldedSearchesFindEveryPlaceAcrossGrowingChunks) {
  for (size_t needle_length : {3, 300}) {
    std::string needle(needle_length, 'q');
    needle.front() = 'X';
    needle.back() = 'z';
    std::string folded_needle = needle;
    for (char& c : folded_needle) c = static_cast<char>(c ^ 0x20);  // the other case of each letter
    for (size_t at = 0; at + needle_length <= 4000; at += needle_length == 3 ? 1 : 7) {
      std::string text(4000, 'a');
      text.replace(at, needle_length, needle);
      UnitText haystack{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 1};
      UnitText wanted{reinterpret_cast<const uint8_t*>(folded_needle.data()), needle_length, 1};
      ASSERT_EQ(text_find_forward(haystack, wanted, true), static_cast<int64_t>(at)) << needle_length << " at " << at;
    }
  }
}

TEST_F(StringFindSort, SortRows) {
  Cell two = int_cell(2);
  struct Row {
    std::string text;
    std::initializer_list<Refinement> refinements;
    const char* expected;
  };
  const Row rows[] = {
      {"b_A", {}, "Ab_"},
      {"\xC3\x96\xC3\xA4", {}, "\xC3\xA4\xC3\x96"},  // Öä
      {"bBaA", {{kSortCase}}, "ABab"},
      {"bAa", {{kSortStable}}, "Aab"},
      {"dbca", {{kSortReverse}}, "dcba"},
      {"b2a1c3", {{kSortSkip, true, {&two, 1}}}, "a1b2c3"},
      {"a2a1", {{kSortSkip, true, {&two, 1}}, {kSortAll}, {kSortStable}}, "a1a2"},
      {"b1a2", {{kSortSkip, true, {&two, 1}}, {kSortCompare, true, {&two, 1}}}, "b1a2"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Cell text = text_value(row.text);
    act(Act::Sort, {text}, row.refinements);
    EXPECT_EQ(head_text(text), row.expected);
  }
  // A text widened by appending sorts as the same text loaded narrow.
  Cell widened = text_value("\xC3\x96");
  string_append_char(widened.w2, 0xE4);
  ASSERT_EQ(text_unit(widened.w2), 2u);
  act(Act::Sort, {widened});
  EXPECT_EQ(head_text(widened), "\xC3\xA4\xC3\x96");
}

TEST_F(StringFindSort, SortRefusals) {
  Cell two = int_cell(2), zero = int_cell(0), three = int_cell(3), letter = char_value('x');
  struct Row {
    const char* text;
    std::initializer_list<Refinement> refinements;
    ErrorId error;
  };
  const Row rows[] = {
      {"abc", {{kSortSkip, true, {&two, 1}}}, error_id("script", "invalid-refine-arg")},
      {"ab", {{kSortAll}}, error_id("script", "bad-refines")},
      {"abcd", {{kSortSkip, true, {&two, 1}}, {kSortCompare, true, {&three, 1}}}, error_id("script", "out-of-range")},
      {"abcd", {{kSortSkip, true, {&two, 1}}, {kSortCompare, true, {&zero, 1}}}, error_id("script", "out-of-range")},
      {"abcd", {{kSortCompare, true, {&two, 1}}}, error_id("script", "bad-refines")},
      {"abcd", {{kSortCompare, true, {&letter, 1}}}, error_id("script", "invalid-refine-arg")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Cell text = text_value(row.text);
    EXPECT_EQ(raised_error([&] { act(Act::Sort, {text}, row.refinements); }).id, row.error);
    EXPECT_EQ(head_text(text), row.text);
  }
}

// A /compare function, played by a C++ double of the evaluator's call.
Cell (*answer_for)(const Cell& a, const Cell& b);
Cell call_double(const Cell&, std::span<const Cell> args, uint32_t) { return answer_for(args[0], args[1]); }

TEST_F(StringFindSort, SortWithAFunction) {
  services().eval_function_body = call_double;
  Cell function = make_cell(Type::function);
  struct Row {
    Cell (*answer)(const Cell& a, const Cell& b);
    const char* expected;
  };
  const Row rows[] = {
      {[](const Cell& a, const Cell& b) { return make_cell(Type::logic, a.w2 > b.w2); }, "dcba"},   // greater? a b
      {[](const Cell& a, const Cell& b) { return int_cell(static_cast<int32_t>(b.w2 - a.w2)); }, "abcd"},  // b - a
  };
  for (const Row& row : rows) {
    answer_for = row.answer;
    Cell text = text_value("bdac");
    act(Act::Sort, {text}, {{kSortCompare, true, {&function, 1}}});
    EXPECT_EQ(head_text(text), row.expected);
  }
  answer_for = [](const Cell&, const Cell&) -> Cell { raise_error(error_id("math", "zero-divide")); };
  Cell text = text_value("ba");
  EXPECT_EQ(raised_error([&] { act(Act::Sort, {text}, {{kSortCompare, true, {&function, 1}}}); }).id,
            error_id("math", "zero-divide"));
  EXPECT_EQ(head_text(text), "ba");
}

}  // namespace
}  // namespace qel
