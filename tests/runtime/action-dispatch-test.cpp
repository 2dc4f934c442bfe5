// Action dispatch: lookup and its errors, port actors, comparison, the entries' special handling
// and calls from C++. Datatypes that do not exist yet are probe rows that record what they get.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/series.h"
#include "runtime/throw.h"
#include "stack-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

// What the probes saw.
struct Seen {
  std::vector<const char*> calls;
  Type type_id = Type::none_id;
  Cell first{}, second{};
  Cell* part = nullptr;
  Cell* with = nullptr;
  bool only = false, case_ = false;
};
Seen seen;

int32_t compare_answer = 0;
int32_t probe_compare(const Cell&, const Cell&, int32_t) { return compare_answer; }

Cell* probe_make(Cell& type, Cell& spec, Type type_id) {
  seen.calls.push_back("make");
  seen.first = type;
  seen.second = spec;
  seen.type_id = type_id;
  static Cell made = integer(42);
  return &made;
}

int32_t length_answer = 0;
int32_t probe_length(Cell&) { return length_answer; }

void probe_clear(Cell&) { seen.calls.push_back("clear"); }
void actor_clear(Cell&) { seen.calls.push_back("actor clear"); }
void probe_negate(Cell& number) {
  seen.calls.push_back("negate");
  number.w2 = static_cast<uint32_t>(-static_cast<int32_t>(number.w2));
}

Cell* probe_find(Cell& series, Cell&, Cell* part, bool only, bool case_, bool, bool, Cell* with, Cell*, bool, bool,
                 bool, bool) {
  seen.calls.push_back("find");
  seen.part = part;
  seen.with = with;
  seen.only = only;
  seen.case_ = case_;
  return &series;
}

Cell* probe_copy(Cell& value, Cell*, bool, Cell* types, Cell& result) {
  seen.calls.push_back("copy");
  seen.with = types;
  result = value;
  result.w3 = 99;
  return &result;
}

bool probe_even(const Cell& number) { return (number.w2 & 1) == 0; }

Cell* probe_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  seen.calls.push_back(step.get ? "path get" : "path set");
  seen.first = element;
  seen.second = new_value ? *new_value : make_cell(Type::unset);
  return &value;
}

Cell word_g() { return word(kG); }
Cell word_kind() { return word(kH); }

class DispatchTest : public StackTest {
 protected:
  void SetUp() override {
    StackTest::SetUp();
    datatype_tables_init();
    reset_port_actors();
    init_action_entries();
    seen = Seen{};
    register_datatype(Type::logic, Type::none_id, "logic!", ActionRow().set<Act::Compare>(probe_compare));
    register_datatype(Type::integer, Type::none_id, "integer!",
                      ActionRow()
                          .set<Act::Make>(probe_make)
                          .set<Act::To>(probe_make)
                          .set<Act::Compare>(probe_compare)
                          .set<Act::Negate>(probe_negate)
                          .set<Act::EvenQ>(probe_even)
                          .set<Act::OddQ>([](const Cell& n) { return (n.w2 & 1) == 1; }));
    register_datatype(Type::series, Type::none_id, "series!",
                      ActionRow()
                          .set<Act::LengthQ>(probe_length)
                          .set<Act::Find>(probe_find)
                          .set<Act::Copy>(probe_copy)
                          .set<Act::Clear>(probe_clear)
                          .set<Act::PathStep>(probe_path_step));
    register_datatype(Type::block, Type::series, "block!", ActionRow().inherit_all());
    services().function_spec_arg_word = [](uint32_t index) { return index == 5 ? word_kind() : word_g(); };
  }
  void TearDown() override {
    datatype_tables_init();
    reset_port_actors();
    StackTest::TearDown();
  }

  // Runs the body with errors trapped inside a native frame named f; answers the error's id, or
  // an empty id when none was raised.
  static ErrorId error_of(const std::function<void()>& body) {
    stack_open_native_frame(word(kF));
    Caught caught = trap_errors(body);
    init_stacks();
    return caught.taken == kThrowError ? stand_in_last_error().id : ErrorId{};
  }
};

const Cell kBlock = make_cell(Type::block, 0, 5);

TEST_F(DispatchTest, AnUnsupportedSlotRaisesExpectArgNamingCallerTypeAndParameter) {
  EXPECT_EQ(error_of([] { call_action(Act::Negate, std::array{kBlock}); }), error_id("script", "expect-arg"));
  const StandInError& error = stand_in_last_error();
  ASSERT_EQ(error.arg_count, 3u);
  EXPECT_EQ(error.args[0].w2, kF);  // the <anon> frame of the call is passed over
  EXPECT_EQ(cell_type(error.args[1]), Type::datatype);
  EXPECT_EQ(static_cast<Type>(error.args[1].w1), Type::block);
  EXPECT_EQ(error.args[2].w2, kG);
  EXPECT_EQ(error.where.w2, kF);
  EXPECT_TRUE(seen.calls.empty());
}

TEST_F(DispatchTest, MakeAndToWithADatatypeCallTheNamedType) {
  for (Act act : {Act::Make, Act::To}) {
    seen = Seen{};
    Cell& result = call_action(act, std::array{datatype_cell(Type::integer), kBlock});
    EXPECT_EQ(seen.type_id, Type::integer);
    EXPECT_EQ(cell_type(seen.first), Type::datatype);
    EXPECT_EQ(integer_of(result), 42);
    stack_drop(1);
  }
  call_action(Act::Make, std::array{integer(3), kBlock});  // a value names its own type
  EXPECT_EQ(seen.type_id, Type::integer);
  EXPECT_EQ(integer_of(seen.first), 3);
}

TEST_F(DispatchTest, ResultModes) {
  EXPECT_EQ(integer_of(call_action(Act::Negate, std::array{integer(5)})), -5);
  EXPECT_EQ(call_action(Act::EvenQ, std::array{integer(4)}).w1, 1u);
  EXPECT_EQ(cell_type(call_action(Act::OddQ, std::array{integer(4)})), Type::logic);
  EXPECT_EQ(call_action(Act::OddQ, std::array{integer(4)}).w1, 0u);
  length_answer = -1;
  EXPECT_EQ(cell_type(call_action(Act::LengthQ, std::array{kBlock})), Type::none);
  length_answer = 7;
  Cell& length = call_action(Act::LengthQ, std::array{kBlock});
  EXPECT_EQ(cell_type(length), Type::integer);
  EXPECT_EQ(integer_of(length), 7);
  call_action(Act::Clear, std::array{kBlock});
  EXPECT_EQ(seen.calls.back(), std::string("clear"));
  EXPECT_EQ(call_stack_depth(), 0u);
  EXPECT_EQ(stack_index(value_stack.top), 7u);  // one result left per call
}

TEST_F(DispatchTest, RefinementsBecomeFlagsAndArgumentsAndAbsentOnesAreNone) {
  const Cell part[] = {integer(3)};
  const Cell with[] = {integer(8)};
  constexpr size_t kPart = refinement_position(Act::Find, "part");
  constexpr size_t kOnly = refinement_position(Act::Find, "only");
  constexpr size_t kWith = refinement_position(Act::Find, "with");
  Cell& result = call_action(Act::Find, std::array{kBlock, integer(1)},
                             {{kPart, true, part}, {kOnly}, {kWith, false, with}});
  ASSERT_NE(seen.part, nullptr);
  EXPECT_EQ(integer_of(*seen.part), 3);
  EXPECT_TRUE(seen.only);
  EXPECT_FALSE(seen.case_);
  EXPECT_EQ(seen.with, nullptr);
  EXPECT_EQ(cell_type(result), Type::block);
  const Cell& with_cell = (&result)[3];  // series, value, part, then with's cell
  EXPECT_EQ(cell_type(with_cell), Type::none);
  EXPECT_EQ(with_cell.w2, 8u);  // only the type byte changed
}

TEST_F(DispatchTest, CopyTypesTakesADatatypeOrTypesetAndGetsAFreshCell) {
  const Cell types[] = {datatype_cell(Type::integer)};
  constexpr size_t kTypes = refinement_position(Act::Copy, "types");
  Cell& copy = call_action(Act::Copy, std::array{kBlock}, {{kTypes, true, types}});
  EXPECT_EQ(copy.w3, 99u);
  ASSERT_NE(seen.with, nullptr);

  const Cell wrong[] = {integer(1)};
  EXPECT_EQ(error_of([&] { call_action(Act::Copy, std::array{kBlock}, {{kTypes, true, wrong}}); }),
            error_id("script", "expect-arg"));
  EXPECT_EQ(static_cast<Type>(stand_in_last_error().args[1].w1), Type::integer);
  EXPECT_EQ(stand_in_last_error().args[2].w2, kH);  // parameter word 5
}

TEST_F(DispatchTest, PathStepEntryGetsAndSets) {
  stack_open_native_frame(word(kF));
  stack_push_value(kBlock);
  stack_push_value(integer(2));
  int32_t get[] = {0};
  action_entry(Act::PathStep)(get);
  EXPECT_EQ(seen.calls.back(), std::string("path get"));
  EXPECT_EQ(integer_of(seen.first), 2);
  stack_keep_first();
  stack_push_value(integer(2));
  stack_push_value(integer(9));
  int32_t set[] = {1};
  action_entry(Act::PathStep)(set);
  EXPECT_EQ(seen.calls.back(), std::string("path set"));
  EXPECT_EQ(integer_of(seen.second), 9);
}

TEST_F(DispatchTest, PickIndexArgument) {
  struct Row {
    Cell index;
    int32_t expected;
  };
  const Row rows[] = {
      {integer(7), 7},
      {make_cell(Type::char_, 0, 'A'), 65},
      {make_cell(Type::logic, 1), 1},
      {make_cell(Type::logic, 0), 2},
      {make_cell(Type::string, 0, 4), 0},
  };
  for (const auto& row : rows) {
    init_stacks();
    stack_open_native_frame(word(kF));
    stack_push_value(kBlock);
    stack_push_value(row.index);
    EXPECT_EQ(pick_index_arg(), row.expected);
  }
}

TEST_F(DispatchTest, CompareValuesByCode) {
  struct Row {
    int32_t answer, code;
    bool expected;
  };
  const Row rows[] = {
      {-2, 0, false}, {-2, 1, true}, {-2, 9, false}, {-2, 12, false},
      {1, 3, false},  {1, 4, false}, {1, 5, true},   {1, 6, true},
      {0, 0, true},   {0, 4, true},  {-1, 3, true},  {-1, 6, false},
  };
  for (const auto& row : rows) {
    compare_answer = row.answer;
    EXPECT_EQ(compare_values(integer(1), integer(2), row.code), row.expected) << row.answer << " code " << row.code;
  }
  compare_answer = -2;
  EXPECT_EQ(error_of([] { compare_values(integer(1), integer(2), kCompareGreater); }),
            error_id("script", "invalid-compare"));
  EXPECT_EQ(stand_in_last_error().arg_count, 2u);
}

TEST_F(DispatchTest, CompareEntryLeavesALogic) {
  compare_answer = 0;
  stack_open_native_frame(word(kF));
  stack_push_value(integer(1));
  stack_push_value(integer(1));
  int32_t code[] = {kCompareEqual};
  action_entry(Act::Compare)(code);
  EXPECT_EQ(cell_type(*value_stack.base), Type::logic);
  EXPECT_EQ(value_stack.base->w1, 1u);
}

TEST_F(DispatchTest, ACodeOutsideTheTableIsAFatalSwitch) {
  compare_answer = 1;
  EXPECT_EXIT(compare_values(integer(1), integer(2), kCompareSort), ::testing::ExitedWithCode(101), "SWITCH");
}

TEST_F(DispatchTest, DispatchCompareByPayloadForFunctionLikeTypes) {
  compare_answer = 5;
  EXPECT_EQ(dispatch_compare(make_cell(Type::logic, 0), make_cell(Type::logic, 1), 0), -1);
  EXPECT_EQ(dispatch_compare(make_cell(Type::logic, 1), make_cell(Type::logic, 1), 0), 0);
  EXPECT_EQ(dispatch_compare(make_cell(Type::logic, 1), integer(0), 0), 5);  // another type: the function
  EXPECT_EQ(dispatch_compare(integer(1), integer(2), 0), 5);
  register_datatype(Type::action, Type::none_id, "action!", ActionRow().set<Act::Compare>(probe_compare));
  register_datatype(Type::function, Type::none_id, "function!", ActionRow().set<Act::Compare>(probe_compare));
  EXPECT_EQ(dispatch_compare(make_cell(Type::action, 30), make_cell(Type::action, 25), 0), 1);
  EXPECT_EQ(dispatch_compare(make_cell(Type::function, 0, 0, 4), make_cell(Type::function, 9, 9, 6), 0), -1);
  EXPECT_EQ(error_of([] { dispatch_compare(kBlock, kBlock, 0); }), error_id("script", "expect-arg"));
}

// Ports: port! has its own negate and clear; actor tables supply slots from append on.
class PortDispatchTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    register_datatype(Type::port, Type::none_id, "port!",
                      ActionRow().set<Act::Negate>(probe_negate).set<Act::Clear>(probe_clear));
    actor_index = register_port_actor(ActionRow().set<Act::Clear>(actor_clear).set<Act::Negate>(probe_negate));
    empty_actor_index = register_port_actor(ActionRow());
    services().port_actor = [](const Cell& port) { return port.w3 ? make_cell(Type::handle, 0, port.w3) : integer(0); };
  }
  static Cell port_with_actor(uint32_t index) { return make_cell(Type::port, 0, 1, index); }
  static inline uint32_t actor_index = 0, empty_actor_index = 0;
};

TEST_F(PortDispatchTest, ARegisteredActorSuppliesSlotsFromAppendOn) {
  call_action(Act::Clear, std::array{port_with_actor(actor_index)});
  call_action(Act::Negate, std::array{port_with_actor(actor_index)});
  call_action(Act::Clear, std::array{port_with_actor(0)});  // an object actor: port!'s own row
  EXPECT_EQ(seen.calls, (std::vector<const char*>{"actor clear", "negate", "clear"}));
}

TEST_F(PortDispatchTest, AForgedHandleIsAnInvalidActorAndAnEmptyEntryNoPortAction) {
  EXPECT_EQ(error_of([] { call_action(Act::Clear, std::array{port_with_actor(77)}); }),
            error_id("access", "invalid-actor"));
  EXPECT_EQ(error_of([] { call_action(Act::Clear, std::array{port_with_actor(empty_actor_index)}); }),
            error_id("access", "no-port-action"));
  EXPECT_TRUE(seen.calls.empty());
}

// --- form and mold -------------------------------------------------------------------------------

int text_calls = 0;
int32_t write_probe_text(Cell& buffer, int32_t limit) {
  ++text_calls;
  series_buffer_append_bytes(buffer.w2, "abcdefgh", 8);
  return limit - 8;
}
int32_t probe_form(const Cell&, Cell& buffer, bool, int32_t limit) { return write_probe_text(buffer, limit); }
int32_t probe_mold(const Cell&, Cell& buffer, bool, bool, bool, bool, int32_t limit, int32_t) {
  return write_probe_text(buffer, limit);
}

std::string string_text(const Cell& string) {
  EXPECT_EQ(cell_type(string), Type::string);
  SeriesBuffer* buffer = series_buffer(string.w2);
  return std::string(reinterpret_cast<const char*>(buffer->head_address()), buffer->tail - buffer->head);
}

TEST_F(DispatchTest, FormAndMoldWriteIntoAFreshStringCutToTheLimit) {
  register_datatype(Type::char_, Type::none_id, "char!",
                    ActionRow().set<Act::Form>(probe_form).set<Act::Mold>(probe_mold));
  const Cell value = make_cell(Type::char_, 0, 'x');
  struct Row {
    Act act;
    int32_t limit;  // 0: no /part
    const char* text;
    int calls;
  };
  const Row rows[] = {
      {Act::Form, 0, "abcdefgh", 1}, {Act::Mold, 0, "abcdefgh", 1}, {Act::Mold, 4, "abcd", 1},
      {Act::Form, 8, "abcdefgh", 1}, {Act::Form, -3, "", 0},        {Act::Mold, 0, "abcdefgh", 1},
  };
  for (const auto& row : rows) {
    text_calls = 0;
    const Cell limit[] = {integer(row.limit)};
    size_t part = row.act == Act::Form ? refinement_position(Act::Form, "part") : refinement_position(Act::Mold, "part");
    Cell& result = row.limit ? call_action(row.act, std::array{value}, {{part, true, limit}})
                             : call_action(row.act, std::array{value});
    EXPECT_EQ(string_text(result), row.text) << row.limit;
    EXPECT_EQ(text_calls, row.calls) << row.limit;
    stack_drop(1);
  }
  text_calls = 0;
  const Cell zero[] = {integer(0)};
  EXPECT_EQ(string_text(call_action(Act::Form, std::array{value}, {{0, true, zero}})), "");
  EXPECT_EQ(text_calls, 0);
  EXPECT_EQ(form_value_text(value), "abcdefgh");
}

// --- append, insert and change: /part and /dup -------------------------------------------------------

struct Change {
  const char* action = nullptr;
  uint32_t series_index = 0, value_index = 0;
  int32_t count = 0, dup = 0;
  bool only = false;
};
Change changed;
void probe_insert(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool append) {
  changed = {append ? "append" : "insert", series.w1, value.w1, part, dup, only};
}
void probe_change(Cell& series, Cell& value, int32_t part, bool only, int32_t dup) {
  changed = {"change", series.w1, value.w1, part, dup, only};
}

class PartDupTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    register_datatype(Type::block, Type::series, "block!",
                      ActionRow()
                          .inherit_all()
                          .set<Act::Append>(probe_insert)
                          .set<Act::Insert>(probe_insert)
                          .set<Act::Change>(probe_change));
    services().word_from_c_string = [](const char*) { return word(kInner); };
    blocks[0] = five_cells();
    blocks[1] = five_cells();
    changed = {};
  }
  static NodeId five_cells() {
    NodeId node = new_cell_series(5);
    for (int i = 0; i < 5; ++i) *series_append_fresh_slot(node) = integer(i);
    return node;
  }
  static Cell block(int which, uint32_t index) { return make_cell(Type::block, index, blocks[which]); }
  static inline NodeId blocks[2];
};

constexpr size_t kPart = 0, kOnly = 1, kDup = 2;

TEST_F(PartDupTest, PartCountsOfTheValueInserted) {
  struct Row {
    const char* name;
    Cell value, part;
    const char* action;  // null: nothing inserted
    uint32_t value_index;
    int32_t count;
  };
  const Row rows[] = {
      {"count 0", block(1, 3), integer(0), nullptr, 0, 0},
      {"count -2 at 3", block(1, 3), integer(-2), "append", 1, 2},
      {"count -9 at 3", block(1, 3), integer(-9), "append", 0, 3},
      {"count -2 at the head", block(1, 0), integer(-2), nullptr, 0, 0},
      {"count 2", block(1, 1), integer(2), "append", 1, 2},
      {"same buffer", block(1, 1), block(1, 4), "append", 1, 3},
      {"same buffer, part past the tail", block(1, 1), block(1, 9), "append", 1, 4},
      {"same buffer before", block(1, 4), block(1, 1), "append", 1, 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    changed = {};
    const Cell part[] = {row.part};
    call_action(Act::Append, std::array{block(0, 0), row.value}, {{kPart, true, part}});
    stack_drop(1);
    if (!row.action) {
      EXPECT_EQ(changed.action, nullptr);
      continue;
    }
    EXPECT_STREQ(changed.action, row.action);
    EXPECT_EQ(changed.value_index, row.value_index);
    EXPECT_EQ(changed.count, row.count);
    EXPECT_EQ(changed.dup, 1);
  }
}

TEST_F(PartDupTest, BadPartArguments) {
  const Cell other_buffer[] = {block(0, 2)};
  EXPECT_EQ(error_of([&] { call_action(Act::Insert, std::array{block(0, 0), block(1, 0)}, {{kPart, true, other_buffer}}); }),
            error_id("script", "invalid-refine-arg"));
  EXPECT_EQ(stand_in_last_error().args[0].w2, kInner);  // the refinement's word
  EXPECT_EQ(stand_in_last_error().args[1].w2, blocks[0]);
  const Cell count[] = {integer(1)};
  EXPECT_EQ(error_of([&] { call_action(Act::Append, std::array{block(0, 0), integer(7)}, {{kPart, true, count}}); }),
            error_id("script", "invalid-part"));
  EXPECT_EQ(integer_of(stand_in_last_error().args[0]), 1);
  const Cell not_the_series[] = {block(1, 2)};
  EXPECT_EQ(error_of([&] { call_action(Act::Change, std::array{block(0, 0), integer(7)}, {{kPart, true, not_the_series}}); }),
            error_id("script", "invalid-refine-arg"));
  EXPECT_EQ(changed.action, nullptr);
}

TEST_F(PartDupTest, DupCountsAndTheInsertionPoint) {
  const Cell minus_one[] = {integer(-1)};
  call_action(Act::Append, std::array{block(0, 0), integer(7)}, {{kDup, true, minus_one}});
  EXPECT_EQ(changed.action, nullptr);
  const Cell three[] = {integer(3)};
  call_action(Act::Insert, std::array{block(0, 9), integer(7)}, {{kDup, true, three}, {kOnly}});
  EXPECT_STREQ(changed.action, "insert");
  EXPECT_EQ(changed.dup, 3);
  EXPECT_TRUE(changed.only);
  EXPECT_EQ(changed.series_index, 5u);  // clamped to the tail
  EXPECT_EQ(changed.count, -1);         // no /part: everything
  call_action(Act::Append, std::array{block(0, 9), integer(7)});
  EXPECT_EQ(changed.series_index, 9u);  // append leaves the index to the action
}

TEST_F(PartDupTest, ChangeMeasuresPartOnTheSeries) {
  const Cell minus_two[] = {integer(-2)};
  call_action(Act::Change, std::array{block(0, 3), integer(7)}, {{kPart, true, minus_two}});
  EXPECT_EQ(changed.series_index, 1u);
  EXPECT_EQ(changed.count, 2);
  const Cell further[] = {block(0, 4)};
  call_action(Act::Change, std::array{block(0, 1), integer(7)}, {{kPart, true, further}});
  EXPECT_EQ(changed.count, 3);
  const Cell none_dup[] = {integer(0)};
  changed = {};
  call_action(Act::Change, std::array{block(0, 1), integer(7)}, {{kDup, true, none_dup}});
  EXPECT_EQ(changed.action, nullptr);
}

// --- path steps ---------------------------------------------------------------------------------

TEST_F(DispatchTest, ATypeWithoutPathStepNamesThePathCutAfterTheStep) {
  NodeId elements = new_cell_series(4);
  for (int i = 0; i < 4; ++i) *series_append_fresh_slot(elements) = word(kF + static_cast<uint32_t>(i));
  const Cell path = make_cell(Type::path, 0, elements);
  EXPECT_EQ(error_of([&] { lookup_action_or_fail(integer(1), word(kG), &path, 1); }), error_id("script", "bad-path-type"));
  const StandInError& error = stand_in_last_error();
  EXPECT_EQ(error.args[0].w2, elements);
  EXPECT_EQ(static_cast<Type>(error.args[1].w1), Type::integer);
  const Cell& cut = error.args[2];
  EXPECT_EQ(cell_type(cut), Type::path);
  ASSERT_EQ(series_buffer_length(cut.w2), 2u);
  EXPECT_EQ(series_buffer(cut.w2)->head_cell()[1].w2, kG);

  EXPECT_EQ(error_of([] { lookup_action_or_fail(integer(1), word(kH), nullptr, -1); }),
            error_id("script", "bad-path-type2"));
  EXPECT_EQ(stand_in_last_error().args[0].w2, kH);
}

// Calls find's entry with a /part offset past the frame's top.
void find_with_offset_past_top() {
  stack_open_native_frame(word(kF));
  stack_push_value(kBlock);
  stack_push_value(integer(1));
  int32_t refinements[11] = {5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  action_entry(Act::Find)(refinements);
}

TEST_F(DispatchTest, ARefinementOffsetOutsideTheFrameIsAnAssertion) {
  EXPECT_EXIT(find_with_offset_past_top(), ::testing::ExitedWithCode(98), "assertion failed");
}

}  // namespace
}  // namespace qel
