// help-test.cpp: the help text and listings as the console prints them, byte for byte where
// the case files' trimmed lines cannot tell (tabs, padding, trailing blanks).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using cases::ChildResult;
using cases::TemporaryDirectory;

// The output of qel reading the input piped, at the width, in the directory (empty: a fresh one).
std::string console_output(const std::string& input, long columns, const std::string& directory = {}) {
  TemporaryDirectory home, work;
  cases::ChildRun run{{QEL_BINARY, "--cli"}, input, cases::console_test_environment(columns, home)};
  run.working_directory = directory.empty() ? work.path() : directory;
  ChildResult result = cases::run_child(run);
  EXPECT_EQ(result.exit_status, 0) << result.errors;
  return result.output;
}

// The text printed between the echo of the typed line and the next prompt.
std::string printed_by(const std::string& output, const std::string& typed) {
  const std::string echo = ">> " + typed + "\n";
  size_t start = output.find(echo);
  if (start == std::string::npos) return "(not typed: " + typed + ")";
  start += echo.size();
  return output.substr(start, output.find(">> ", start) - start);
}

// The usage text of help with nothing after it, as it is written down for users.
constexpr const char* kHelpUsage =
    "\n"
    "\tUse HELP or ? to view built-in docs for functions, values \n"
    "\tfor contexts, or all values of a given datatype:\n"
    "\n"
    "\t\thelp append\n"
    "\t\t? system\n"
    "\t\t? function!\n"
    "\n"
    "\tTo search for values by name, use a word:\n"
    "\n"
    "\t\t? pri\n"
    "\t\t? to-\n"
    "\n"
    "\tTo also search in function specs, use a string:\n"
    "\n"
    "\t\t? \"pri\"\n"
    "\t\t? \"issue!\"\n"
    "\n"
    "\tTo buffer and return output, rather than printing results, \n"
    "\tuse help-string:\n"
    "\n"
    "\t\thelp-string append\n"
    "\n"
    "\tOther useful functions:\n"
    "\n"
    "\t\t??     - Display a word and the value it references\n"
    "\t\tprobe  - Print a molded value\n"
    "\t\tsource - Show a function's source code\n"
    "\t\twhat   - Show a list of known functions or words\n"
    "\t\tabout  - Display version number and build date\n"
    "\t\tquit   - Leave the Qel console\n"
    "\t";

TEST(Help, UsageIsTheTextWrittenDownExactly) {
  const std::string output = console_output("prin help-ctx/HELP-USAGE print \"|\"\n?\n", 80);
  EXPECT_EQ(printed_by(output, "prin help-ctx/HELP-USAGE print \"|\""), std::string(kHelpUsage) + "|\n");
  // help prints the buffer: the usage and its line end, then print's own
  EXPECT_EQ(printed_by(output, "?"), std::string(kHelpUsage) + "\n\n");
}

}  // namespace
}  // namespace qel
