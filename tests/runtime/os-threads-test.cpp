// Threads: start, wait with time-outs, exit codes, close.
#include <gtest/gtest.h>

#include <atomic>
#include <semaphore>

#include "runtime/os-threads.h"

namespace qel {
namespace {

uint32_t return_seven(void*) { return 7; }

uint32_t exit_with_42(void*) {
  thread_exit(42);
}

// Blocks until released, then answers 3.
uint32_t wait_for_release(void* argument) {
  static_cast<std::binary_semaphore*>(argument)->acquire();
  return 3;
}

// Waits for the thread to end and answers its exit code.
uint32_t code_at_end(Thread* thread) {
  uint32_t code = 0;
  EXPECT_EQ(thread_wait(thread, kThreadWaitForever, &code), 1);
  return code;
}

TEST(Threads, AFinishedThreadAnswersItsCodeOnEveryWait) {
  Thread* thread = thread_start(return_seven, nullptr, 0);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(code_at_end(thread), 7u);
  uint32_t code = 0;
  EXPECT_EQ(thread_wait(thread, 0, &code), 1);
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(thread_wait(thread, 0, nullptr), 1);
  EXPECT_TRUE(thread_close(thread));
}

TEST(Threads, WaitTimesOutOnARunningThread) {
  std::binary_semaphore release(0);
  Thread* thread = thread_start(wait_for_release, &release, 64 * 1024);
  ASSERT_NE(thread, nullptr);
  uint32_t code = 99;
  EXPECT_EQ(thread_wait(thread, 0, &code), 0);
  EXPECT_EQ(thread_wait(thread, 2, &code), 0);
  EXPECT_EQ(code, 99u);
  EXPECT_FALSE(thread_kill(thread));
  release.release();
  EXPECT_EQ(code_at_end(thread), 3u);
  EXPECT_TRUE(thread_close(thread));
}

TEST(Threads, ThreadExitSetsTheCode) {
  Thread* thread = thread_start(exit_with_42, nullptr, 0);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(code_at_end(thread), 42u);
  thread_close(thread);
}

struct Handshake {
  std::binary_semaphore go{0};
  std::binary_semaphore done{0};
  std::atomic<uint32_t> id{0};
};

uint32_t report_id_when_told(void* argument) {
  auto* handshake = static_cast<Handshake*>(argument);
  handshake->go.acquire();
  handshake->id = thread_current_id();
  thread_yield();
  handshake->done.release();
  return 0;
}

TEST(Threads, AClosedRunningThreadCarriesOn) {
  Handshake handshake;
  Thread* thread = thread_start(report_id_when_told, &handshake, 0);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(thread_close(thread));
  handshake.go.release();
  handshake.done.acquire();
  EXPECT_NE(handshake.id.load(), 0u);
  EXPECT_NE(handshake.id.load(), thread_current_id());
}

TEST(Threads, Failures) {
  EXPECT_EQ(thread_wait(nullptr, 0, nullptr), -1);
  EXPECT_FALSE(thread_close(nullptr));
  EXPECT_EQ(thread_start(nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(thread_start(return_seven, nullptr, SIZE_MAX / 2), nullptr);
}

}  // namespace
}  // namespace qel
