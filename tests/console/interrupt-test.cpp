// interrupt-test.cpp: Ctrl+C at the console, through a pipe and on a pseudo-terminal.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using namespace std::chrono_literals;
using cases::LiveChild;
using cases::TemporaryDirectory;

// Presses Ctrl+C as each front end gets it: SIGINT sent to the process, or ^C typed on its
// terminal.
void press_ctrl_c(LiveChild& child, bool terminal) {
  if (terminal)
    child.type("\x03");
  else
    child.send_signal(SIGINT);
}

// While a command waits away from any safe point (on a child process here), the first Ctrl+C
// stays pending and a second one ends the run at once.
TEST(ConsoleInterrupt, ASecondCtrlCWhileTheFirstIsPendingExits130) {
  for (bool terminal : {false, true}) {
    TemporaryDirectory home;
    LiveChild qel({{QEL_BINARY, "--cli"}, cases::console_test_environment(80, home), terminal});
    ASSERT_TRUE(qel.started());
    ASSERT_TRUE(qel.await(">> ")) << qel.output();
    qel.type("call/wait {sleep 10}\n");
    std::this_thread::sleep_for(300ms);  // the command has started
    const auto start = std::chrono::steady_clock::now();
    press_ctrl_c(qel, terminal);
    std::this_thread::sleep_for(50ms);
    press_ctrl_c(qel, terminal);
    EXPECT_EQ(qel.finish(5s), 130) << "terminal " << terminal << ": " << qel.output();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  }
}

}  // namespace
}  // namespace qel
