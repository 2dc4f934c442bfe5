// Start-up order, print hooks and the build stamp.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/build-stamp.h"
#include "runtime/print-hooks.h"
#include "runtime/startup.h"
#include "runtime/throw.h"

namespace qel {
namespace {

TEST(Startup, StepsRunInTheirOrder) {
  start_runtime();
  std::vector<std::string> names(steps_run().begin(), steps_run().end());
  const std::vector<std::string> expected = {
      "boot-flag",        "print-hooks-init", "stdio-init",        "random-init",
      "memory-init",      "extres-init",      "datatype-tables",   "register-datatypes",
      "action-entries",   "first-frames",     "root-block",        "stack-blocks",
      "global-context",   "case-tables-init", "symbol-hash-table", "datatype-words",
      "runtime-symbols",  "native-and-module-inits", "init-stacks", "init-lexer-tables",
      "qelbin-decode-boot", "init-lexer",     "extref-init",       "init-collector"};
  EXPECT_EQ(names, expected);
  start_runtime();  // exactly once
  EXPECT_EQ(steps_run().size(), expected.size());
  std::vector<std::string> finish;
  for (const auto& step : entry_finish_steps()) finish.push_back(step.name);
  EXPECT_EQ(finish, (std::vector<std::string>{"enable-collection", "build-library", "init-event-datatype", "launch",
                                              "quit"}));
}

TEST(StartupDeathTest, ALaunchThatReturnsExitsWithZero) {
  char name[] = "qel";
  char* argv[] = {name, nullptr};
  EXPECT_EXIT(program_entry(1, argv), ::testing::ExitedWithCode(0), "^$");
}

TEST(StartupDeathTest, RootCatchEndsWhatNobodyTook) {
  EXPECT_EXIT(under_root_catch([] { throw_code(kThrowUser); }), ::testing::ExitedWithCode(95),
              "Runtime Error 95: no CATCH for THROW");
  EXPECT_EXIT(under_root_catch([] { (void)exit_with(kThrowBreak); throw_code(kThrowBreak); }),
              ::testing::ExitedWithCode(95), "no CATCH for THROW");
  EXPECT_EXIT(under_root_catch([] { throw std::bad_alloc(); }), ::testing::ExitedWithCode(94), "out of memory");
  EXPECT_EXIT(under_root_catch([] { throw 7; }), ::testing::ExitedWithCode(98), "assertion failed");
}

TEST(Startup, FloatStateIsSound) { EXPECT_TRUE(float_state_is_sound()); }

TEST(BuildStamp, UsesTheDateNotation) {
  EXPECT_THAT(build_stamp(),
              ::testing::MatchesRegex(
                  "^[1-9][0-9]?-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-[0-9]{4}/[0-9]{1,2}:[0-9]{2}:[0-9]{2}$"));
  EXPECT_EQ(format_date_stamp(1733735107), "9-Dec-2024/9:05:07");
}

std::vector<int> calls;
template <int N>
void hook(const Cell&, bool) { calls.push_back(N); }
void remove_self(const Cell&, bool) {
  calls.push_back(100);
  print_hooks_remove(remove_self, nullptr);
}
void add_other(const Cell&, bool) {
  calls.push_back(200);
  print_hooks_add(hook<9>, nullptr);
}

TEST(PrintHooks, ElevenHooksGrowByFiveAndRunInOrder) {
  print_hooks_init();
  calls.clear();
  print_hooks_add(hook<0>, nullptr);
  print_hooks_add(hook<1>, nullptr);
  print_hooks_add(hook<2>, nullptr);
  print_hooks_add(hook<3>, nullptr);
  print_hooks_add(hook<4>, nullptr);
  EXPECT_EQ(print_hooks_string_capacity(), 5u);
  print_hooks_add(hook<5>, nullptr);
  EXPECT_EQ(print_hooks_string_capacity(), 10u);
  for (auto* h : {hook<6>, hook<7>, hook<8>, hook<10>}) print_hooks_add(h, nullptr);
  print_hooks_add(hook<11>, nullptr);
  EXPECT_EQ(print_hooks_string_capacity(), 15u);
  print_hooks_run(Cell{}, true);
  EXPECT_EQ(calls, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11}));
  calls.clear();
  print_hooks_remove(hook<1>, nullptr);
  print_hooks_remove(hook<9>, nullptr);  // not registered: nothing changes
  print_hooks_run(Cell{}, false);
  EXPECT_EQ(calls, (std::vector<int>{0, 2, 3, 4, 5, 6, 7, 8, 10, 11}));
  EXPECT_EQ(print_hooks_byte_capacity(), 5u);
}

TEST(PrintHooks, ChangesDuringARunTakeEffectOnTheNext) {
  print_hooks_init();
  calls.clear();
  print_hooks_add(hook<0>, nullptr);
  print_hooks_add(remove_self, nullptr);
  print_hooks_add(hook<1>, nullptr);
  print_hooks_add(add_other, nullptr);
  print_hooks_add(hook<2>, nullptr);
  print_hooks_run(Cell{}, true);
  EXPECT_EQ(calls, (std::vector<int>{0, 100, 1, 200, 2}));
  calls.clear();
  print_hooks_run(Cell{}, true);
  EXPECT_EQ(calls, (std::vector<int>{0, 1, 200, 2, 9}));
}

}  // namespace
}  // namespace qel
