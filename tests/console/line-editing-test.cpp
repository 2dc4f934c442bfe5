// line-editing-test.cpp: the console on a pseudo-terminal reads its lines through the line
// editor, and gives the terminal back as it found it to every command and at its end.
#include <gtest/gtest.h>

#include <csignal>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using cases::LiveChild;
using cases::TemporaryDirectory;

LiveChild console_on_terminal(const TemporaryDirectory& home) {
  cases::EnvironmentChanges environment = cases::console_test_environment(80, home);
  environment.push_back({"TERM", "xterm"});
  return LiveChild({{QEL_BINARY, "--cli"}, environment, true});
}

TEST(LineEditing, ALineRecalledWithUpIsEditedAndEnteredAgain) {
  TemporaryDirectory home;
  LiveChild qel = console_on_terminal(home);
  ASSERT_TRUE(qel.answer(">> ", "\"abc\"")) << qel.output();
  ASSERT_TRUE(qel.await("== \"abc\"\r\n>> ")) << qel.output();
  qel.type("\x1B[A");
  ASSERT_TRUE(qel.await("\"abc\"")) << qel.output();  // the recalled line shows
  qel.type("\x1B[D\x7FXY\r");
  EXPECT_TRUE(qel.await("== \"abXY\"\r\n>> ")) << qel.output();
  // A command runs with the terminal's own line reading and echo.
  qel.type("o: copy {} call/wait/shell/output {stty -a </dev/tty} o print o\r");
  EXPECT_TRUE(qel.await(" icanon ")) << qel.output();
  EXPECT_TRUE(qel.await(" echo ")) << qel.output();
  qel.type("q\r");
  EXPECT_EQ(qel.finish(), 0) << qel.output();
  EXPECT_TRUE(qel.terminal_echoes());
}

// Ctrl+Z while a line is read: the terminal has the user's settings while the process is
// stopped, the editor's when it continues, and the question and the input show again. (The
// test's process group has no shell to stop it for, so it continues at once.)
TEST(LineEditing, AfterCtrlZTheLineIsShownAgainAndStillEdited) {
  TemporaryDirectory home;
  LiveChild qel = console_on_terminal(home);
  ASSERT_TRUE(qel.await(">> ")) << qel.output();
  qel.type("\"ab");
  ASSERT_TRUE(qel.await("\"ab")) << qel.output();
  qel.send_signal(SIGTSTP);
  ASSERT_TRUE(qel.await("\r>> \r\x1B[3C\"ab")) << qel.output();
  EXPECT_FALSE(qel.terminal_echoes());
  qel.type("c\"\r");
  EXPECT_TRUE(qel.await("== \"abc\"\r\n>> ")) << qel.output();
  qel.type("q\r");
  EXPECT_EQ(qel.finish(), 0) << qel.output();
}

}  // namespace
}  // namespace qel
