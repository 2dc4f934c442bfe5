// Ctrl+C's halt: taken at safe points and in wait, carried past every trap to the innermost catch
// named console, and kept for later while no such catch is open.
#include "eval-fixture.h"

#include <chrono>
#include <csignal>
#include <thread>

#include "datatypes/scalars/integer.h"
#include "runtime/collector.h"
#include "runtime/interrupt.h"

namespace qel::testing {
namespace {

class InterruptHaltTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    install_interrupt_handler();
    interrupt_take();
  }
  void TearDown() override {
    interrupt_take();
    ::signal(SIGINT, SIG_DFL);
    EvalTest::TearDown();
  }
};

TEST_F(InterruptHaltTest, APendingRequestUnwindsToTheConsoleCatchThroughEveryTrap) {
  define("n", integer_cell(0));
  struct Row {
    const char* code;
    const char* molded;
  };
  const Row rows[] = {
      {"catch/name [forever [n: n + 1]] 'console", "halt-request"},
      {"catch/name [try/all [forever [n: n + 1]]] 'console", "halt-request"},
      {"catch/name [attempt/safer [forever [n: n + 1]]] 'console", "halt-request"},
      {"catch/name [catch [forever [n: n + 1]]] 'console", "halt-request"},
      {"catch/name [catch/name [forever [n: n + 1]] 'other] [other console]", "halt-request"},
      {"f: func [x] [forever [x: x + 1]] catch/name [f 1] 'console", "halt-request"},
      {"catch/name [loop 3 [try [wait 60]]] 'console", "halt-request"},
      {"catch/name [catch/name [forever [n: n + 1]] 'console 5] 'console", "5"},  // the innermost takes it
  };
  for (const Row& row : rows) {
    ::raise(SIGINT);
    EXPECT_EQ(eval_mold(row.code), row.molded) << row.code;
    EXPECT_FALSE(interrupt_pending()) << row.code;
  }
  // The catch still answers everything else as it did.
  expect_molds({
      {"catch/name [throw/name 3 'console] 'console", "3"},
      {"catch [catch/name [throw 4] 'console]", "4"},
      {"catch/name [5] 'console", "5"},
  });
  expect_errors({{"catch/name [1 / 0] 'console", "math/zero-divide", {}}});
}

// Meanwhile the safe points pay nothing for it, and a wait sleeps its time: the request is no
// reason to end every wait at once.
TEST_F(InterruptHaltTest, WithNoConsoleCatchTheRequestWaits) {
  using Clock = std::chrono::steady_clock;
  ::raise(SIGINT);
  expect_molds({
      {"n: 0 loop 20 [n: n + 1] n", "20"},  // few: under torture each safe point collects
      {"catch [forever [throw 6]]", "6"},
  });
  EXPECT_TRUE(interrupt_pending());
  EXPECT_EQ(gc_pending != 0, collector_torture() || collector_requested());
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(eval_mold("loop 2 [wait 0.1] 7"), "7");
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_TRUE(interrupt_pending());
  EXPECT_EQ(eval_mold("catch/name [forever []] 'console"), "halt-request");
}

// The outermost console catch is the console's own, the next the script run's: Ctrl+C's halt
// taken there stopped the run; one taken further in, in a catch of the script's own that then
// went on, did not.
TEST_F(InterruptHaltTest, CtrlCStoppedTheRunUnlessACatchInsideTookItAndWentOn) {
  struct Row {
    const char* code;
    bool halted;
  };
  const Row rows[] = {
      {"catch/name [forever []] 'console", true},
      {"catch/name [catch/name [forever []] 'console] 'console", true},
      {"catch/name [catch/name [catch/name [forever []] 'console 5] 'console] 'console", false},
      {"catch/name [catch/name [catch/name [forever []] 'console throw/name 'halt-request 'console] 'console] 'console",
       false},
      {"try [catch/name [catch/name [catch/name [forever []] 'console 1 / 0] 'console] 'console]", false},
  };
  for (const Row& row : rows) {
    ::raise(SIGINT);
    eval_mold(row.code);
    EXPECT_EQ(interrupt_halted(), row.halted) << row.code;
    EXPECT_FALSE(interrupt_halted()) << row.code;  // forgotten once asked
  }
}

// As the user presses it: while the loop or the wait runs.
TEST_F(InterruptHaltTest, ASignalDuringARunHaltsItSoon) {
  using Clock = std::chrono::steady_clock;
  for (const char* code : {"n: 0 catch/name [forever [n: n + 1]] 'console", "catch/name [wait 60] 'console"}) {
    std::thread sender([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ::kill(::getpid(), SIGINT);
    });
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(eval_mold(code), "halt-request") << code;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << code;
    sender.join();
  }
  EXPECT_GT(integer_value(value_of("n")), collector_torture() ? 0 : 1000);  // torture collects at each step
}

}  // namespace
}  // namespace qel::testing
