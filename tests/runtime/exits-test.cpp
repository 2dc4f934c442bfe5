// Non-local exits on the language stacks: break, continue, return, exit, throw and errors.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/runtime-record.h"
#include "runtime/series.h"
#include "runtime/throw.h"
#include "stack-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

// The stacks as an error saw them when it was raised (the tracer runs at that moment).
struct Snapshot {
  Cell* base;
  Cell* top;
  uint32_t depth;
  uint32_t thrown_code;
  uint32_t mask;
};
Snapshot at_raise;
void snapshot_tracer(uint32_t mask, std::span<const Cell>) {
  at_raise = {value_stack.base, value_stack.top, call_stack_depth(), runtime.thrown_code, mask};
}

class ExitsTest : public StackTest {
 protected:
  void SetUp() override {
    StackTest::SetUp();
    services().trace_event = snapshot_tracer;
    at_raise = {};
  }
  // Runs the exit under a catch site that takes everything; answers the code and whether it
  // came as a Status (true) or an exception.
  static uint32_t run(const std::function<Status()>& body) {
    return catch_site(kLevelRoot, body).taken;
  }
};

// Opens a loop frame with one cell, then a native frame (the break native) holding the value.
Cell* open_loop_and_break(int32_t value) {
  Cell* loop_base = stack_open_loop_frame(word(kF));
  stack_push_value(integer(1));
  stack_open_native_frame(word(kG));
  stack_push_value(integer(2));
  stack_open_interp_native_frame(word(kH));
  stack_push_value(integer(value));
  return loop_base;
}

TEST_F(ExitsTest, BreakAndContinueLandInTheLoopsResultCell) {
  struct Row {
    bool value_given, continue_loop;
    uint32_t code;
    Type result;
  };
  const Row rows[] = {
      {true, false, kThrowBreak, Type::integer},
      {false, false, kThrowBreak, Type::unset},
      {true, true, kThrowContinue, Type::unset},  // continue never carries its value
      {false, true, kThrowContinue, Type::unset},
  };
  for (const auto& row : rows) {
    init_stacks();
    stack_open_native_frame(word(kOuter));
    Cell* loop_base = open_loop_and_break(55);
    Status status = unwind_break(row.value_given, row.continue_loop);
    EXPECT_EQ(status.code(), row.code);
    EXPECT_EQ(runtime.thrown_code, row.code);
    EXPECT_EQ(call_stack_depth(), 2u);
    EXPECT_EQ(value_stack.base, loop_base);
    EXPECT_EQ(value_stack.top, loop_base);
    EXPECT_EQ(cell_type(*loop_base), row.result);
    if (row.result == Type::integer) {
      EXPECT_EQ(integer_of(*loop_base), 55);
    }
  }
}

TEST_F(ExitsTest, ReturnAndExitLandInTheBodysResultCell) {
  for (bool return_value : {true, false}) {
    init_stacks();
    context_values[2] = 9;
    stack_open_call_frame(word(kF), 2);
    stack_push_value(integer(1));
    Cell* body_base = stack_open_body_frame(word(kF), 2);
    stack_open_call_frame(word(kG), 3);
    stack_open_interp_native_frame(word(kH));
    stack_push_value(integer(31));
    Status status = unwind_exit(return_value);
    EXPECT_EQ(status.code(), return_value ? kThrowReturn : kThrowExit);
    EXPECT_EQ(call_stack_depth(), 2u);
    EXPECT_EQ(value_stack.base, body_base);
    EXPECT_EQ(cell_type(*body_base), return_value ? Type::integer : Type::unset);
    EXPECT_EQ(context_values[3], 0u);  // the popped call frame put its context back
    EXPECT_NE(context_values[2], 9u);  // the body's own frame still runs
  }
}

TEST_F(ExitsTest, AnExitWithoutItsTargetRaisesInTheStateOfTheCall) {
  struct Row {
    const char* name;
    bool try_all_between;
    std::function<Status()> exit;
    ErrorId error;
  };
  const Row rows[] = {
      {"break through try/all", true, [] { return unwind_break(true, false); }, error_id("throw", "break")},
      {"continue, no loop", false, [] { return unwind_break(false, true); }, error_id("throw", "continue")},
      {"return, no body", false, [] { return unwind_exit(true); }, error_id("throw", "return")},
      {"exit through try/all", true, [] { return unwind_exit(false); }, error_id("throw", "return")},
      {"throw, no catch", false, [] { return unwind_throw(kThrowUser); }, error_id("throw", "throw")},
      {"throw through try/all", true, [] { return unwind_throw(kThrowUser); }, error_id("throw", "throw")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    init_stacks();
    stack_open_try_frame(word(kOuter));
    if (row.try_all_between) {  // every target, then a try/all frame
      stack_open_catch_frame(word(kF));
      stack_open_loop_frame(word(kF));
      stack_open_body_frame(word(kF), 1);
      stack_open_try_all_frame(word(kG));
    }
    stack_open_native_frame(word(kH));
    stack_push_value(integer(4));
    Snapshot before{value_stack.base, value_stack.top, call_stack_depth(), 0, 0};
    EXPECT_EQ(run(row.exit), kThrowError);
    EXPECT_EQ(stand_in_last_error().id, row.error);
    EXPECT_EQ(at_raise.base, before.base);
    EXPECT_EQ(at_raise.top, before.top + 1);  // the error, held while the tracer runs
    EXPECT_EQ(at_raise.depth, before.depth);
  }
  EXPECT_EQ(integer_of(stand_in_last_error().args[0]), 4);  // throw names the thrown value
}

TEST_F(ExitsTest, ACatchFrameReceivesTheValueThenTheName) {
  stack_open_native_frame(word(kOuter));
  Cell* catch_base = stack_open_catch_frame(word(kF));
  stack_open_native_frame(word(kInner));
  stack_open_interp_native_frame(word(kG));  // the throw native: value, name
  stack_push_value(integer(12));
  stack_push_value(word(kH));
  EXPECT_EQ(unwind_throw(kThrowUser).code(), kThrowUser);
  EXPECT_EQ(call_stack_depth(), 2u);
  EXPECT_EQ(value_stack.base, catch_base);
  EXPECT_EQ(value_stack.top, catch_base + 2);
  EXPECT_EQ(integer_of(catch_base[0]), 12);
  EXPECT_EQ(catch_base[1].w2, kH);
}

TEST_F(ExitsTest, AfterAThrowTheCallerNameIsTheThrowingFrameOnce) {
  stack_open_native_frame(word(kOuter));
  stack_open_catch_frame(word(kF));
  stack_open_native_frame(word(kInner));
  stack_open_native_frame(word(kAnon));  // unnamed frames are passed over
  stack_push_value(integer(1));
  (void)unwind_throw(kThrowUser);
  EXPECT_EQ(stack_caller_name().w2, kInner);
  EXPECT_EQ(stack_caller_name().w2, kF);  // the mark is forgotten
  init_stacks();
  EXPECT_EQ(cell_type(stack_caller_name()), Type::none);
  stack_open_native_frame(word(kBody));
  EXPECT_EQ(cell_type(stack_caller_name()), Type::none);
}

TEST_F(ExitsTest, AnErrorArrivesAtTheTryFrameWithWhereAndStackMark) {
  stack_open_native_frame(word(kOuter));
  Cell* outer_base = value_stack.base;
  stack_open_try_frame(word(kG));
  stack_open_native_frame(word(kF));
  stack_open_native_frame(word(kBody));
  stack_push_value(integer(3));
  Cell* top_at_error = value_stack.top;
  runtime.thrown_code = 0x1234;
  Cell argument = integer(8);
  Caught caught = catch_site(kThrowError, [&] { raise_error(error_id("script", "invalid-arg"), argument); });
  EXPECT_EQ(caught.taken, kThrowError);
  const StandInError& error = stand_in_last_error();
  EXPECT_EQ(error.where.w2, kF);
  EXPECT_EQ(cell_type(error.stack), Type::integer);
  EXPECT_EQ(integer_of(error.stack), 4);
  EXPECT_EQ(at_raise.mask, 0x1000u);
  EXPECT_EQ(at_raise.thrown_code, 0u);  // cleared around the tracer, then restored
  EXPECT_EQ(call_stack_depth(), 1u);    // the try frame left with the frames above it
  EXPECT_EQ(value_stack.base, outer_base);
  EXPECT_EQ(value_stack.top, top_at_error + 1);
  EXPECT_EQ(cell_type(*stack_last_value()), Type::error);
}

TEST_F(ExitsTest, ATryAllFrameTrapsErrorsToo) {
  stack_open_try_all_frame(word(kG));
  stack_open_native_frame(word(kF));
  EXPECT_EQ(catch_site(kThrowError, [] { raise_error(error_id("math", "zero-divide")); }).taken, kThrowError);
  EXPECT_TRUE(call_stack_empty());
}

void show_box(const char* caption, const char* text) { fprintf(stderr, "[box %s: %s]", caption, text); }

// error!'s form, until errors form themselves.
int32_t form_probe_error(const Cell&, Cell& buffer, bool, int32_t limit) {
  series_buffer_append_bytes(buffer.w2, "*** Script Error: probe", 23);
  return limit - 23;
}

// An error with no trap under two frames, the box double showing what it is given on stderr.
void raise_untrapped(bool titled) {
  datatype_tables_init();
  register_datatype(Type::error, Type::none_id, "error!", ActionRow().set<Act::Form>(form_probe_error));
  init_action_entries();
  if (titled) services().script_title = [] { return std::optional<std::string>("Build Tool"); };
  services().show_message_box = show_box;
  stack_open_native_frame(word(kF));
  stack_open_loop_frame(word(kG));
  raise_error(error_id("script", "invalid-arg"), integer(1));
}

TEST_F(ExitsTest, AnErrorWithNoTrapIsReportedAndExitsWith254) {
  EXPECT_EXIT(raise_untrapped(true), ::testing::ExitedWithCode(254),
              "^\\*\\*\\* Script Error: probe\n\\[box Build Tool: \\*\\*\\* Script Error: probe\\]$");
  EXPECT_EXIT(raise_untrapped(false), ::testing::ExitedWithCode(254), "\\[box Qel NoName App: \\*\\*\\* Script");
}

// An error with no trap whose error! value has no form yet.
void raise_unformable() {
  datatype_tables_init();
  init_action_entries();
  services().show_message_box = show_box;
  raise_error(error_id("math", "overflow"));
}

TEST_F(ExitsTest, AnErrorThatCannotBeFormedIsStillReported) {
  EXPECT_EXIT(raise_unformable(), ::testing::ExitedWithCode(254),
              "^\\*\\*\\* Error: the error could not be formed\n\\[box Qel NoName App: ");
}

TEST_F(ExitsTest, AFullCallStackRaisesStackOverflowAndBothStacksWorkAfterwards) {
  for (uint32_t i = 0; i < kCallStackFrames - 2; ++i) stack_open_native_frame(word(kF));
  for (int i = 0; i < 10; ++i) stack_push_value(integer(i));
  Cell* top_before = value_stack.top;
  uint32_t taken = trap_errors([] {          // the trap's frame is the 11,999th
    stack_open_native_frame(word(kG));       // the last there is room for
    stack_open_native_frame(word(kH));
  }).taken;
  EXPECT_EQ(taken, kThrowError);
  EXPECT_EQ(stand_in_last_error().id, error_id("internal", "stack-overflow"));
  EXPECT_EQ(at_raise.top, top_before - 5 + 1);  // moved back 5 cells, the error held above them
  EXPECT_EQ(call_stack_depth(), kCallStackFrames - 2);
  EXPECT_EQ(value_stack.top, top_before + 1);   // as before, with the error pushed
  stack_open_native_frame(word(kG));
  stack_push_value(integer(1));
  EXPECT_EQ(call_stack_depth(), kCallStackFrames - 1);
}

TEST_F(ExitsTest, FillingTheValueStackRaisesAtTheLastCell) {
  uint32_t pushed = 0;
  uint32_t taken = trap_errors([&] {
    for (;;) {
      stack_push_value(integer(static_cast<int32_t>(pushed)));
      ++pushed;
    }
  }).taken;
  EXPECT_EQ(taken, kThrowError);
  EXPECT_EQ(pushed, kValueStackCells - 1);
  EXPECT_EQ(stack_index(at_raise.top), kValueStackCells - 1 - 5 + 1);
  stack_open_native_frame(word(kF));
  stack_push_value(integer(1));
  EXPECT_EQ(stack_index(value_stack.top), 2u);  // the error, then the new cell
}

TEST_F(ExitsTest, ABreakThroughATrapKeepsTheStacksAtItsLoop) {
  stack_open_native_frame(word(kOuter));
  Cell* loop_base = stack_open_loop_frame(word(kF));
  stack_open_native_frame(word(kG));
  stack_push_value(integer(1));
  Caught caught = trap_errors([] {
    stack_open_native_frame(word(kH));
    stack_push_value(integer(7));
    return unwind_break(true, false);
  });
  EXPECT_EQ(caught.taken, kThrowBreak);
  EXPECT_EQ(call_stack_depth(), 2u);
  EXPECT_EQ(value_stack.base, loop_base);
  EXPECT_EQ(integer_of(*loop_base), 7);
}

TEST_F(ExitsTest, TrappingErrorsLeavesTheStacksAsOnEntryWithTheErrorPushed) {
  stack_open_native_frame(word(kF));
  stack_push_value(integer(1));
  Cell* base = value_stack.base;
  Cell* top = value_stack.top;
  Caught caught = trap_errors([] {
    stack_open_try_all_frame(word(kG));  // traps the error on the stacks, but nothing takes it in C++
    stack_open_native_frame(word(kH));
    stack_push_value(integer(2));
    raise_error(error_id("math", "overflow"));
  });
  EXPECT_EQ(caught.taken, kThrowError);
  EXPECT_EQ(call_stack_depth(), 1u);
  EXPECT_EQ(value_stack.base, base);
  EXPECT_EQ(value_stack.top, top + 1);
  EXPECT_EQ(cell_type(*stack_last_value()), Type::error);
  EXPECT_EQ(trap_errors([] { stack_push_value(integer(3)); }).taken, 0u);
  EXPECT_EQ(call_stack_depth(), 1u);
  EXPECT_EQ(integer_of(*stack_last_value()), 3);
}

}  // namespace
}  // namespace qel
