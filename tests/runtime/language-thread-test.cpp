// Real faults on the language thread end as numbered runtime errors; the headroom check is
// catchable and the thread carries on.
#include <gtest/gtest.h>

#include "runtime/exits.h"
#include "runtime/fault-signals.h"
#include "runtime/language-thread.h"
#include "runtime/services.h"
#include "runtime/throw.h"

namespace qel {
namespace {

int* volatile null_target = nullptr;
volatile int zero = 0;
volatile int never = -1;  // keeps the recursions below formally bounded

[[gnu::noinline]] int recurse_unchecked(int depth) {
  if (depth == never) return 0;
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  return recurse_unchecked(depth + 1) + pad[0];
}

[[gnu::noinline]] int recurse_checked(int depth) {
  if (depth == never) return 0;
  check_stack_headroom();
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  return recurse_checked(depth + 1) + pad[0];
}

int on_language_thread(int (*body)()) {
  install_fault_handlers();
  return run_on_language_thread(body, 64 << 20);
}

TEST(LanguageThreadDeathTest, FaultsBecomeRuntimeErrors) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(on_language_thread([] { *null_target = 1; return 0; }), ::testing::ExitedWithCode(1),
              "Runtime Error 1: access violation\n\\*\\*\\* at: [0-9A-F]{8}h");
  EXPECT_EXIT(on_language_thread([] { return 7 / zero; }), ::testing::ExitedWithCode(13),
              "Runtime Error 13: integer divide by zero");
  EXPECT_EXIT(on_language_thread([] { return recurse_unchecked(0); }), ::testing::ExitedWithCode(19),
              "Runtime Error 19: stack error or overflow");
}

TEST(LanguageThread, HeadroomCheckRaisesStackOverflowAndTheThreadCarriesOn) {
  int result = run_on_language_thread(
      [] {
        Caught caught = trap_errors([] { recurse_checked(0); });
        EXPECT_EQ(stand_in_last_error().id, error_id("internal", "stack-overflow"));
        Caught again = trap_errors([] { recurse_checked(0); });
        return static_cast<int>(caught.taken == kThrowError && again.taken == kThrowError);
      },
      16 << 20);
  EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace qel
