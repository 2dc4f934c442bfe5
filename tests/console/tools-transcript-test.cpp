// tools-transcript-test.cpp: the tools as a console user meets them: the profiler's report, and
// debugger sessions whose commands and answers arrive on standard input.
#include <gtest/gtest.h>

#include <regex>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using cases::ChildResult;
using cases::TemporaryDirectory;

ChildResult run_qel(const std::string& input) {
  TemporaryDirectory home;
  return cases::run_child({{QEL_BINARY, "--cli"}, input, cases::console_test_environment(80, home)});
}

// The output of a session: the command line, the answers to its "debug> " prompts, then the
// lines typed after it.
std::string debug_session(const std::string& command, const std::vector<std::string>& answers,
                          const std::string& after = "") {
  std::string input = command + "\n";
  for (const std::string& answer : answers) input += answer + "\n";
  return run_qel(input + after).output;
}

// Whether `first` occurs in the text, and `second` after it.
bool in_order(const std::string& text, const std::string& first, const std::string& second) {
  const size_t at = text.find(first);
  return at != std::string::npos && text.find(second, at + first.size()) != std::string::npos;
}

TEST(DebuggerSession, StopsShowTheEventAndTheCodeToRunThenContinue) {
  const std::string output = debug_session("debug [x: 5] print [\"x is\" x]", {"c"});
  EXPECT_TRUE(in_order(output, "-----> EVAL x:\nInput: x: 5\n", "debug> c\n")) << output;
  EXPECT_NE(output.find("debug> c\nx is 5\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("-----> EVAL 5"), std::string::npos) << "continue stops no more\n" << output;
}

TEST(DebuggerSession, EmptyAnswersStepToTheCallOfAnAction) {
  const std::string output = debug_session("debug [append [] 1]", {"", "", "", "", "", "", "c"});
  EXPECT_TRUE(in_order(output, "-----> OPEN append\n", "-----> CALL append (action!)\n")) << output;
}

TEST(DebuggerSession, CommandsChangeWatchesAndSettingsForTheRunOnly) {
  std::string output = debug_session("debug [x: 5] print mold system/tools/watching",
                                     {"watch a b", "-watch a", "+s", "-s", "c"},
                                     "print system/tools/options/debug/show-stack?\n");
  EXPECT_NE(output.find("debug> c\n[b]\n"), std::string::npos) << output;
  EXPECT_NE(output.find("\ntrue\n"), std::string::npos) << output;
  output = debug_session("debug [x: 5]", {"help", "frobnicate", ":x", "c"});
  EXPECT_NE(output.find("debug> help\n"
                        "\t`help` or `?`: print a list of debugger's commands.\n"
                        "\t`next` or `n` or just ENTER: evaluate next value.\n"
                        "\t`continue` or `c`: exit debugging console but continue evaluation.\n"
                        "\t`quit` or `q`: exit debugger and stop evaluation.\n"
                        "\t`stack` or `s`: display the current calls and expression stack.\n"
                        "\t`parents` or `p`: display the parents call stack.\n"
                        "\t`:word`: outputs the value of `word`. If it is a `function!`, outputs the local context.\n"
                        "\t`:a/b/c`: outputs the value of `a/b/c` path.\n"
                        "\t`watch <word1> <word2>...`: watch one or more words. `w` can be used as shortcut for "
                        "`watch`.\n"
                        "\t`-watch <word1> <word2>...`: stop watching one or more words. `-w` can be used as "
                        "shortcut for `-watch`.\n"
                        "\t`+stack`  or `+s`: outputs expression stack on each new event.\n"
                        "\t`-stack`  or `-s`: do not output expression stack on each new event.\n"
                        "\t`+locals` or `+l`: output local context for each entry in the callstack.\n"
                        "\t`-locals` or `-l`: do not output local context for each entry in the callstack.\n"
                        "\t`+indent` or `+i`: indent the output of the expression stack.\n"
                        "\t`-indent` or `-i`: do not indent the output of the expression stack.\n"
                        "\tdebug> frobnicate\nUnknown command!\ndebug> :x\n"),
            std::string::npos)
      << output;
}

TEST(DebuggerSession, AnAnswerThatDoesNotLoadIsReportedAndAskedAgain) {
  const std::string output = debug_session("debug [x: 6] print x", {"[", "c"});
  EXPECT_TRUE(in_order(output, "debug> [\n*** Syntax Error: ", "debug> c\n6\n")) << output;
}

TEST(DebuggerSession, LaterStopsFirstAtTheStopMarker) {
  const std::string output = debug_session("debug/later [a: 1 @stop b: 2]", {"c"});
  const size_t first = output.find("----->");
  EXPECT_EQ(output.compare(first, 22, "-----> EVAL @stop\nInpu"), 0) << output;
}

TEST(DebuggerSession, AnErrorStopsOnceThenLeavesWithTheSettingsBack) {
  const std::string output = debug_session("debug [1 / 0]", {"c", "c"}, "print mold values-of system/tools/options/debug\n");
  EXPECT_TRUE(in_order(output, "-----> ERROR make error! ", "*** Math Error: attempt to divide by zero\n")) << output;
  EXPECT_NE(output.find("[false true false false false]\n"), std::string::npos) << output;
}

// q halts: the command stops and the console takes the next one.
TEST(DebuggerSession, QuitStopsTheCommand) {
  const std::string output = debug_session("debug [x: 1] print \"after\"", {"q"}, "print \"later\"\n");
  EXPECT_EQ(output.find("\nafter\n"), std::string::npos) << output;
  EXPECT_TRUE(in_order(output, "debug> q\n(halted)\n", ">> print \"later\"\nlater\n")) << output;
}

TEST(ProfilerReport, ResultLineThenOneRankedLinePerName) {
  const std::string output = run_qel("g: func [] [1] profile [g g]\nprofile [print \"x\"]\n").output;
  EXPECT_TRUE(std::regex_search(output, std::regex("\n== 1 \n\n#1   g {16}\\| 2 {10}\\| [0-9:.]+ *\n"))) << output;
  EXPECT_TRUE(std::regex_search(output, std::regex("profile \\[print \"x\"\\]\nx\n#1   print {12}\\| 1 {10}\\| "))) << output;
}

}  // namespace
}  // namespace qel
