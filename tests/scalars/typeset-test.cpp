// typeset!: the bit layout, building from blocks and function specs, the set operations, the
// actions, and the default argument typeset.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/typeset.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/root-block.h"
#include "runtime/symbols.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using Typesets = ScalarTest;

// A block of the cells, kept alive in the root block.
Cell block_of(std::initializer_list<Cell> cells) {
  NodeId node = new_cell_series(static_cast<int64_t>(cells.size()) + 1);
  for (const Cell& cell : cells) *series_append_fresh_slot(node) = cell;
  Cell block = make_cell(Type::block, 0, node);
  root_slot_append(block);
  return block;
}

Cell typeset_of(std::initializer_list<Type> types) {
  Cell typeset = make_cell(Type::typeset);
  for (Type type : types) typeset_set(typeset, type);
  return typeset;
}

std::vector<Type> types_in_block(const Cell& block) {
  std::vector<Type> types;
  for (uint32_t i = 0; i < series_buffer_length(block.w2); ++i)
    types.push_back(static_cast<Type>(series_buffer(block.w2)->head_cell()[i].w1));
  return types;
}

TEST_F(Typesets, BitLayoutPutsIdZeroInTheTopBitOfPayloadByteFour) {
  struct Row {
    size_t id;
    uint32_t w1, w2, w3;
  };
  const Row rows[] = {
      {0, 0x80, 0, 0},          {1, 0x40, 0, 0},          {7, 0x01, 0, 0},   {8, 0x8000, 0, 0},
      {31, 0x01000000, 0, 0},   {33, 0, 0x40, 0},         {64, 0, 0, 0x80},  {95, 0, 0, 0x01000000},
  };
  for (const Row& row : rows) {
    Cell typeset = make_cell(Type::typeset);
    typeset_set(typeset, static_cast<Type>(row.id));
    EXPECT_EQ(typeset.w1, row.w1) << row.id;
    EXPECT_EQ(typeset.w2, row.w2) << row.id;
    EXPECT_EQ(typeset.w3, row.w3) << row.id;
    EXPECT_TRUE(typeset_has(typeset, static_cast<Type>(row.id)));
  }
}

TEST_F(Typesets, TheDefaultArgumentTypesetHoldsEveryTypeButUnset) {
  Cell block = block_of({});
  Cell typeset = *typeset_make_in_default(block);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&typeset)[4], 0xDF);
  for (size_t byte = 5; byte < 16; ++byte) EXPECT_EQ(reinterpret_cast<const uint8_t*>(&typeset)[byte], 0xFF);
  EXPECT_FALSE(typeset_has(typeset, Type::unset));
  EXPECT_TRUE(typeset_has(typeset, Type::none));
  EXPECT_EQ(call(Act::Find, typeset, datatype_cell(Type::unset)).w1, 0u);
  EXPECT_EQ(call(Act::Find, typeset, datatype_cell(Type::integer)).w1, 1u);
  EXPECT_EQ(typeset_count(typeset), static_cast<int32_t>(type_index(highest_type_id())) - 1);
}

TEST_F(Typesets, MakeFormAndMold) {
  Cell empty = call(Act::Make, datatype_cell(Type::typeset), block_of({}));
  EXPECT_EQ(mold(empty), "make typeset! []");
  EXPECT_EQ(text_of(call(Act::Mold, {{0}}, empty)), "");
  Cell numbers = call(Act::Make, datatype_cell(Type::typeset),
                      block_of({datatype_cell(Type::float_), datatype_cell(Type::integer)}));
  EXPECT_EQ(form(numbers), "make typeset! [integer! float!]");
  EXPECT_EQ(text_of(call(Act::Mold, {{0}}, numbers)), "integer! float!");  // /only
  EXPECT_TRUE(same_value(call(Act::To, datatype_cell(Type::typeset), numbers), numbers));
  EXPECT_EQ(call_error(Act::To, datatype_cell(Type::typeset), integer_cell(1)), error_id("script", "bad-to-arg"));
  EXPECT_EQ(call_error(Act::Make, datatype_cell(Type::typeset), block_of({integer_cell(1)})),
            error_id("script", "invalid-arg"));
}

TEST_F(Typesets, WordsInBlocksAndSpecsAreLookedUp) {
  global_set_value(symbol_intern_cstring("number!"), typeset_of({Type::integer, Type::float_}));
  global_set_value(symbol_intern_cstring("any-word!"), word_from_c_string("word!"));
  Cell number = word_from_c_string("number!");
  Cell made = call(Act::Make, datatype_cell(Type::typeset), block_of({datatype_cell(Type::percent), number}));
  EXPECT_TRUE(same_value(made, typeset_of({Type::integer, Type::float_, Type::percent})));
  EXPECT_EQ(call_error(Act::Make, datatype_cell(Type::typeset), block_of({word_from_c_string("unknown")})),
            error_id("script", "no-value"));

  Cell result = block_of({});
  Cell spec = block_of({number, block_of({}), word_from_c_string("any-word!"), datatype_cell(Type::none)});
  Cell* typeset = typeset_from_spec(result, spec);
  EXPECT_TRUE(same_value(*typeset, typeset_of({Type::integer, Type::float_, Type::object, Type::none})));
  EXPECT_EQ(error_of([&] { typeset_from_spec(result, block_of({integer_cell(3)})); }),
            error_id("script", "invalid-type-spec"));
  EXPECT_EQ(series_buffer_length(result.w2), 1u);  // nothing appended by the failed one

  // Words as loaded code holds them: bound to the global context, their slot not yet resolved.
  const Cell loaded = make_cell(Type::word, global_context(), symbol_intern_cstring("number!"), kUnresolved);
  made = call(Act::Make, datatype_cell(Type::typeset), block_of({loaded}));
  EXPECT_TRUE(same_value(made, typeset_of({Type::integer, Type::float_})));
  EXPECT_TRUE(same_value(*typeset_from_spec(result, block_of({loaded})), typeset_of({Type::integer, Type::float_})));
}

TEST_F(Typesets, SetOperationsComplementAndToBlock) {
  const Cell a = typeset_of({Type::integer, Type::float_});
  const Cell b = typeset_of({Type::float_, Type::char_});
  struct Row {
    int32_t op;
    Cell want;
  };
  const Row rows[] = {
      {kOpUnique, a},
      {kOpOr, typeset_of({Type::integer, Type::float_, Type::char_})},
      {kOpUnion, typeset_of({Type::integer, Type::float_, Type::char_})},
      {kOpAnd, typeset_of({Type::float_})},
      {kOpIntersect, typeset_of({Type::float_})},
      {kOpXor, typeset_of({Type::integer, Type::char_})},
      {kOpDifference, typeset_of({Type::integer, Type::char_})},
      {kOpExclude, typeset_of({Type::integer})},
  };
  for (const Row& row : rows) EXPECT_TRUE(same_value(typeset_set_op(a, b, row.op), row.want)) << row.op;
  EXPECT_TRUE(same_value(typeset_set_op(a, datatype_cell(Type::none), kOpUnion),
                         typeset_of({Type::none, Type::integer, Type::float_})));
  EXPECT_TRUE(same_value(call(Act::And, a, b), typeset_of({Type::float_})));
  EXPECT_EQ(call_error(Act::Or, a, integer_cell(1)), error_id("script", "invalid-arg"));

  Cell all = call(Act::Complement, make_cell(Type::typeset));
  EXPECT_EQ(all.w1 & all.w2 & all.w3, 0xFFFFFFFFu);
  Cell block = block_of({});
  typeset_to_block(all, block);
  std::vector<Type> listed = types_in_block(block);
  ASSERT_EQ(listed.size(), type_index(highest_type_id()));
  for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(listed[i], static_cast<Type>(i + 1));
  EXPECT_EQ(call_error(Act::Find, a, integer_cell(1)), error_id("script", "invalid-arg"));
}

TEST_F(Typesets, Compare) {
  auto compare = [](const Cell& x, const Cell& y, int32_t code) {
    return lookup_action_for_value<Act::Compare>(x)(x, y, code);
  };
  const Cell one = typeset_of({Type::integer});
  const Cell two = typeset_of({Type::integer, Type::char_});
  EXPECT_EQ(compare(one, one, kCompareEqual), 0);
  EXPECT_EQ(compare(one, two, kCompareStrictEqual), 1);
  EXPECT_EQ(compare(one, two, kCompareSort), -1);
  EXPECT_EQ(compare(one, two, kCompareLesser), kNotComparable);
  EXPECT_EQ(compare(one, datatype_cell(Type::integer), kCompareEqual), kNotComparable);
}

}  // namespace
}  // namespace qel
