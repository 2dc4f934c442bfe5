// loop-steps-test.cpp: assigning a block of words from a value, with the flags set passes.
#include "evaluator/loop-steps.h"
#include "tests/evaluator/eval-fixture.h"

namespace qel::testing {
namespace {

class WordAssignTest : public EvalTest {
 protected:
  // Sets a, b and c to 0, then assigns the words block from the source (a loaded block, or its
  // first value with `first`); answers the molded values of a, b and c, or the error raised.
  std::string assign(std::string_view words, std::string_view source, WordAssignFlags flags, bool first = false) {
    for (const char* name : {"a", "b", "c"}) define(name, integer_cell(0));
    const Cell word_block = load(words);
    Cell value = load(source);
    if (first) value = *block_cell_at(value, 0);
    const Caught caught = trap_errors([&] {
      loop_words_assign_block(word_block, value, static_cast<uint32_t>(block_length(word_block)), flags);
    });
    if (caught.taken) {
      stack_drop(1);
      return "error " + error_name(last_built.id);
    }
    return mold(value_of("a")) + " " + mold(value_of("b")) + " " + mold(value_of("c"));
  }
};

TEST_F(WordAssignTest, ABlockDistributesAndAnyOtherValueGoesToEveryWord) {
  EXPECT_EQ(assign("a b c", "1 2", {}), "1 2 none");
  EXPECT_EQ(assign("a b c", "1 2", {.only = true}), "[1 2] [1 2] [1 2]");
  EXPECT_EQ(assign("a b c", "7", {}, true), "7 7 7");
  EXPECT_EQ(assign("a :b 'c", "(5 6 7)", {}, true), "5 6 7");
  EXPECT_EQ(assign("a b c", "5", {.some = true}), "5 0 0");
}

TEST_F(WordAssignTest, NothingIsSetUnlessEveryWordAndValueIsGood) {
  EXPECT_EQ(assign("a 1 c", "1 2 3", {}), "error script/invalid-arg");
  EXPECT_EQ(value_of("a").w2, 0u);
  Cell unset_source = load("x");
  *block_cell_at(unset_source, 0) = make_cell(Type::unset);
  const Cell word_block = load("a b");
  for (const char* name : {"a", "b"}) define(name, integer_cell(0));
  Caught caught = trap_errors([&] { loop_words_assign_block(word_block, unset_source, 2, {}); });
  EXPECT_EQ(caught.taken, kThrowError);
  stack_drop(1);
  EXPECT_EQ(error_name(last_built.id), "script/need-value");
  EXPECT_EQ(mold(value_of("a")), "0");
  caught = trap_errors([&] { loop_words_assign_block(word_block, unset_source, 2, {.any = true}); });
  EXPECT_EQ(caught.taken, 0u);
  EXPECT_EQ(cell_type(value_of("a")), Type::unset);
  EXPECT_EQ(mold(value_of("b")), "none");
}

}  // namespace
}  // namespace qel::testing
