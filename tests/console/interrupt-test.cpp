// interrupt-test.cpp: Ctrl+C at the console: a running command halts through every trap and the
// console asks again; at a question it cancels the line; a script it stops ends with 130; a
// second one while the first waits ends the run. Through a pipe (SIGINT sent) and on a
// pseudo-terminal (^C typed).
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using namespace std::chrono_literals;
using cases::LiveChild;
using cases::TemporaryDirectory;

// Long enough for a typed command to be running.
constexpr auto kUnderWay = 200ms;

// Presses Ctrl+C as each front end gets it: SIGINT sent to the process, or ^C typed on its
// terminal.
void press_ctrl_c(LiveChild& child, bool terminal) {
  if (terminal)
    child.type("\x03");
  else
    child.send_signal(SIGINT);
}

// Waits until the run under test has made the file: it has got that far, however slowly a
// loaded machine started it (at most ten seconds).
void await_file(const std::string& path) {
  for (int k = 0; k < 500 && !std::filesystem::exists(path); ++k) std::this_thread::sleep_for(20ms);
}

LiveChild console(const TemporaryDirectory& home, bool terminal, std::vector<std::string> arguments = {"--cli"}) {
  arguments.insert(arguments.begin(), QEL_BINARY);
  return LiveChild({arguments, cases::console_test_environment(80, home), terminal});
}

TEST(ConsoleInterrupt, ACommandHaltsThroughEveryTrapAndTheConsoleGoesOn) {
  TemporaryDirectory home;
  LiveChild qel = console(home, false);
  for (const char* command :
       {"n: 0 forever [n: n + 1]", "forever [try/all [n: n + 1]]", "forever [attempt/safer [n: n + 1]]", "wait 60"}) {
    ASSERT_TRUE(qel.answer(">> ", command)) << qel.output();
    std::this_thread::sleep_for(kUnderWay);
    qel.send_signal(SIGINT);
    EXPECT_TRUE(qel.await(std::string(command) + "\n(halted)\n", 5s)) << qel.output();
  }
  // Under the collector's torture mode every step collects: the loops may not have gone round.
  ASSERT_TRUE(qel.answer(">> ", std::getenv("QEL_GC_TORTURE") ? "integer? n" : "n > 1000"));
  EXPECT_TRUE(qel.await("== true\n")) << qel.output();
  qel.close_input();
  EXPECT_EQ(qel.finish(), 0);
}

TEST(ConsoleInterrupt, OnATerminalCtrlCCancelsTheLineOrHaltsTheCommand) {
  TemporaryDirectory home;
  LiveChild qel = console(home, true);
  ASSERT_TRUE(qel.await(">> ")) << qel.output();
  qel.type("abc");
  std::this_thread::sleep_for(kUnderWay);
  qel.type("\x03");
  EXPECT_TRUE(qel.await("abc^C\r\n(escape)\r\n>> ")) << qel.output();
  qel.type("forever []\n");
  std::this_thread::sleep_for(kUnderWay);
  qel.type("\x03");
  EXPECT_TRUE(qel.await("(halted)\r\n>> ")) << qel.output();
  qel.type("q\n");
  EXPECT_EQ(qel.finish(), 0) << qel.output();
}

// At a question Ctrl+C answers Escape; what came through a pipe of the line so far is no typing
// to cancel but data, which the next line begins with.
TEST(ConsoleInterrupt, ThroughAPipeCtrlCAtAQuestionKeepsThePartOfTheLineThatCame) {
  TemporaryDirectory home;
  LiveChild qel = console(home, false);
  ASSERT_TRUE(qel.await(">> ")) << qel.output();
  qel.type("1 + ");
  std::this_thread::sleep_for(kUnderWay);
  qel.send_signal(SIGINT);
  EXPECT_TRUE(qel.await("\n(escape)\n>> ")) << qel.output();
  qel.type("2\n");
  EXPECT_TRUE(qel.await("1 + 2\n== 3\n")) << qel.output();
  qel.close_input();
  EXPECT_EQ(qel.finish(), 0);
}

// A script that takes the halt in a catch of its own and goes on was not stopped. Ctrl+C comes
// once the code has written the file, inside the catch where there is one.
TEST(ConsoleInterrupt, AScriptItStopsEndsWith130) {
  struct Row {
    const char* code;
    int status;
    const char* output;
  };
  const Row rows[] = {
      {"write %started \"\" forever []", 130, "go\n(halted)\n"},
      {"catch/name [write %started \"\" forever []] 'console print \"went on\"", 0, "go\nwent on\n"},
  };
  for (const Row& row : rows) {
    TemporaryDirectory home;
    const std::string script = home.path() + "/loop.qel";
    const std::string started = home.path() + "/started";
    std::ofstream(script) << "Qel [] print \"go\" " << row.code << "\n";
    LiveChild qel = console(home, false, {"--cli", script});
    await_file(started);
    qel.send_signal(SIGINT);
    EXPECT_EQ(qel.finish(5s), row.status) << row.code;
    EXPECT_EQ(qel.output(), row.output) << row.code;
  }
}

// While a command waits away from any safe point (on a child process here), the first Ctrl+C
// stays pending and a second one ends the run at once. The child ignores Ctrl+C: on a terminal
// it reaches the child too, and a child that ended would let the command reach a safe point,
// where the first one halts it.
TEST(ConsoleInterrupt, ASecondCtrlCWhileTheFirstIsPendingExits130) {
  for (bool terminal : {false, true}) {
    TemporaryDirectory home;
    LiveChild qel = console(home, terminal);
    const std::string started = home.path() + "/started";
    ASSERT_TRUE(qel.answer(">> ", "prin uppercase \"staged \" call/wait {trap '' INT; touch " + started + "; sleep 10}"))
        << qel.output();
    await_file(started);
    const auto start = std::chrono::steady_clock::now();
    // Pressed until the run ends: two presses the kernel delivers as one signal count once.
    int status = -1;
    for (int k = 0; k < 100 && status == -1; ++k) {
      press_ctrl_c(qel, terminal);
      status = qel.finish(50ms);
    }
    EXPECT_EQ(status, 130) << "terminal " << terminal << ": " << qel.output();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_NE(qel.output().find("STAGED "), std::string::npos) << qel.output();  // what was printed goes out
  }
}

// A run terminated while a hidden read has the echo off leaves the terminal echoing.
TEST(ConsoleInterrupt, ATerminationDuringAHiddenReadLeavesTheTerminalEchoing) {
  TemporaryDirectory home;
  LiveChild qel = console(home, true);
  ASSERT_TRUE(qel.answer(">> ", "ask/hide append \"Ke\" \"y: \"")) << qel.output();
  ASSERT_TRUE(qel.await("Key: ")) << qel.output();
  EXPECT_FALSE(qel.terminal_echoes());
  qel.send_signal(SIGTERM);
  EXPECT_EQ(qel.finish(5s), 143) << qel.output();
  EXPECT_TRUE(qel.terminal_echoes());
}

}  // namespace
}  // namespace qel
