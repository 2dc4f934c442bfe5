// The helpers of natives and library code: argument checks, errors, words and slots from the
// stack, refinements, block finds, number conversion, text (integer! and word! compare and
// form through the probe rows).
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "datatypes/scalars/typeset.h"
#include "memory-fixture.h"
#include "probe-rows.h"
#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/compiled-support.h"
#include "runtime/contexts.h"
#include "runtime/runtime-symbols.h"
#include "runtime/value-stack.h"

namespace qel {
namespace {

class CompiledSupport : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    probe::register_rows();
    init_action_entries();
  }
  void TearDown() override {
    datatype_tables_init();
    reset_services();
    MemoryTest::TearDown();
  }
};

// A typeset! of the given types.
Cell typeset_of(std::initializer_list<Type> types) {
  Cell typeset = make_cell(Type::typeset);
  for (Type type : types) typeset_set(typeset, type);
  return typeset;
}

TEST_F(CompiledSupport, ArgumentTypesAreChecked) {
  services().function_spec_arg_word = [](uint32_t index) { return word_of(index == 1 ? "value" : "other"); };
  Cell f = word_from_c_string("f");
  stack_open_native_frame(f);
  Cell numbers = typeset_of({Type::integer, Type::float_});
  check_arg_type(numbers, integer(1), 1);
  Cell text = string_cell(byte_series_of("x"));
  EXPECT_TRUE(raises_error(error_id("script", "expect-arg"), [&] { check_arg_type(numbers, text, 1); }));
  const StandInError& error = stand_in_last_error();
  EXPECT_EQ(error.args[0].w2, f.w2) << "the function's word";
  EXPECT_EQ(error.args[1].w1, type_index(Type::string));
  EXPECT_EQ(cell_type(error.args[1]), Type::datatype);
  EXPECT_EQ(symbol_name(error.args[2].w2), "value");
  check_optional_arg_type(-1, numbers, text);
  check_refinement_arg_type(make_cell(Type::none), numbers, text, 1);
  check_refinement_arg_type(make_cell(Type::logic, 0), numbers, text, 1);
  EXPECT_TRUE(raises_error(error_id("script", "expect-arg"), [&] { check_optional_arg_type(1, numbers, text); }));
  EXPECT_TRUE(raises_error(error_id("script", "expect-arg"),
                           [&] { check_refinement_arg_type(make_cell(Type::logic, 1), numbers, text, 1); }));
  stack_close_frame();
}

TEST_F(CompiledSupport, NumbersToInt32) {
  struct Row {
    Cell number;
    int32_t value;
    bool type_limit;
  };
  const Row rows[] = {{float_cell(2147483647.0), 2147483647, false},
                      {float_cell(-7.9), -7, false},
                      {float_cell(7.9), 7, false},
                      {float_cell(-2147483648.0), std::numeric_limits<int32_t>::min(), false},
                      {integer(-5), -5, false},
                      {float_cell(2147483647.5), 0, true},
                      {float_cell(-2147483648.5), 0, true},
                      {float_cell(std::numeric_limits<double>::quiet_NaN()), 0, true},
                      {float_cell(std::numeric_limits<double>::infinity()), 0, true}};
  for (const Row& row : rows) {
    if (row.type_limit) {
      EXPECT_TRUE(raises_error(error_id("script", "type-limit"), [&] { number_to_int32(row.number); }));
      EXPECT_EQ(stand_in_last_error().args[0].w1, type_index(Type::integer));
    } else {
      EXPECT_EQ(number_to_int32(row.number), row.value);
    }
  }
  EXPECT_TRUE(raises_error(error_id("script", "invalid-arg"), [&] { number_to_int32(make_cell(Type::none)); }));
}

TEST_F(CompiledSupport, FindValueInBlock) {
  Cell block = rooted_block({word_of("a"), integer(1), word_of("b"), integer(2), word_of("c"), word_of("d"),
                         rooted_block({}), integer(3)});
  EXPECT_EQ(find_value_in_block(block, word_of("B"), 2, FoundAnswer::cell_after), 3);
  EXPECT_EQ(find_value_in_block(block, integer(1), 2, FoundAnswer::cell_after), -1) << "values are not keys";
  EXPECT_EQ(find_value_in_block(block, integer(1), 1, FoundAnswer::cell_after), 2);
  EXPECT_EQ(find_value_in_block(block, integer(3), 1, FoundAnswer::cell_after), -1) << "the last cell";
  EXPECT_EQ(find_value_in_block(block, word_of("c"), 1, FoundAnswer::block_after), 6);
  EXPECT_EQ(find_value_in_block(block, integer(3), 1, FoundAnswer::block_after), -1);
  EXPECT_EQ(find_value_in_block(block, rooted_block({}), 1, FoundAnswer::block_after), -1) << "a block is never found";
  EXPECT_EQ(find_value_in_block(block, make_cell(Type::none), 1, FoundAnswer::cell_after), -1);
}

TEST_F(CompiledSupport, WordsAndSlotsFromTheStack) {
  Cell word = word_from_c_string("target");
  stack_open_native_frame(word);
  const Cell* base = stack_base();
  stack_push_value(integer(4));
  set_word_from_stack_keep(word);
  EXPECT_EQ(stack_top(), base + 1);
  stack_push_value(integer(5));
  set_word_from_stack(word);
  EXPECT_EQ(stack_top(), base);
  EXPECT_EQ(get_word_value_checked(word)->w2, 5u);
  stack_push_value(make_cell(Type::unset));
  EXPECT_TRUE(raises_error(error_id("script", "no-value"), [&] { set_word_from_stack(word); }));
  EXPECT_EQ(stand_in_last_error().args[0].w2, word.w2);
  Cell empty = word_from_c_string("empty");
  EXPECT_TRUE(raises_error(error_id("script", "no-value"), [&] { get_word_value_checked(empty); }));
  EXPECT_TRUE(raises_error(error_id("script", "no-value"), [] { reject_unset_value(make_cell(Type::unset)); }));
  stack_reset_top();

  NodeId object = context_make(2, false, false, 0, kObjectContext);
  root_slot_append(make_cell(Type::object, object));
  context_add_word(symbol_intern_cstring("x"), object);
  stack_push_value(integer(8));
  set_context_value_at(object, 0);
  EXPECT_TRUE(context_word_at(object, 0)->header & kWordSetInObject);
  EXPECT_EQ(context_slot_address(object, 0)->w2, 8u);
  stack_push_value(integer(9));
  set_context_slot_and_drop(object, 0);
  EXPECT_EQ(stack_top(), base);
  EXPECT_EQ(context_slot_address(object, 0)->w2, 9u);
  stack_close_frame();
}

TEST_F(CompiledSupport, RefinementsOfTheCurrentFrame) {
  stack_open_native_frame(word_from_c_string("f"));
  for (int i = 0; i < 5; ++i) stack_push_value(integer(i));
  compiled_refinement_set(make_cell(Type::logic, 1), 1, 2);
  EXPECT_EQ(cell_type(stack_base()[1]), Type::logic);
  EXPECT_EQ(cell_type(stack_base()[2]), Type::integer);
  compiled_refinement_set(make_cell(Type::none), 2, 2);
  EXPECT_EQ(cell_type(stack_base()[3]), Type::none);
  EXPECT_EQ(cell_type(stack_base()[4]), Type::none);
  EXPECT_EQ(stack_base()[4].w2, 4u) << "only the type changes";
  stack_close_frame();
}

TEST_F(CompiledSupport, TextHelpers) {
  NodeId buffer = new_string_series(4, 2);
  EXPECT_EQ(emit_indent(buffer, 3, 100), 88);
  EXPECT_EQ(series_buffer_length(buffer), 12u);
  EXPECT_EQ(emit_indent(buffer, 0, 5), 5);

  NodeId source = byte_series_of("hello world");
  series_buffer(source)->flags |= kSeriesOwned | 0x400;
  Cell part = string_copy_part(make_cell(Type::file, 3, source), 6, 20);
  EXPECT_EQ(cell_type(part), Type::file);
  EXPECT_EQ(text_of(part.w2), "world");
  EXPECT_FALSE(series_buffer(part.w2)->flags & kSeriesOwned);
  EXPECT_TRUE(series_buffer(part.w2)->flags & 0x400);

  stack_open_native_frame(word_from_c_string("f"));
  stack_push_value(integer(-12345));
  Cell& formed = form_frame_argument(false, 0);
  EXPECT_EQ(text_of(formed.w2), "-12345");
  Cell& cut = form_frame_argument(true, 3);
  EXPECT_EQ(text_of(cut.w2), "-12");
  stack_close_frame();
}

std::vector<Cell> printed;

TEST_F(CompiledSupport, PrintErrorValueThrowsNothing) {
  printed.clear();
  services().print = [](const Cell& value) { printed.push_back(value); };
  const Cell* top = stack_top();
  const uint32_t depth = call_stack_depth();
  const Cell args[] = {integer(1)};
  print_error_value(error_id("script", "invalid-arg"), args);
  EXPECT_EQ(printed.size(), 1u);
  EXPECT_EQ(stand_in_last_error().id, error_id("script", "invalid-arg"));
  EXPECT_EQ(stack_top(), top);
  EXPECT_EQ(call_stack_depth(), depth);
}

TEST_F(CompiledSupport, PathStepsThatNotify) {
  const Cell block = make_cell(Type::block), hash = make_cell(Type::hash), path = make_cell(Type::get_path);
  const Cell watched = make_cell(Type::object, 0, 0, 7), quiet = make_cell(Type::object), number = integer(1);
  const Cell word = word_of("w"), get = word_of("w", Type::get_word);
  struct Row {
    bool set;
    uint32_t elements;
    bool last;
    const Cell* parent;
    const Cell* previous;
    bool notifies;
  };
  const Row rows[] = {{true, 2, true, &block, &word, true},    {true, 2, true, &hash, nullptr, true},
                      {true, 3, true, &path, &word, true},     {true, 2, true, &watched, &word, true},
                      {true, 2, true, &watched, &get, false},  {true, 2, true, &quiet, &word, false},
                      {true, 2, true, &number, &word, false},  {true, 1, true, &block, &word, false},
                      {true, 2, false, &block, &word, false},  {false, 2, true, &block, &word, false},
                      {true, 2, true, nullptr, &word, false}};
  for (const Row& row : rows)
    EXPECT_EQ(path_step_notifies(row.set, row.elements, row.last, row.parent, row.previous), row.notifies)
        << &row - rows;
}

}  // namespace
}  // namespace qel
