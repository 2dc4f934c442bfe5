// object! values built from C++: class ids, select, reflect, modify and form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/scalars/integer.h"
#include "evaluator/error.h"
#include "evaluator/object.h"
#include "runtime/action-lookup.h"
#include "tests/evaluator/word-fixture.h"

namespace qel {
namespace {

class ObjectValues : public WordActions {
 protected:
  // An object of the fields, each word and value in turn.
  static Cell object_of(std::initializer_list<std::pair<const char*, Cell>> fields) {
    const Cell object = object_make_empty(static_cast<int64_t>(fields.size()));
    for (const auto& [name, value] : fields) context_add_value(object.w1, word_value(name), value);
    return object;
  }

  // The spellings and the types of a block's cells, "name" for words and "name:" for set-words.
  static std::string words_of(const Cell& block) {
    std::string out;
    for (uint32_t i = block.w1; i < series_buffer_length(block.w2); ++i) {
      const Cell& cell = series_buffer(block.w2)->head_cell()[i];
      if (!out.empty()) out += ' ';
      if (cell_type(cell) == Type::integer)
        out += std::to_string(integer_value(cell));
      else
        out += std::string(symbol_name(cell.w2)) + (cell_type(cell) == Type::set_word ? ":" : "");
    }
    return out;
  }
};

TEST_F(ObjectValues, ClassIdsStartAfterTheFixedOnes) {
  EXPECT_GT(object_next_class_id(), 2u);
  const uint32_t id = object_next_class_id();
  EXPECT_EQ(object_next_class_id(), id + 1);
  EXPECT_EQ(object_make_empty(1).w2, 0u);
}

TEST_F(ObjectValues, SelectReadsAFieldByAnyWordOfItsName) {
  const Cell o = object_of({{"k", int_cell(9)}});
  EXPECT_EQ(integer_value(act(Act::Select, {o, word_value("K")})), 9);
  EXPECT_EQ(cell_type(act(Act::Select, {o, word_value("zz")})), Type::none);
  Cell set_word = word_value("k");
  set_word.header = static_cast<uint32_t>(Type::set_word);
  EXPECT_EQ(integer_value(act(Act::Select, {o, set_word})), 9);
  const Cell refinement = make_cell(Type::refinement, 0, symbol_intern_cstring("k"), 0);
  EXPECT_TRUE(raises_error(error_id("script", "invalid-type"), [&] { act(Act::Select, {o, refinement}); }));
}

TEST_F(ObjectValues, ReflectGivesWordsValuesBodyAndClass) {
  const Cell o = object_of({{"a", int_cell(1)}, {"b", int_cell(2)}});
  EXPECT_EQ(words_of(act(Act::Reflect, {o, word_value("words")})), "a b");
  EXPECT_EQ(words_of(act(Act::Reflect, {o, word_value("values")})), "1 2");
  EXPECT_EQ(words_of(act(Act::Reflect, {o, word_value("body")})), "a: 1 b: 2");
  EXPECT_EQ(integer_value(act(Act::Reflect, {o, word_value("class")})), 0);
  EXPECT_EQ(cell_type(act(Act::Reflect, {o, word_value("events?")})), Type::logic);
  EXPECT_TRUE(raises_error(error_id("internal", "not-done"), [&] { act(Act::Reflect, {o, word_value("foo")}); }));
  // error! takes the object actions.
  const Cell error = error_make(int_cell(402));
  EXPECT_EQ(integer_value(act(Act::Reflect, {error, word_value("class")})), 1);
  EXPECT_EQ(integer_value(act(Act::Select, {error, word_value("code")})), 402);
}

TEST_F(ObjectValues, ModifyChangedClearsTheSetMarksAndRefusesOtherWordsAndValues) {
  const Cell o = object_of({{"a", int_cell(1)}, {"b", int_cell(2)}});
  context_word_at(o.w1, 1)->header |= kWordSetInObject;
  EXPECT_EQ(words_of(act(Act::Reflect, {o, word_value("changed")})), "b");
  act(Act::Modify, {o, word_value("changed"), make_cell(Type::none)});
  EXPECT_EQ(words_of(act(Act::Reflect, {o, word_value("changed")})), "");
  EXPECT_TRUE(raises_error(error_id("script", "invalid-arg"), [&] { act(Act::Modify, {o, word_value("changed"), int_cell(5)}); }));
  EXPECT_EQ(cell_type(stand_in_last_error().args[0]), Type::integer);
  EXPECT_TRUE(raises_error(error_id("script", "invalid-arg"), [&] { act(Act::Modify, {o, word_value("colour"), int_cell(1)}); }));
  EXPECT_EQ(symbol_name(stand_in_last_error().args[0].w2), "colour");
}

TEST_F(ObjectValues, FormWritesOneFieldALine) {
  EXPECT_EQ(form_value_text(object_of({{"a", int_cell(1)}, {"b", text_value("x y")}})), "a: 1\nb: x y");
  EXPECT_EQ(form_value_text(object_make_empty(1)), "");
}

TEST_F(ObjectValues, MoldWritesASetWordALineAndMarksAnObjectInsideItself) {
  const Cell o = object_of({{"a", int_cell(1)}, {"b", int_cell(2)}});
  EXPECT_EQ(head_text(act(Act::Mold, {o})), "make object! [\n    a: 1\n    b: 2\n]");
  EXPECT_EQ(head_text(act(Act::Mold, {o}, {{2}})), "make object! [a: 1 b: 2]");
  EXPECT_EQ(head_text(act(Act::Mold, {object_make_empty(1)})), "make object! []");
  const Cell self = object_of({{"me", make_cell(Type::none)}});
  context_set_value(self.w1, word_value("me"), self);
  EXPECT_EQ(head_text(act(Act::Mold, {self}, {{2}})), "make object! [me: make object! [...]]");
  EXPECT_EQ(form_value_text(self), "me: ...");
  EXPECT_EQ(head_text(act(Act::Mold, {error_make(int_cell(402))}, {{2}})).substr(0, 37),
            "make error! [code: 402 type: math id:");
}

TEST_F(ObjectValues, PathStepsAndPutReadAndSetNamedFields) {
  const Cell o = object_of({{"k", int_cell(9)}});
  const PathStep alone{nullptr, nullptr, nullptr, nullptr, -1, false, true, true, false};
  Cell target = o, element = word_value("k");
  EXPECT_EQ(integer_value(*lookup_action_for_value<Act::PathStep>(o)(target, element, nullptr, alone)), 9);
  Cell new_value = int_cell(10);
  target = o;
  lookup_action_for_value<Act::PathStep>(o)(target, element, &new_value, alone);
  EXPECT_EQ(integer_value(act(Act::Select, {o, word_value("k")})), 10);
  Cell missing = word_value("zz");
  EXPECT_TRUE(raises_error(error_id("script", "invalid-path"), [&] {
    Cell copy = o;
    lookup_action_for_value<Act::PathStep>(o)(copy, missing, nullptr, alone);
  }));

  act(Act::Put, {o, word_value("k"), int_cell(11)});
  EXPECT_EQ(integer_value(act(Act::Select, {o, word_value("k")})), 11);
  EXPECT_EQ(words_of(act(Act::Reflect, {o, word_value("changed")})), "k");
  Cell set_word = word_value("k");
  set_word.header = static_cast<uint32_t>(Type::set_word);
  EXPECT_TRUE(raises_error(error_id("script", "invalid-key-type"), [&] { act(Act::Put, {o, set_word, int_cell(1)}); }));
}

TEST_F(ObjectValues, CompareByFieldsAndIdentity) {
  const Cell o = object_of({{"a", int_cell(1)}, {"b", int_cell(2)}});
  const Cell same_fields = object_of({{"A", int_cell(1)}, {"b", int_cell(2)}});
  const Cell other = object_of({{"a", int_cell(1)}, {"b", int_cell(3)}});
  EXPECT_TRUE(compare_values(o, o, kCompareSame));
  EXPECT_FALSE(compare_values(o, same_fields, kCompareSame));
  EXPECT_TRUE(compare_values(o, same_fields, kCompareEqual));
  EXPECT_FALSE(compare_values(o, other, kCompareEqual));
  EXPECT_TRUE(compare_values(o, other, kCompareLesser));
  EXPECT_TRUE(compare_values(o, object_of({{"a", int_cell(1)}}), kCompareGreater));
  EXPECT_FALSE(compare_values(o, int_cell(1), kCompareEqual));
  const Cell self = object_of({{"me", make_cell(Type::none)}});
  context_set_value(self.w1, word_value("me"), self);
  const Cell twin = object_of({{"me", make_cell(Type::none)}});
  context_set_value(twin.w1, word_value("me"), twin);
  EXPECT_TRUE(compare_values(self, twin, kCompareEqual));
}

TEST_F(ObjectValues, ACopyKeepsTheClassAndOwnsItsSeries) {
  Cell o = object_of({{"blk", block_of({int_cell(1)})}, {"n", int_cell(4)}});
  o.w2 = object_next_class_id();
  context_owner(o.w1) = o;
  const Cell copy = act(Act::Copy, {o});
  EXPECT_NE(copy.w1, o.w1);
  EXPECT_EQ(copy.w2, o.w2);
  act(Act::Append, {act(Act::Select, {copy, word_value("blk")}), int_cell(2)});
  EXPECT_EQ(words_of(act(Act::Select, {o, word_value("blk")})), "1");
  EXPECT_EQ(words_of(act(Act::Select, {copy, word_value("blk")})), "1 2");
  EXPECT_TRUE(compare_values(act(Act::Select, {copy, word_value("n")}), int_cell(4), kCompareEqual));
}

TEST_F(ObjectValues, HooksNeedARecordAndHandlerFieldsHoldFunctions) {
  Cell plain = object_of({{"v", int_cell(0)}, {"on-change*", make_cell(Type::none)}});
  object_install_hooks(plain);
  EXPECT_EQ(plain.w3, 0u);
  EXPECT_TRUE(raises_error(error_id("script", "invalid-obj-evt"),
                           [&] { object_fire_field_change(plain, word_value("v"), int_cell(0), int_cell(1)); }));

  Cell bad = object_of({{"on-deep-change*", text_value("x")}});
  EXPECT_TRUE(raises_error(error_id("script", "bad-field-set"), [&] { object_install_hooks(bad); }));
  EXPECT_EQ(symbol_name(stand_in_last_error().args[0].w2), "on-deep-change*");
}

}  // namespace
}  // namespace qel
