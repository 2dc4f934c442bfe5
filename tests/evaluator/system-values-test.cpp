// system-values-test.cpp: the catalog object, the error prototype and the error settings built
// at start-up from the catalog table.
#include "eval-fixture.h"

#include "datatypes/scalars/integer.h"
#include "evaluator/error.h"
#include "evaluator/system-values.h"
#include "runtime/exits.h"

namespace qel::testing {
namespace {

class SystemValues : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    define("catalog", system_error_catalog());
    define("standard-error", system_standard_error());
  }
};

TEST_F(SystemValues, TheCatalogHoldsOneObjectPerCategoryWithItsMessages) {
  std::string categories;
  for (const ErrorCategory& category : error_categories) categories += (categories.empty() ? "" : " ") + std::string(category.name);
  EXPECT_EQ(eval_mold("reflect catalog 'words"), "[" + categories + "]");
  expect_molds({
      {"catalog/script/code", "300"},
      {"catalog/script/type", "\"Script Error\""},
      {"catalog/script/need-value", "[:arg1 \"needs a value\"]"},
      {"catalog/internal/deprecated", "[arg1 \"is DEPRECATED, please use\" arg2 \"instead\"]"},
      {"catalog/internal/not-done", "\"reserved for future use (or not yet implemented)\""},
      {"catalog/user/message", "arg1"},
      {"catalog/reserved1", "make object! [\n    code: 600\n    type: \"Reserved1 Error\"\n]"},
  });
  // Every id of the table is a field of its category, in order.
  for (uint32_t c = 0; c < std::size(error_categories); ++c) {
    const Cell category = *context_word_value_cell(symbol_intern_bytes(error_categories[c].name), system_error_catalog().w1);
    ASSERT_EQ(context_length(category.w1), error_categories[c].ids.size() + 2);
    for (uint32_t i = 0; i < error_categories[c].ids.size(); ++i)
      EXPECT_EQ(symbol_name(context_word_at(category.w1, i + 2)->w2), error_categories[c].ids[i].id);
  }
}

TEST_F(SystemValues, ErrorsAreCopiesOfThePrototype) {
  expect_molds({{"reflect standard-error 'words", "[code type id arg1 arg2 arg3 near where stack files]"},
                {"reflect standard-error 'values", "[none none none none none none none none none none]"}});
  const Cell error = error_make(integer_cell(402));
  EXPECT_EQ(cell_type(error), Type::error);
  EXPECT_EQ(error.w2, kErrorClassId);
  EXPECT_NE(error.w1, system_standard_error().w1);
  EXPECT_EQ(cell_type(*context_word_value_cell(symbol_intern_cstring("code"), system_standard_error().w1)), Type::none);
}

TEST_F(SystemValues, CompletingAnErrorTakesTheSourceFilesWhenThereAreAny) {
  EXPECT_EQ(integer_value(system_stack_trace()), 1);
  Cell error = error_make(integer_cell(402));
  error_field(error, ErrorField::stack) = integer_cell(0);
  error_complete(error);
  EXPECT_EQ(cell_type(error_field(error, ErrorField::stack)), Type::block);
  EXPECT_EQ(cell_type(error_field(error, ErrorField::files)), Type::none);
  EXPECT_EQ(form(error).find("*** Files"), std::string::npos);

  block_append_copy(system_source_files(), load("%a.qel"));
  error = error_make(integer_cell(402));
  error_field(error, ErrorField::stack) = integer_cell(0);
  error_complete(error);
  EXPECT_EQ(mold(error_field(error, ErrorField::files)), "[[%a.qel]]");
  EXPECT_NE(form(error).find("\n*** Files: [[%a.qel]]"), std::string::npos);
}

TEST_F(SystemValues, MakingAndFormingReadTheCatalogObject) {
  // An id a script adds to a category is an error of that category; a changed message shows.
  run("catalog/user: make catalog/user [late: \"too late\"] catalog/math/zero-divide: [\"no\" arg1]");
  Cell late = error_make(load("user late"));
  EXPECT_EQ(integer_value(error_field(late, ErrorField::code)), 801);
  EXPECT_EQ(form(late).substr(0, form(late).find('\n')), "*** User Error: too late");
  EXPECT_EQ(mold(error_field(error_make(integer_cell(801)), ErrorField::id)), "late");
  Cell divide = error_make(load("math zero-divide"));
  error_field(divide, ErrorField::arg1) = integer_cell(7);
  EXPECT_EQ(form(divide).substr(0, form(divide).find('\n')), "*** Math Error: no 7");
  // A message of no shape the reports know shows internal invalid-error's message instead.
  run("catalog/math/zero-divide: 5");
  EXPECT_EQ(form(divide).substr(0, form(divide).find('\n')), "*** Math Error: invalid error object field value: 7");
}

}  // namespace
}  // namespace qel::testing
