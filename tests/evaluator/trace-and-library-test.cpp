// trace-and-library-test.cpp: the trace sites as a C++ observer sees them, the per-body trace
// flags, and library code: no events, no current-expression update, no interpreter mark.
#include "eval-fixture.h"

#include <algorithm>

#include "evaluator/function.h"
#include "evaluator/library-code.h"
#include "evaluator/trace.h"

namespace qel::testing {
namespace {

std::vector<uint32_t> events;
void observe(uint32_t event, std::span<const Cell>) { events.push_back(event); }

bool has(uint32_t event) { return std::find(events.begin(), events.end(), event) != events.end(); }

class TraceTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    events.clear();
    services().trace_event = observe;
  }
  void TearDown() override {
    trace_enabled = trace_saved = 0;
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

}  // namespace
}  // namespace qel::testing
