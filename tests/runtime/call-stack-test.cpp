// Value stack and call frames: openers, closers, unwinding, flags and overflow.
#include <gtest/gtest.h>

#include <functional>

#include "runtime/call-stack.h"
#include "runtime/value-stack.h"
#include "stack-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using CallStackTest = StackTest;

TEST_F(CallStackTest, EachOpenerSetsItsKindBitsAndTakesTheTopAsBase) {
  struct Row {
    const char* name;
    std::function<Cell*(const Cell&)> open;
    uint32_t bits;
  };
  const Row rows[] = {
      {"native", stack_open_native_frame, 0x02000000},
      {"call", [](const Cell& w) { return stack_open_call_frame(w, 0); }, 0x01000000},
      {"body", [](const Cell& w) { return stack_open_body_frame(w, 3); }, 0x12000000},
      {"try", stack_open_try_frame, 0x04000000},
      {"try/all", stack_open_try_all_frame, 0x05000000},
      {"catch", stack_open_catch_frame, 0x06000000},
      {"eval", stack_open_eval_frame, 0x87000000},
      {"loop", stack_open_loop_frame, 0x08000000},
      {"interp call", [](const Cell& w) { return stack_open_interp_call_frame(w, 0); }, 0x81000000},
      {"interp native", stack_open_interp_native_frame, 0x82000000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    init_stacks();
    stack_push_value(integer(1));
    stack_open_native_frame(word(kOuter));
    stack_push_value(integer(2));
    stack_push_value(integer(3));
    Cell* old_base = value_stack.base;
    Cell* old_top = value_stack.top;
    Cell* base = row.open(word(kF, 7));
    EXPECT_EQ(base, old_top);
    EXPECT_EQ(value_stack.base, old_top);
    EXPECT_EQ(value_stack.top, old_top);
    const CallFrame& frame = *stack_current_frame();
    EXPECT_EQ(frame.header, row.bits);
    EXPECT_EQ(frame.symbol, kF);
    EXPECT_EQ(frame.word_context, 7u);
    EXPECT_EQ(stack_cell_at(frame.saved_base), old_base);
    EXPECT_EQ(call_stack_depth(), 2u);
  }
}

// A caller frame holding two cells and a callee holding three, its result 7.
struct Closing {
  Cell* caller_base;
  Cell* callee_base;
};
Closing open_caller_and_callee() {
  Closing at{};
  stack_open_native_frame(word(kOuter));
  at.caller_base = value_stack.base;
  stack_push_value(integer(100));
  stack_push_value(integer(101));
  at.callee_base = stack_open_native_frame(word(kInner));
  stack_push_value(integer(7));
  stack_push_value(integer(8));
  stack_push_value(integer(9));
  return at;
}

TEST_F(CallStackTest, ClosersKeepCopyOrDropTheResult) {
  enum Expect { kKeep, kCopy, kEmptyCaller, kDrop };
  struct Row {
    const char* name;
    void (*close)();
    Expect expect;
  };
  const Row rows[] = {
      {"close", stack_close_frame, kKeep},           {"close call", stack_close_call_frame, kKeep},
      {"copy", stack_close_frame_copy, kCopy},       {"call copy", stack_close_call_frame_copy, kCopy},
      {"reset", stack_close_frame_reset, kEmptyCaller}, {"empty", stack_close_frame_empty, kEmptyCaller},
      {"drop", stack_close_frame_drop, kDrop},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    init_stacks();
    Closing at = open_caller_and_callee();
    row.close();
    EXPECT_EQ(call_stack_depth(), 1u);
    EXPECT_EQ(value_stack.base, at.caller_base);
    switch (row.expect) {
      case kKeep:
        EXPECT_EQ(value_stack.top, at.callee_base + 1);
        EXPECT_EQ(integer_of(*stack_last_value()), 7);
        EXPECT_EQ(integer_of(*value_stack.base), 100);
        break;
      case kCopy:
        EXPECT_EQ(value_stack.top, at.callee_base + 1);
        EXPECT_EQ(integer_of(*value_stack.base), 7);
        break;
      case kEmptyCaller:
        EXPECT_EQ(value_stack.top, at.caller_base);
        break;
      case kDrop:
        EXPECT_EQ(value_stack.top, at.callee_base);
        break;
    }
  }
}

TEST_F(CallStackTest, DroppingTheLastFrameLeavesBothPointersAtBegin) {
  stack_push_value(integer(1));
  stack_open_native_frame(word(kF));
  stack_push_value(integer(2));
  stack_close_frame_drop();
  EXPECT_TRUE(call_stack_empty());
  EXPECT_EQ(value_stack.base, stack_begin());
  EXPECT_EQ(value_stack.top, stack_begin());
}

TEST_F(CallStackTest, ARecursiveCallReadsItsOwnArgumentsAgainAfterTheInnerCallReturns) {
  constexpr NodeId kContext = 3;
  auto argument = [] { return integer_of(*stack_cell_at(context_values[kContext] - 1)); };
  auto enter = [&](int32_t value) {
    stack_open_interp_call_frame(word(kF), kContext);
    stack_push_value(integer(value));
    stack_open_body_frame(word(kF), kContext);
  };
  auto leave = [] {
    stack_close_frame();
    stack_close_call_frame();
  };
  enter(10);
  EXPECT_EQ(argument(), 10);
  enter(20);
  EXPECT_EQ(argument(), 20);
  leave();
  EXPECT_EQ(argument(), 10);
  leave();
  EXPECT_EQ(context_values[kContext], 0u);  // not running any more
}

// Frames: native, loop, [try/all], native, native; each holds one cell.
struct Unwinding {
  Cell* loop_base;
  Cell* loop_saved_base;
  Cell* try_all_base;
  Cell* entry_base;
};
Unwinding open_unwinding_frames(bool with_try_all) {
  Unwinding at{};
  stack_open_native_frame(word(kOuter));
  stack_push_value(integer(1));
  at.loop_saved_base = value_stack.base;
  at.loop_base = stack_open_loop_frame(word(kF));
  stack_push_value(integer(2));
  if (with_try_all) {
    at.try_all_base = stack_open_try_all_frame(word(kG));
    stack_push_value(integer(3));
  }
  stack_open_native_frame(word(kH));
  stack_push_value(integer(4));
  at.entry_base = stack_open_native_frame(word(kInner));
  stack_push_value(integer(5));
  return at;
}

TEST_F(CallStackTest, UnwindingToALoopStopsAtATryAllFrameInBetween) {
  struct Row {
    bool with_try_all;
    bool keep;
  };
  for (const Row row : {Row{false, false}, Row{false, true}, Row{true, false}, Row{true, true}}) {
    SCOPED_TRACE(::testing::Message() << "try/all " << row.with_try_all << " keep " << row.keep);
    init_stacks();
    Unwinding at = open_unwinding_frames(row.with_try_all);
    stack_unwind_to_loop(row.keep);
    EXPECT_EQ(value_stack.top, at.entry_base + 1);
    if (row.with_try_all) {
      EXPECT_EQ(call_stack_depth(), 3u);
      EXPECT_EQ(frame_kind(*stack_current_frame()), FrameKind::try_all);
      EXPECT_EQ(value_stack.base, row.keep ? at.try_all_base : at.loop_base);
    } else {
      EXPECT_EQ(call_stack_depth(), 2u);
      EXPECT_EQ(frame_kind(*stack_current_frame()), FrameKind::loop);
      EXPECT_EQ(value_stack.base, row.keep ? at.loop_base : at.loop_saved_base);
    }
  }
}

TEST_F(CallStackTest, UnwindingCopiesTheResultIntoTheReachedFrame) {
  Unwinding at = open_unwinding_frames(false);
  stack_unwind_copy_result(FrameKind::loop);
  EXPECT_EQ(call_stack_depth(), 2u);
  EXPECT_EQ(value_stack.base, at.loop_base);
  EXPECT_EQ(value_stack.top, at.loop_base);
  EXPECT_EQ(integer_of(*at.loop_base), 5);
}

TEST_F(CallStackTest, UnwindingAKindOneFrameRestoresItsContext) {
  context_values[4] = 77;
  stack_open_loop_frame(word(kF));
  stack_open_call_frame(word(kG), 4);
  stack_push_value(integer(1));
  stack_open_body_frame(word(kG), 4);
  EXPECT_NE(context_values[4], 77u);
  stack_unwind_to_loop(false);
  EXPECT_EQ(context_values[4], 77u);
}

TEST_F(CallStackTest, HeaderFlags) {
  stack_open_native_frame(word(kF));
  stack_open_native_frame(word(kG));
  stack_set_body_flag(true);
  EXPECT_EQ(stack_current_frame()->header, kFrameNative | kFrameBodyMark);
  stack_set_body_flag(false);
  EXPECT_EQ(stack_current_frame()->header, kFrameNative);

  EXPECT_FALSE(stack_find_flagged_frame(nullptr, false));
  call_stack_begin()->header |= kFrameInterpMark;
  EXPECT_TRUE(stack_find_flagged_frame(nullptr, false));
  EXPECT_FALSE(stack_find_flagged_frame(nullptr, true));  // only the current frame is tested
  stack_mark_top_frame();
  EXPECT_TRUE(stack_find_flagged_frame(nullptr, true));

  EXPECT_EQ(stack_set_frame_word(word(kH)), Type::word);
  EXPECT_EQ(stack_current_frame()->symbol, kH);
  EXPECT_EQ(stack_set_frame_word(integer(5)), Type::integer);
  EXPECT_EQ(stack_current_frame()->symbol, kH);
  set_throw_mark(1);  // the word goes to the frame current at the throw
  stack_set_frame_word(word(kInner));
  EXPECT_EQ(call_stack_begin()->symbol, kInner);
  EXPECT_EQ(stack_current_frame()->symbol, kH);
}

TEST_F(CallStackTest, CellOperations) {
  EXPECT_EQ(stack_last_value(), stack_begin());
  stack_push_value(integer(1));
  stack_push_value(integer(2));
  stack_push_value(integer(3));
  EXPECT_EQ(integer_of(*stack_last_value()), 3);
  EXPECT_EQ(stack_top_type(), Type::integer);
  stack_drop(50);
  EXPECT_EQ(value_stack.top, stack_begin());
  EXPECT_EQ(stack_last_value(), stack_begin());

  stack_open_native_frame(word(kF));
  stack_push_value(integer(4));
  stack_push_value(make_cell(Type::error, 9));
  stack_keep_error_result();
  EXPECT_EQ(cell_type(*value_stack.base), Type::error);
  EXPECT_EQ(value_stack.top, value_stack.base + 1);
  stack_push_value(make_cell(Type::function));
  EXPECT_TRUE(stack_top_function());
  stack_set_result_only(integer(6));
  EXPECT_EQ(value_stack.top, value_stack.base + 1);
  EXPECT_EQ(integer_of(*value_stack.base), 6);
  EXPECT_EQ(stack_reset_top(), value_stack.base);
  EXPECT_EQ(value_stack.top, value_stack.base);
}

TEST_F(CallStackTest, ClosingWithNoFrameIsAnAssertion) {
  EXPECT_EXIT(stack_close_frame(), ::testing::ExitedWithCode(98), "assertion failed");
}

}  // namespace
}  // namespace qel
