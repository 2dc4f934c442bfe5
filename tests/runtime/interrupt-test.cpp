// Ctrl+C's request: the flag, the self-pipe and the interruptible sleep.
#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "runtime/interrupt.h"

namespace qel {
namespace {

bool pipe_readable() {
  pollfd watch{interrupt_fd(), POLLIN, 0};
  return ::poll(&watch, 1, 0) == 1;
}

class Interrupt : public ::testing::Test {
 protected:
  void SetUp() override {
    install_interrupt_handler();
    interrupt_take();
  }
  void TearDown() override {
    interrupt_take();
    ::signal(SIGINT, SIG_DFL);
  }
};

TEST_F(Interrupt, ASignalIsRecordedUntilTaken) {
  EXPECT_FALSE(interrupt_pending());
  EXPECT_FALSE(pipe_readable());
  ::raise(SIGINT);
  EXPECT_TRUE(interrupt_pending());
  EXPECT_TRUE(pipe_readable());
  EXPECT_TRUE(interrupt_take());
  EXPECT_FALSE(interrupt_pending());
  EXPECT_FALSE(pipe_readable());
  EXPECT_FALSE(interrupt_take());
  ::raise(SIGINT);  // once taken, the next one is a new request, not the second of one
  EXPECT_TRUE(interrupt_pending());
}

TEST_F(Interrupt, AWaitEndsWhenTheSignalComesAndSleepsOutWithout) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(interrupt_wait(0.05));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));

  std::thread sender([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(::getpid(), SIGINT);
  });
  start = Clock::now();
  EXPECT_TRUE(interrupt_wait(60));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  sender.join();
  EXPECT_TRUE(interrupt_wait(60));  // still pending: no sleep at all
}

}  // namespace
}  // namespace qel
