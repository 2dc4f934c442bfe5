// system-object-test.cpp: the system object as C++ sees it: read through the library's own
// slot, holding the error layer's values, answering the services, tracing and interpreter marks
// as library code.
#include "eval-fixture.h"

#include <algorithm>

#include "datatypes/scalars/integer.h"
#include "evaluator/boot-runner.h"
#include "evaluator/library-code.h"
#include "evaluator/library-values.h"
#include "evaluator/system-values.h"
#include "evaluator/trace.h"

namespace qel::testing {
namespace {

std::vector<uint32_t> events;
void observe(uint32_t event, std::span<const Cell>) { events.push_back(event); }
long count(uint32_t event) { return std::count(events.begin(), events.end(), event); }

// The fixture has built the library, system object included.
class SystemObjectTest : public EvalTest {
 protected:
  void TearDown() override {
    trace_enabled = trace_saved = trace_mask = 0;
    EvalTest::TearDown();
  }
};

TEST_F(SystemObjectTest, ScriptsThatReplaceTheWordSystemBreakNothing) {
  run("system: none");
  EXPECT_EQ(cell_type(library_value(LibraryValue::system)), Type::object);
  expect_molds({{"system", "none"}, {"e: make error! [math zero-divide] e/id", "zero-divide"}});
  EXPECT_EQ(integer_value(system_stack_trace()), 1);
  EXPECT_EQ(cell_type(system_error_catalog()), Type::object);
}

TEST_F(SystemObjectTest, TheErrorLayerReadsTheFieldsAsTheyStand) {
  const Cell catalog = system_error_catalog();
  EXPECT_EQ(catalog.w1, system_field({"catalog", "errors"}).w1);
  EXPECT_EQ(system_source_files().w2, system_field({"state", "source-files"}).w2);
  run("system/state/stack-trace: 0");
  EXPECT_EQ(integer_value(system_stack_trace()), 0);
  run("system/state/stack-trace: none");
  EXPECT_EQ(cell_type(system_stack_trace()), Type::none);
  // A script's replacement prototype shapes every new error.
  run("system/standard/error: none");
  EXPECT_EQ(cell_type(system_standard_error()), Type::none);
}

TEST_F(SystemObjectTest, ServicesAnswerTheSettingsRaw) {
  run("system/options/money-digits: 4 system/locale/months: [\"M\"] system/script/title: \"T\"");
  EXPECT_EQ(mold(services().money_digits()), "4");
  EXPECT_EQ(mold(services().locale_months()), "[\"M\"]");
  EXPECT_EQ(services().script_title(), std::optional<std::string>("T"));
  run("system/script/title: 5 system/options/money-digits: none");
  EXPECT_EQ(services().script_title(), std::nullopt);
  EXPECT_EQ(mold(services().money_digits()), "none");
  EXPECT_EQ(block_length(services().locale_currencies()), 170u);
}

TEST_F(SystemObjectTest, ALibraryCallTracesAtTheCallersSideOnly) {
  run("d: now");
  services().trace_event = observe;
  trace_mask = kTraceAllEvents;  // the observer stands for a tracer that asks for every event
  events.clear();
  trace_enabled = trace_saved = 1;
  const Outcome outcome = run("to-UTC-date d");
  trace_enabled = trace_saved = 0;
  EXPECT_EQ(outcome.code, 0u);
  EXPECT_EQ(count(kTraceCallEvent), 1);
  EXPECT_EQ(count(kTraceReturnEvent), 1);
  EXPECT_EQ(count(kTraceExprEvent), 1);  // the user's expression; none from the function's body
  EXPECT_EQ(count(kTracePrologEvent), 0);
  EXPECT_EQ(count(kTraceSetEvent), 0);
}

TEST_F(SystemObjectTest, InterpretedAsksWhetherAnyCallerIsInterpreted) {
  expect_molds({{"system/state/interpreted?", "true"}});
  const Cell chain = load("system/state/interpreted?");
  set_library_code_deep(chain);
  const Outcome outcome = run_block(chain);
  EXPECT_EQ(mold(outcome.value), "false");
}

}  // namespace
}  // namespace qel::testing
