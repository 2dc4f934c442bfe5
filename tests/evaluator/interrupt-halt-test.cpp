// Ctrl+C's halt: taken at safe points and in wait, carried past every trap to the innermost catch
// named console, and kept for later while no such catch is open.
#include "eval-fixture.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
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

// Set by `reached` in the code under test, where the signal is to find the run.
std::atomic<bool> reached{false};

// The state letter of one of this process's threads (R running, S asleep, ...).
char thread_state(pid_t thread) {
  std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
  const std::string text{std::istreambuf_iterator<char>(stat), {}};
  const size_t name_end = text.rfind(')');  // the name may hold spaces and parentheses
  return name_end != std::string::npos && name_end + 2 < text.size() ? text[name_end + 2] : '?';
}

// As the user presses it: while the loop runs, or while the wait sleeps. The signal is sent once
// the run has got there, however slowly a loaded machine lets it start.
TEST_F(InterruptHaltTest, ASignalDuringARunHaltsItSoon) {
  using Clock = std::chrono::steady_clock;
  define("reached", test_native(
                        [](const int32_t*) -> Status {
                          reached.store(true);
                          *value_stack.base = make_cell(Type::none);
                          return {};
                        },
                        ""));
  struct Row {
    const char* code;
    bool asleep;  // the signal waits until the language thread sleeps
  };
  const Row rows[] = {
      {"n: 0 catch/name [forever [n: n + 1 if-true n = 100 [reached]]] 'console", false},
      {"catch/name [reached wait 60] 'console", true},
  };
  const pid_t language_thread = ::gettid();
  for (const Row& row : rows) {
    reached.store(false);
    std::atomic<bool> done{false};
    Clock::time_point sent;
    std::thread sender([&] {
      while (!reached.load() && !done.load()) std::this_thread::yield();
      while (row.asleep && thread_state(language_thread) != 'S' && !done.load()) std::this_thread::yield();
      sent = Clock::now();
      ::kill(::getpid(), SIGINT);
    });
    EXPECT_EQ(eval_mold(row.code), "halt-request") << row.code;
    const Clock::time_point halted = Clock::now();
    done.store(true);
    sender.join();
    EXPECT_LT(halted - sent, std::chrono::seconds(5)) << row.code;
  }
  EXPECT_GE(integer_value(value_of("n")), 100);
}

}  // namespace
}  // namespace qel::testing
