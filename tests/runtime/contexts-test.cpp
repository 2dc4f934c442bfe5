// Contexts: finding and adding words, setting and reading them, binding, the global context.
#include <gtest/gtest.h>

#include <vector>

#include "memory-fixture.h"
#include "value-fixtures.h"
#include "runtime/call-stack.h"
#include "runtime/call-trace.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/gc-root.h"
#include "runtime/root-block.h"
#include "runtime/runtime-record.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {
namespace {

class Contexts : public MemoryTest {
 protected:
  void TearDown() override {
    reset_services();
    MemoryTest::TearDown();
  }
};

TEST_F(Contexts, FindsBySpellingOrUpToCase) {
  NodeId context = context_make(4, false, false, 0, 0);
  root_slot_append(make_cell(Type::object, context));
  int32_t slot = -2;
  EXPECT_EQ(context_find_or_add_word(context, symbol_intern_cstring("size"), true, slot), -1);
  EXPECT_EQ(slot, 0);
  uint32_t capital = symbol_intern_cstring("Size");
  EXPECT_EQ(context_find_word(context, capital, true), 0);
  EXPECT_EQ(context_find_word(context, capital, false), -1);
  Cell word = context_add_word(capital, context);
  EXPECT_EQ(word.w2, capital);
  EXPECT_EQ(word.w3, 0u) << "found under another spelling";
  EXPECT_EQ(context_length(context), 1u);
}

TEST_F(Contexts, ManyWordsGrowTheTableAndKeepTheirSlots) {
  NodeId context = context_make(2, false, false, 0, 0);
  root_slot_append(make_cell(Type::object, context));
  std::vector<uint32_t> symbols;
  for (int i = 0; i < 3000; ++i) symbols.push_back(symbol_intern_bytes("w" + std::to_string(i)));
  for (uint32_t symbol : symbols) context_add_word(symbol, context);
  gc_safepoint();
  for (size_t i = 0; i < symbols.size(); ++i) ASSERT_EQ(context_find_word(context, symbols[i], true), static_cast<int32_t>(i));
  EXPECT_EQ(series_buffer_length(context_cell(context).w2), 3000u);
  EXPECT_EQ(context_word_at(context, 7)->w2, symbols[7]);
}

// Finds remember where a word was last found; what they answer must not depend on it: not on
// the order of finds, on another context holding the same words elsewhere, on a spelling held
// twice up to case, or on a context's node being reused after it died.
TEST_F(Contexts, RepeatedFindsAnswerWhatTheProbeWould) {
  auto make = [](std::initializer_list<const char*> names, bool rooted) {
    NodeId context = context_make(4, false, false, 0, 0);
    if (rooted) root_slot_append(make_cell(Type::object, context));
    for (const char* name : names) context_add_word(symbol_intern_cstring(name), context);
    return context;
  };
  const uint32_t a = symbol_intern_cstring("a"), c = symbol_intern_cstring("c");
  NodeId first = make({"a", "b", "c"}, true);
  NodeId second = make({"c", "a"}, true);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(context_find_word(first, c, true), 2);
    EXPECT_EQ(context_find_word(second, c, true), 0);
    EXPECT_EQ(context_find_word(first, a, false), 0);
    EXPECT_EQ(context_find_word(second, a, false), 1);
  }
  // Two spellings of one word, the second added by exact spelling: a find up to case answers
  // the first, an exact find each its own, in either order and again.
  NodeId both = make({"size"}, true);
  int32_t slot;
  const uint32_t capital = symbol_intern_cstring("Size");
  EXPECT_EQ(context_find_or_add_word(both, capital, false, slot), -1);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(context_find_word(both, capital, false), 1);
    EXPECT_EQ(context_find_word(both, capital, true), 0);
    EXPECT_EQ(context_find_word(both, symbol_intern_cstring("size"), true), 0);
  }
  // A dead context's node serves a new context with other words.
  NodeId dead = make({"p", "q"}, false);
  const uint32_t q = symbol_intern_cstring("q");
  EXPECT_EQ(context_find_word(dead, q, true), 1);
  collect_now();
  for (int i = 0; i < 50; ++i) {
    NodeId fresh = make({"q"}, false);
    ASSERT_EQ(context_find_word(fresh, q, true), 0);
    ASSERT_EQ(context_find_word(fresh, symbol_intern_cstring("p"), true), -1);
  }
}

std::vector<std::vector<Cell>> field_changes;
void record_field_change(const Cell& owner, const Cell& word, const Cell& old_value, const Cell& new_value) {
  field_changes.push_back({owner, word, old_value, new_value});
}

TEST_F(Contexts, AnObjectFieldSetTwiceFiresOnChangeTwice) {
  services().object_fire_field_change = record_field_change;
  field_changes.clear();
  NodeId context = context_make(2, false, false, 0, kObjectContext);
  Cell object = make_cell(Type::object, context, 0, new_cell_series(1));  // w3: a change record
  context_owner(context) = object;
  root_slot_append(object);
  Cell word = word_of("field");
  word.w1 = context;
  word_set(word, integer(1));
  word_set(word, integer(2));
  EXPECT_EQ(context_length(context), 1u);
  EXPECT_TRUE(context_word_at(context, 0)->header & kWordSetInObject);
  ASSERT_EQ(field_changes.size(), 2u);
  EXPECT_EQ(field_changes[1][2].w2, 1u) << "the first value is the old one";
  EXPECT_EQ(field_changes[1][3].w2, 2u);
  EXPECT_EQ(word_value_cell(word)->w2, 2u);
  // Without a change record, or without notify, nothing fires.
  context_owner(context).w3 = 0;
  word_set(word, integer(3));
  word_set_core(word, integer(4), context, false);
  EXPECT_EQ(field_changes.size(), 2u);
}

TEST_F(Contexts, WordsOfContextsWithoutValues) {
  NodeId function = context_make(2, true, false, 0, 0);
  root_slot_append(make_cell(Type::function, function));
  Cell word = context_add_word(symbol_intern_cstring("arg"), function);
  EXPECT_TRUE(raises_error(error_id("script", "not-defined"), [&] { word_set(word, integer(1)); }));
  EXPECT_TRUE(raises_error(error_id("script", "not-in-context"), [&] { word_value_cell(word); }));
  Cell absent = word_of("absent");
  absent.w1 = function;
  EXPECT_TRUE(raises_error(error_id("script", "not-defined"), [&] { word_set(absent, integer(1)); }));
  EXPECT_EQ(context_length(function), 1u) << "a stack context gains no slot on a set";
}

TEST_F(Contexts, WordsOfARunningFunctionAreItsArguments) {
  Cell spec = rooted_block({word_of("a"), word_of("b")});
  NodeId function = context_make_from_spec(spec, true, false, 0);
  root_slot_append(make_cell(Type::function, function));
  Cell name = word_from_c_string("f");
  stack_open_native_frame(name);
  stack_push_value(integer(10));
  stack_push_value(integer(20));
  stack_open_body_frame(name, function);
  Cell a = context_add_word(symbol_intern_cstring("A"), function);
  Cell b = context_add_word(symbol_intern_cstring("b"), function);
  word_set(a, integer(11));
  EXPECT_EQ(word_value_cell(a)->w2, 11u);
  EXPECT_EQ(word_value_cell(b)->w2, 20u);
  EXPECT_EQ(stack_cell_at(stack_index(stack_base()) - 2)->w2, 11u) << "the argument cell itself";
  // A symbol the running function lacks: nothing is written anywhere.
  const uint32_t top = stack_index(stack_top());
  std::vector<Cell> before(stack_begin(), stack_top());
  Cell absent = word_of("c");
  absent.w1 = function;
  EXPECT_TRUE(raises_error(error_id("script", "not-in-context"), [&] { word_set(absent, integer(1)); }));
  EXPECT_EQ(stack_index(stack_top()), top);
  for (uint32_t i = 0; i < top; ++i) EXPECT_EQ(stack_begin()[i].w2, before[i].w2) << i;
  EXPECT_EQ(context_length(function), 2u);
  // A word of a running function reads the global value through context-word-value-cell.
  global_set_value(symbol_intern_cstring("g"), integer(5));
  EXPECT_EQ(context_word_value_cell(symbol_intern_cstring("g"), function)->w2, 5u);
  stack_close_frame();
  *context_values_word(function) = 0;
  stack_close_frame();
}

TEST_F(Contexts, CollectCallsOfFunctionWordsOnly) {
  Cell f = word_from_c_string("f"), g = word_from_c_string("g");
  word_set(f, make_cell(Type::function));
  word_set(g, integer(1));
  stack_open_native_frame(f);
  stack_open_native_frame(g);
  stack_open_native_frame(f);
  Cell listed = rooted_block({});
  stack_collect_calls(1, listed, call_stack_depth());
  ASSERT_EQ(series_buffer_length(listed.w2), 2u);
  EXPECT_EQ(cell_at(listed, 0).w2, f.w2);
  EXPECT_EQ(cell_at(listed, 1).w2, f.w2);
  for (int i = 0; i < 3; ++i) stack_close_frame();
}

TEST_F(Contexts, UnresolvedWords) {
  NodeId context = context_make(2, false, false, 0, 0);
  root_slot_append(make_cell(Type::object, context));
  Cell word = word_of("loose");
  word.w1 = context;
  EXPECT_TRUE(raises_error(error_id("script", "no-value"), [&] { word_value_cell(word); }));
  Cell global_word = word_of("loose");
  global_word.w1 = global_context();
  EXPECT_EQ(word_value_cell(global_word), &context_owner(global_context()));
}

TEST_F(Contexts, BindingADeepBlockThatHoldsItself) {
  NodeId context = context_make(4, false, false, 0, 0);
  root_slot_append(make_cell(Type::object, context));
  for (const char* name : {"a", "b"}) context_add_word(symbol_intern_cstring(name), context);
  Cell inner = rooted_block({word_of("b", Type::set_word), word_of("self"), word_of("other")});
  Cell paren = rooted_block({word_of("A", Type::get_word)});
  paren.header = static_cast<uint32_t>(Type::paren);
  Cell outer = rooted_block({word_of("a"), inner, paren});
  *series_append_fresh_slot(outer.w2) = outer;                    // the block holds itself
  *series_append_fresh_slot(paren.w2) = outer;                    // and a paren in it holds it too
  bind_block_deep(outer, context, true);
  EXPECT_EQ(cell_at(outer, 0).w1, context);
  EXPECT_EQ(cell_at(outer, 0).w3, 0u);
  EXPECT_EQ(cell_at(inner, 0).w3, 1u);
  EXPECT_EQ(cell_at(paren, 0).w3, 0u) << "bound up to case";
  EXPECT_EQ(cell_at(inner, 1).w1, context) << "self";
  EXPECT_EQ(cell_at(inner, 1).w3, kUnresolved);
  EXPECT_EQ(cell_at(inner, 2).w1, 0u) << "a word the context lacks stays as it was";
  EXPECT_EQ(cycle_stack_depth(), 0u);
}

TEST_F(Contexts, BindingTooDeepARaisesCatchably) {
  Cell block = rooted_block({});
  Cell inner = block;
  for (int depth = 0; depth < 5000; ++depth) {
    Cell next = make_cell(Type::block, 0, new_cell_series(1));
    *series_append_fresh_slot(inner.w2) = next;
    inner = next;
  }
  NodeId context = context_make(1, false, false, 0, 0);
  root_slot_append(make_cell(Type::object, context));
  EXPECT_TRUE(raises_error(error_id("internal", "too-deep"), [&] { bind_block_deep(block, context, false); }));
  EXPECT_EQ(cycle_stack_depth(), 0u);
  cycle_stack_push(block.w2);
  EXPECT_TRUE(cycle_stack_contains(block.w2));
  cycle_stack_pop();
}

TEST_F(Contexts, SpecsAndSetWords) {
  Cell spec = rooted_block({word_of("x"), word_of("y", Type::get_word), word_of("local", Type::refinement),
                            word_of("z", Type::lit_word), rooted_block({}), word_of("X")});
  NodeId function = context_make_from_spec(spec, true, false, 0);
  root_slot_append(make_cell(Type::function, function));
  EXPECT_EQ(context_length(function), 4u);
  EXPECT_EQ(context_find_word(function, symbol_intern_cstring("z"), true), 3);
  NodeId object = context_make_from_spec(spec, false, false, kObjectContext);
  root_slot_append(make_cell(Type::object, object));
  EXPECT_EQ(series_buffer_length(context_cell(object).w2), 4u);
  Cell body = rooted_block({word_of("y", Type::set_word), word_of("n", Type::set_word), word_of("m")});
  EXPECT_TRUE(collect_set_words(object, body));
  EXPECT_EQ(context_length(object), 5u);
  EXPECT_FALSE(collect_set_words(object, body));
  body.w1 = 9;
  EXPECT_FALSE(collect_set_words(object, body)) << "an index past the tail adds nothing";
}

TEST_F(Contexts, CloneAndPrototype) {
  NodeId context = context_make(2, false, false, 0, kObjectContext);
  Cell owner = make_cell(Type::object, context);
  context_owner(context) = owner;
  root_slot_append(owner);
  context_set_value(context, word_of("p"), integer(5));
  Cell copy_owner = owner;
  NodeId copy = context_clone(copy_owner, kObjectContext);
  root_slot_append(copy_owner);
  EXPECT_EQ(copy_owner.w1, copy);
  EXPECT_EQ(context_word_at(copy, 0)->w1, copy);
  EXPECT_EQ(context_word_value_cell(symbol_intern_cstring("p"), copy)->w2, 5u);
  context_set_value(copy, word_of("p"), integer(6));
  EXPECT_EQ(context_word_value_cell(symbol_intern_cstring("p"), context)->w2, 5u);
  NodeId made = context_make(3, false, false, context_cell(context).w1, 0);
  root_slot_append(make_cell(Type::object, made));
  EXPECT_EQ(context_find_word(made, symbol_intern_cstring("p"), true), 0);
  EXPECT_EQ(cell_type(*context_word_value_cell(symbol_intern_cstring("p"), made)), Type::unset);
  EXPECT_FALSE(context_add_value(made, word_of("P"), integer(1)));
  EXPECT_TRUE(context_add_value(made, word_of("q"), integer(1)));
}

TEST_F(Contexts, GlobalWords) {
  runtime.boot_flag = true;
  const uint32_t roots = series_buffer_length(root_block());
  Cell word = word_from_c_string("greeting");
  EXPECT_EQ(series_buffer_length(root_block()), roots + 1) << "rooted during start-up";
  runtime.boot_flag = false;
  global_set_value(word.w2, integer(42));
  EXPECT_EQ(global_value_cell(symbol_intern_cstring("GREETING"))->w2, 42u);
  EXPECT_EQ(word_value_cell(word)->w2, 42u);
  Cell refinement = refinement_from_c_string("part");
  EXPECT_EQ(cell_type(refinement), Type::refinement);
  EXPECT_EQ(refinement.w3, 0u);
  Cell issue = issue_from_c_string("ooo");
  EXPECT_EQ(issue.w1, global_context());
  EXPECT_EQ(issue.w3, kUnresolved);
  EXPECT_EQ(symbol_name(issue.w2), "ooo");
  EXPECT_EQ(series_buffer_length(root_block()), roots + 3);
  EXPECT_EXIT(global_value_cell(symbol_intern_cstring("never-added")), ::testing::ExitedWithCode(98), "");
}

}  // namespace
}  // namespace qel
