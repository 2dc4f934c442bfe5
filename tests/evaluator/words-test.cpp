// words-test.cpp: the word family: compare by code across kinds and contexts, form and mold,
// index?, make and to, and the angle reduction.
#include "eval-fixture.h"

#include <cmath>

#include "datatypes/series/string-core.h"
#include "evaluator/words.h"

namespace qel::testing {
namespace {

class WordsTest : public EvalTest {};

TEST_F(WordsTest, CompareByCodeAcrossKindsAndContexts) {
  const Cell a = global_word("a");
  const Cell big_a = global_word("A");
  const Cell lit_a = global_word("a", Type::lit_word);
  const Cell set_a = global_word("a", Type::set_word);
  const Cell other = make_cell(Type::word, run("func [a] [a]").value.w1, a.w2, 0);  // a in a function
  const Cell issue_a = make_cell(Type::issue, global_context(), a.w2, kUnresolved);
  struct Row {
    Cell x, y;
    int32_t code;
    bool equal;
  };
  const Row rows[] = {
      {a, big_a, kCompareEqual, true},         {a, set_a, kCompareEqual, true},
      {a, big_a, kCompareStrictEqual, false},  {a, lit_a, kCompareStrictEqual, false},
      {a, a, kCompareStrictEqual, true},       {a, other, kCompareSame, false},
      {a, a, kCompareSame, true},              {a, lit_a, kCompareSame, false},
      {a, lit_a, kComparePathCase, true},      {a, big_a, kComparePathCase, false},
      {a, set_a, kComparePathCase, false},     {set_a, set_a, kComparePathCase, true},
      {a, big_a, kComparePath, true},          {lit_a, big_a, kComparePath, true},
      {a, set_a, kComparePath, false},         {set_a, global_word("A", Type::set_word), kComparePath, true},
      {issue_a, issue_a, kCompareEqual, true},
  };
  for (const Row& row : rows)
    EXPECT_EQ(compare_values(row.x, row.y, row.code), row.equal)
        << mold(row.x) << " " << mold(row.y) << " code " << row.code;
  EXPECT_EQ(word_compare(issue_a, a, kCompareEqual), kNotComparable);
  EXPECT_EQ(word_compare(a, issue_a, kCompareEqual), kNotComparable);
  EXPECT_FALSE(compare_values(a, issue_a, kCompareEqual));
  Cell* top = value_stack.top;
  EXPECT_EQ(trap_errors([&] { compare_values(issue_a, a, kCompareLesser); }).taken, kThrowError);
  EXPECT_EQ(last_built.id, error_id("script", "invalid-compare"));
  value_stack.top = top;
  EXPECT_LT(word_compare(a, global_word("b"), kCompareLesser), 0);
}

TEST_F(WordsTest, FormAndMoldWriteTheSpellingWithTheKindsMarks) {
  struct Row {
    Type kind;
    const char* molded;
  };
  const Row rows[] = {{Type::word, "ab"},        {Type::set_word, "ab:"},   {Type::lit_word, "'ab"},
                      {Type::get_word, ":ab"},   {Type::refinement, "/ab"}, {Type::issue, "#ab"}};
  for (const Row& row : rows) {
    const Cell word = global_word("ab", row.kind);
    EXPECT_EQ(mold(word), row.molded);
    EXPECT_EQ(form(word), "ab");
    // The budget comes down by every character written.
    Cell buffer;
    string_make_at(buffer, 8);
    const int32_t left = lookup_action_for_value<Act::Mold>(word)(word, buffer, false, false, false, true, 10, 0);
    EXPECT_EQ(left, 10 - static_cast<int32_t>(std::strlen(row.molded))) << row.molded;
  }
  EXPECT_EQ(text_of(run("mold/part [ab: cd: ef:] 8").value), "[ab: cd:");
}

TEST_F(WordsTest, IndexOfAnUnresolvedWordIsNone) {
  EXPECT_EQ(eval_mold("index? 'a"), std::to_string(global_word("a").w3 + 1));
  const Cell unresolved = make_cell(Type::word, global_context(), symbol_intern_cstring("fresh"), kUnresolved);
  EXPECT_EQ(mold(call_action(Act::IndexQ, std::array{unresolved})), "none");
  stack_drop(1);
}

TEST_F(WordsTest, MakeAndToFromEverySourceBuiltHere) {
  expect_molds({
      {"to word! integer!", "integer"},
      {"to set-word! 'ab", "ab:"},
      {"to lit-word! pick [ab:] 1", "'ab"},
      {"make get-word! true", ":true"},
      {"to word! false", "false"},
      {"to refinement! 'x", "/x"},
      {"to issue! 'x", "#x"},
      {"to issue! pick [/x] 1", "#x"},
      {"to issue! integer!", "#integer"},
  });
  EXPECT_ERROR(run("to word! 1"), "script", "bad-to-arg");
  EXPECT_ERROR(run("to word! [a]"), "script", "bad-to-arg");
  // Text is read by the lexer's one-value scan.
  EXPECT_EQ(eval_mold("to word! \"a\""), "a");
  EXPECT_ERROR(run("to word! \"a b\""), "script", "invalid-chars");
  // An issue takes text unchanged, spaces included.
  EXPECT_EQ(eval_mold("to issue! \"x y\""), "#x y");
  Cell from_index = run("\"ab\"").value;
  from_index.w1 = 1;
  define("b-of-ab", from_index);
  EXPECT_EQ(eval_mold("make issue! b-of-ab"), "#b");
  const Cell issue = run("to issue! \"x y\"").value;
  EXPECT_EQ(issue.w1, global_context());
  EXPECT_EQ(issue.w3, kUnresolved);
}

TEST_F(WordsTest, TextIsScannedSoWhatSpellsNoWordIsRefusedAsSuch) {
  // Text the lexer refuses, or reads as another type, is invalid-chars; the spelling of an issue
  // or refinement that reads as no word cannot be converted. No syntax error either way.
  expect_errors({
      {"to word! \"12a\"", "script/invalid-chars", {}},
      {"make word! \"12a\"", "script/invalid-chars", {}},
      {"to word! \"[\"", "script/invalid-chars", {}},
      {"to word! \"{\"", "script/invalid-chars", {}},
      {"to lit-word! \"1.5e\"", "script/invalid-chars", {}},
      {"to word! \"a:b\"", "script/invalid-chars", {}},
      {"to word! \"1.2.3\"", "script/invalid-chars", {}},
      {"to word! \"1\"", "script/invalid-chars", {}},
      {"to word! \"\"", "script/invalid-chars", {}},
      {"to word! #12", "script/bad-to-arg", {"word!", "#12"}},
      {"to word! to issue! \"[\"", "script/bad-to-arg", {"word!", "#["}},
      {"to set-word! to issue! \"a:b\"", "script/bad-to-arg", {"set-word!", "#a:b"}},
  });
  expect_molds({
      {"to word! \"a:\"", "a"},
      {"to set-word! \":a\"", "a:"},
      {"to word! \" 'a \"", "a"},
      {"to get-word! to issue! \"a:\"", ":a"},
  });
}

TEST_F(WordsTest, ConvertingBetweenKindsKeepsTheBinding) {
  const Cell function = run("g: func [a] [a]").value;
  define("bound", make_cell(Type::word, function.w1, symbol_intern_cstring("a"), 0));
  const Cell set = run("to set-word! bound").value;
  EXPECT_EQ(cell_type(set), Type::set_word);
  EXPECT_EQ(set.w1, function.w1);
  EXPECT_EQ(set.w3, 0u);
}

TEST_F(WordsTest, TheScannerSeamReadsTextIntoWords) {
  set_word_text_scanner([](const Cell& text, Type) {
    return global_word(std::string(reinterpret_cast<const char*>(series_buffer(text.w2)->head_address()),
                                   series_buffer_length(text.w2)),
                       Type::word);
  });
  EXPECT_EQ(eval_mold("to set-word! \"ab\""), "ab:");
  EXPECT_EQ(eval_mold("to word! pick [/x] 1"), "x");
  set_word_text_scanner([](const Cell&, Type) { return integer_cell(1); });
  EXPECT_ERROR(run("to word! \"1\""), "script", "invalid-chars");
  set_word_text_scanner(nullptr);
}

TEST_F(WordsTest, AnglesReduceByMode) {
  constexpr double kPi = 3.141592653589793;
  EXPECT_DOUBLE_EQ(angle_to_radians(270, 2), -90 * kPi / 180);
  EXPECT_DOUBLE_EQ(angle_to_radians(450, 2), 90 * kPi / 180);
  EXPECT_DOUBLE_EQ(angle_to_radians(135, 0), -45 * kPi / 180);
  EXPECT_DOUBLE_EQ(angle_to_radians(-135, 0), 45 * kPi / 180);
  EXPECT_DOUBLE_EQ(angle_to_radians(135, 1), 135 * kPi / 180);
  EXPECT_DOUBLE_EQ(angle_to_radians(-270, 2), 90 * kPi / 180);
}

}  // namespace
}  // namespace qel::testing
