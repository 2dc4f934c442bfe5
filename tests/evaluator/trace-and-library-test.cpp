// trace-and-library-test.cpp: the trace sites as a C++ observer sees them, the per-body trace
// flags, and library code: no events, no current-expression update, no interpreter mark.
#include "eval-fixture.h"

#include <algorithm>

#include "evaluator/function.h"
#include "evaluator/library-code.h"
#include "evaluator/system-values.h"
#include "evaluator/trace.h"
#include "runtime/callback-bits.h"

namespace qel::testing {
namespace {

std::vector<uint32_t> events;
std::vector<uint32_t> codeless_events;  // events of four cells whose code is none
void observe(uint32_t event, std::span<const Cell> cells) {
  events.push_back(event);
  if (cells.size() == 4 && cell_type(cells[0]) == Type::none) codeless_events.push_back(event);
}

bool has(uint32_t event) { return std::find(events.begin(), events.end(), event) != events.end(); }

class TraceTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    events.clear();
    codeless_events.clear();
    services().trace_event = observe;
    trace_mask = kTraceAllEvents;  // the observer stands for a tracer that asks for every event
  }
  void TearDown() override {
    trace_enabled = trace_saved = trace_mask = 0;
    EvalTest::TearDown();
  }
  static Outcome traced(std::string_view code) {
    trace_enabled = trace_saved = 1;
    const Outcome outcome = run(code);
    trace_enabled = trace_saved = 0;
    return outcome;
  }
  // Whether the interpreter mark is on the frame the probe native runs in, for each call.
  static inline std::vector<bool> marks;
};

TEST_F(TraceTest, EverySiteFiresWhileTracingIsOn) {
  run("g: func [a] [a]");
  events.clear();
  traced("x: 1 + 2 g (x) b: [1 2] b/2");
  for (uint32_t event : {kTraceEnterEvent, kTraceExitEvent, kTraceOpenEvent, kTraceReturnEvent, kTraceFetchEvent,
                         kTracePushEvent, kTraceSetEvent, kTraceCallEvent, kTraceExprEvent, kTracePrologEvent,
                         kTraceEpilogEvent})
    EXPECT_TRUE(has(event)) << std::hex << event;
  events.clear();
  run("x: 1 + 2 g (x)");
  EXPECT_TRUE(events.empty());
}

TEST_F(TraceTest, BodiesFlaggedNoTraceAreSilentAndTraceFlaggedOnesTraceAgain) {
  run("quiet: func [[no-trace] a] [a + 1 a + 2] loud: func [[trace] a] [a + 1]");
  events.clear();
  traced("quiet 1");
  EXPECT_EQ(std::count(events.begin(), events.end(), kTraceExprEvent), 1);  // the caller's only
  EXPECT_FALSE(has(kTracePrologEvent));
  events.clear();
  traced("loud 1");
  EXPECT_EQ(std::count(events.begin(), events.end(), kTraceExprEvent), 2);
  // With tracing switched off inside a traced evaluation, a trace-flagged body turns it back on.
  events.clear();
  trace_saved = 1;
  trace_enabled = 0;
  run("loud 1");
  trace_saved = 0;
  EXPECT_TRUE(has(kTracePrologEvent));
}

TEST_F(TraceTest, LibraryCodeFiresNoEventsKeepsTheUsersNearAndOpensUnmarkedFrames) {
  const uint32_t probe = register_native_entries(std::array<NativeEntry, 1>{[](const int32_t*) {
    marks.push_back(stack_current_frame()->header & kFrameInterpMark);
    *value_stack.base = make_cell(Type::none);
    return Status{};
  }});
  define("probe", native_value_build(Type::native, probe, load("[]"), 0));
  run("lib-fn: func [] [probe 1 + 2 never-set] user-fn: func [] [probe]");
  set_library_code_deep(*function_more_cell(value_of("lib-fn"), kMoreBody));

  marks.clear();
  events.clear();
  trace_enabled = trace_saved = 1;
  const Outcome outcome = run("1 + 1 lib-fn");
  const std::vector<uint32_t> seen = events;
  events.clear();
  run("user-fn");
  trace_enabled = trace_saved = 0;

  EXPECT_ERROR(outcome, "script", "no-value");
  EXPECT_EQ(outcome.near.w1, 3u);  // the user's expression lib-fn
  EXPECT_EQ(std::count(seen.begin(), seen.end(), kTraceExprEvent), 1);  // only the user's 1 + 1
  EXPECT_FALSE(std::count(seen.begin(), seen.end(), kTracePrologEvent));
  EXPECT_TRUE(has(kTracePrologEvent));
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_FALSE(marks[0]);
  EXPECT_TRUE(marks[1]);
}

TEST_F(TraceTest, TheLibraryFlagReachesNestedBlocksAndSurvivesCollection) {
  const Cell code = load("a [b (c) d/e] [[f]]");
  set_library_code_deep(code);
  collect_now();
  EXPECT_TRUE(is_library_code(code.w2));
  EXPECT_TRUE(is_library_code(block_cell_at(code, 1)->w2));
  EXPECT_TRUE(is_library_code(block_cell_at(*block_cell_at(code, 1), 1)->w2));
  EXPECT_TRUE(is_library_code(block_cell_at(*block_cell_at(code, 1), 2)->w2));
  EXPECT_TRUE(is_library_code(block_cell_at(*block_cell_at(code, 2), 0)->w2));
  EXPECT_FALSE(is_library_code(load("x").w2));
}

// Callbacks run under their own bits: a sort's /compare function, the lexer's tracer, an
// object's on-change* and a port's actor function. Each body is traced, between a call and a return of its own, only while
// its bit is traced.
TEST_F(TraceTest, CallbacksAreTracedOnlyUnderTheirBits) {
  run("cmp: func [a b] [a < b] lx: func [e i t l k] [true] "
      "o: make object! [x: 1 on-change*: func [w a b] [a]] "
      "ps: make object! [actor: make object! [length?: func [port] [1]]]");
  block_append_copy(system_schemes(), global_word("ps"));
  block_append_copy(system_schemes(), value_of("ps"));
  run("pt: make port! [scheme: 'ps]");
  struct Row {
    const char* code;
    uint32_t bit;
  };
  const Row rows[] = {
      {"sort/compare [3 1 2] :cmp", kSortCallback},
      {"transcode/trace \"1 2\" :lx", kLexerCallback},
      {"o/x: 2", kChangeCallback},
      {"length? pt", kPortCallback},
  };
  // Calls and returns without code are the callbacks' own.
  const auto count = [](uint32_t event) { return std::count(events.begin(), events.end(), event); };
  const auto codeless = [](uint32_t event) { return std::count(codeless_events.begin(), codeless_events.end(), event); };
  for (const Row& row : rows) {
    for (const uint32_t bits : {0u, 0x3Fu & ~row.bit}) {
      trace_callback_bits = bits;
      events.clear();
      codeless_events.clear();
      EXPECT_EQ(traced(row.code).code, 0u) << row.code;
      EXPECT_EQ(count(kTracePrologEvent) + codeless(kTraceCallEvent), 0) << row.code << " under " << bits;
    }
    trace_callback_bits = row.bit;
    events.clear();
    codeless_events.clear();
    EXPECT_EQ(traced(row.code).code, 0u) << row.code;
    trace_callback_bits = 0;
    const auto bodies = count(kTracePrologEvent);
    EXPECT_GT(bodies, 0) << row.code;
    EXPECT_EQ(count(kTraceEpilogEvent), bodies) << row.code;
    EXPECT_EQ(codeless(kTraceCallEvent), bodies) << row.code;
    EXPECT_EQ(codeless(kTraceReturnEvent), bodies) << row.code;
  }
}

// The tracer itself, through the evaluator's own trace-event service.
class TracerTest : public EvalTest {
 protected:
  void TearDown() override {
    trace_state_restore({0, 0, 0, 0, make_cell(Type::none)});
    EvalTest::TearDown();
  }
};

// The frame pair is the base and top of the stack the event comes from, not of the tracer's
// own frame; the tracer's pushes leave nothing behind, and a tracer that fails leaves tracing
// off and the stacks where its catcher stood, the next event finding them whole.
TEST_F(TracerTest, TheFramePairIsTheTracedStackAndTheTopsComeBack) {
  run("seen: none quiet: func [e c o v r f] [seen: f] loud: func [e c o v r f] [seen: f 1 / 0]");
  stack_open_frame(global_word("traced"), 0);
  for (int32_t k = 0; k < 3; ++k) stack_push_value(integer_cell(k));
  const auto frame_pair = [] {
    return std::to_string(stack_index(value_stack.base)) + "x" + std::to_string(stack_index(value_stack.top));
  };
  const std::string pair = frame_pair();
  Cell* const top = value_stack.top;
  CallFrame* const frames = call_stack.top;
  const Cell code = load("1 2 3");

  trace_install(value_of("quiet"));
  trace_fire(kTraceExprEvent, code, 1, make_cell(Type::none), integer_cell(2));
  EXPECT_EQ(mold(value_of("seen")), pair);
  EXPECT_EQ(value_stack.top, top);
  EXPECT_EQ(call_stack.top, frames);
  EXPECT_EQ(trace_enabled, 1u);

  trace_install(value_of("loud"));
  std::string trapped;  // the trap's own frame is the traced stack here
  const Caught caught = trap_errors([&]() -> Status {
    trapped = frame_pair();
    trace_fire(kTraceExprEvent, code, 1, make_cell(Type::none), integer_cell(2));
    return {};
  });
  EXPECT_EQ(caught.taken, kThrowError);
  EXPECT_EQ(mold(value_of("seen")), trapped);
  EXPECT_EQ(value_stack.top, top + 1);  // the error, pushed where the trap stood
  EXPECT_EQ(call_stack.top, frames);
  EXPECT_EQ(trace_enabled, 0u);
  stack_drop(1);

  trace_install(value_of("quiet"));
  run("seen: none");
  trace_fire(kTraceExprEvent, code, 1, make_cell(Type::none), integer_cell(2));
  EXPECT_EQ(mold(value_of("seen")), pair);
  EXPECT_EQ(value_stack.top, top);
  stack_close_frame();
}

}  // namespace
}  // namespace qel::testing
