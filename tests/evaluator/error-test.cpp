// error! values: making them, their fields, and the report text they form into.
#include <gtest/gtest.h>

#include <string>

#include "datatypes/scalars/integer.h"
#include "evaluator/error.h"
#include "evaluator/interpreter.h"
#include "runtime/call-stack.h"
#include "runtime/error-raise.h"
#include "tests/evaluator/word-fixture.h"

namespace qel {
namespace {

// The spelling of a word field.
std::string spelling(const Cell& word) { return std::string(symbol_name(word.w2)); }

class ErrorValues : public WordActions {
 protected:
  // The error's report text.
  static std::string formed(const Cell& error) { return form_value_text(error); }

  // The first line of the error's report.
  static std::string first_line(const Cell& error) {
    const std::string text = formed(error);
    return text.substr(0, text.find('\n'));
  }
};

TEST_F(ErrorValues, MakeFromACodeAWordBlockOrAText) {
  const Cell positive = error_make(int_cell(402));
  EXPECT_EQ(spelling(error_field(positive, ErrorField::type)), "math");
  EXPECT_EQ(spelling(error_field(positive, ErrorField::id)), "positive");
  EXPECT_EQ(integer_value(error_field(positive, ErrorField::code)), 402);
  EXPECT_EQ(positive.w2, kErrorClassId);

  const Cell divide = error_make(block_of({word_value("MATH"), word_value("zero-divide")}));
  EXPECT_EQ(integer_value(error_field(divide, ErrorField::code)), 400);
  EXPECT_EQ(spelling(error_field(divide, ErrorField::id)), "zero-divide");

  const Cell user = error_make(text_value("oops"));
  EXPECT_EQ(spelling(error_field(user, ErrorField::type)), "user");
  EXPECT_EQ(spelling(error_field(user, ErrorField::id)), "message");
  EXPECT_EQ(utf8_of(error_field(user, ErrorField::arg1)), "oops");
  EXPECT_EQ(formed(user), "*** User Error: oops\n*** Where: ???\n*** Near : none");
}

TEST_F(ErrorValues, BadSpecsRaiseTheirCatalogErrors) {
  struct Row {
    const char* what;
    Cell spec;
    ErrorId expected;
  };
  const Row rows[] = {
      {"code beyond the ids", int_cell(1000), error_id("script", "out-of-range")},
      {"code beyond the categories", int_cell(1200), error_id("script", "out-of-range")},
      {"negative code", int_cell(-1), error_id("script", "out-of-range")},
      {"unknown category", block_of({word_value("nope"), word_value("x")}), error_id("script", "invalid-spec-field")},
      {"missing id", block_of({word_value("script")}), error_id("script", "invalid-spec-field")},
      {"unknown id", block_of({word_value("math"), word_value("nope")}), error_id("script", "invalid-spec-field")},
      {"id not a word", block_of({word_value("script"), int_cell(5)}), error_id("script", "invalid-arg")},
      {"block of something else", block_of({int_cell(5)}), error_id("internal", "invalid-error")},
      {"other datatype", char_value('x'), error_id("script", "bad-make-arg")},
  };
  for (const Row& row : rows) EXPECT_TRUE(raises_error(row.expected, [&] { error_make(row.spec); })) << row.what;
}

TEST_F(ErrorValues, FormReadsTheMessageOfTheCatalog) {
  const Cell syntax = error_build(error_id("syntax", "invalid"),
                                  std::array{text_value("word"), text_value("3x"), text_value("line 1")});
  EXPECT_EQ(first_line(syntax), "*** Syntax Error: word invalid 3x at line 1");
  const Cell range = error_build(error_id("script", "out-of-range"), std::array{int_cell(1000)});
  EXPECT_EQ(first_line(range), "*** Script Error: value out of range: 1000");
  const Cell molded = error_build(error_id("throw", "throw"), std::array{text_value("z")});
  EXPECT_EQ(first_line(molded), "*** Throw Error: no catch for throw: \"z\"");
  EXPECT_EQ(first_line(error_make(int_cell(0))), "*** Throw Error: no loop to break");
  const Cell make = error_build(error_id("script", "bad-make-arg"), std::array{word_value("error!"), int_cell(2)});
  EXPECT_EQ(first_line(make), "*** Script Error: cannot MAKE error! from: 2");
}

TEST_F(ErrorValues, AnUnknownTypeOrIdFormsAsInvalidErrorAndStaysAsItWas) {
  Cell error = error_make(int_cell(300));
  error_field(error, ErrorField::type) = word_value("bogus");
  EXPECT_EQ(first_line(error), "*** Internal Error: invalid error object field value: bogus");
  EXPECT_EQ(spelling(error_field(error, ErrorField::type)), "bogus");
  EXPECT_EQ(error_field(error, ErrorField::arg1).header, make_cell(Type::none).header);

  error_field(error, ErrorField::type) = word_value("script");
  error_field(error, ErrorField::id) = word_value("nothing-such");
  EXPECT_EQ(first_line(error), "*** Internal Error: invalid error object field value: nothing-such");

  Cell user = error_make(text_value("x"));
  error_field(user, ErrorField::arg1) = int_cell(7);
  EXPECT_EQ(first_line(user), "*** User Error: invalid error object field value: 7");
}

TEST_F(ErrorValues, WhereIsSetOnceAndNearIsCutAtFortyCharacters) {
  Cell error = error_make(int_cell(400));
  error_set_where(error, word_value("divide"));
  error_set_where(error, word_value("later"));
  error_field(error, ErrorField::near) =
      block_of({text_value("a long text to go past the limit"), text_value("and more of it")});
  const std::string text = formed(error);
  EXPECT_EQ(text.substr(0, text.find("\n*** Near")), "*** Math Error: attempt to divide by zero\n*** Where: divide");
  const std::string near = text.substr(text.find("*** Near : ") + 11);
  EXPECT_EQ(near, std::string("[\"a long text to go past the limit\" \"and m").substr(0, 40));
  EXPECT_EQ(near.size(), 40u);
}

TEST_F(ErrorValues, AnArgumentThatCannotBeMoldedShowsItsTypeName) {
  // An error! cell with no fields behind it raises when molded: the report names its type and
  // goes on to its other lines.
  register_datatypes();
  const Cell bare = make_cell(Type::error);
  Cell error = error_build(error_id("script", "invalid-arg"), std::span(&bare, 1));
  error_field(error, ErrorField::near) = bare;
  EXPECT_EQ(formed(error), "*** Script Error: invalid argument: error!\n*** Where: ???\n*** Near : error!");
}

TEST_F(ErrorValues, DeepArgumentsAreMoldedShallowSoTheReportPrints) {
  // Nesting deeper than the cycle stack goes: paths in paths under an unset head, and blocks.
  register_datatypes();
  Cell path = word_value("a"), block = block_of({});
  for (int level = 0; level < 1000; ++level) {
    path = make_cell(Type::path, 0, block_of({path}).w2);
    block = block_of({block});
  }
  Cell error = error_build(error_id("script", "invalid-arg"), std::span(&path, 1));
  error_field(error, ErrorField::near) = block;
  EXPECT_EQ(formed(error), "*** Script Error: invalid argument: ...\n*** Where: ???\n*** Near : " +
                               (std::string(20, '[') + "[...]" + std::string(20, ']')).substr(0, 40));
}

// An error with no trap under a native frame, with the start-up's error services.
void raise_untrapped() {
  register_datatypes();
  services().show_message_box = [](const char*, const char*) {};
  stack_open_native_frame(word_value("divide"));
  raise_error(error_id("math", "zero-divide"));
}

TEST_F(ErrorValues, TheStartUpRegistrationRaisesErrorValuesThatReportThemselves) {
  register_datatypes();
  EXPECT_EQ(trap_errors([] { raise_error(error_id("script", "invalid-arg"), int_cell(5)); }).taken, kThrowError);
  const Cell error = value_stack.top[-1];
  stack_drop(1);
  EXPECT_EQ(first_line(error), "*** Script Error: invalid argument: 5");
  EXPECT_EQ(cell_type(error_field(error, ErrorField::stack)), Type::integer);
  Cell completed = error;
  error_complete(completed);
  EXPECT_EQ(cell_type(error_field(completed, ErrorField::stack)), Type::block);
  EXPECT_EQ(first_line(completed), "*** Script Error: invalid argument: 5");

  EXPECT_EXIT(raise_untrapped(), ::testing::ExitedWithCode(254),
              "^\\*\\*\\* Math Error: attempt to divide by zero\n\\*\\*\\* Where: divide\n\\*\\*\\* Near : none\n"
              "\\*\\*\\* Stack:");
}

}  // namespace
}  // namespace qel

namespace qel {
namespace {

TEST_F(ErrorValues, NearIsTheCurrentExpression) {
  const Cell saved = current_expression();
  EXPECT_EQ(cell_type(error_field(error_make(int_cell(400)), ErrorField::near)), Type::none);
  const Cell block = make_cell(Type::block, 2, new_cell_series(4));
  current_expression() = block;
  const Cell near = error_field(error_make(int_cell(400)), ErrorField::near);
  current_expression() = saved;
  EXPECT_EQ(cell_type(near), Type::block);
  EXPECT_EQ(near.w1, 2u);
  EXPECT_EQ(near.w2, block.w2);
}

}  // namespace
}  // namespace qel
