// system-start-test.cpp: what the system object takes from the process at start-up: the
// arguments exactly as passed, and a current directory that may be gone.
#include <gtest/gtest.h>

#include <fstream>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using cases::ChildResult;
using cases::TemporaryDirectory;

ChildResult run_program(std::vector<std::string> arguments, std::string input) {
  TemporaryDirectory home;
  return cases::run_child({std::move(arguments), std::move(input), cases::console_test_environment(80, home)});
}

TEST(SystemStart, ArgumentsArriveExactlyAsPassed) {
  // The host's --cli leaves them; the script sees its own arguments and the command line after
  // its name, as one text.
  TemporaryDirectory folder;
  const std::string script = folder.path() + "/s.qel";
  std::ofstream(script) << "Qel [] probe system/options/args probe system/script/args\n"
                           "print system/options/boot = to file! system/options/boot";
  ChildResult result = run_program({QEL_BINARY, "--cli", script, "a b", "q\"z", ""}, "");
  EXPECT_EQ(result.output, "[\"a b\" {q\"z} \"\"]\n{\"a b\" \"q\\\"z\" \"\"}\ntrue\n");
  EXPECT_EQ(result.errors, "");
}

TEST(SystemStart, TheCacheFolderFollowsTheEnvironmentWhenItIsAbsolute) {
  struct Row {
    std::optional<std::string> xdg_cache_home, home;
    const char* cache;
  };
  const Row rows[] = {
      {"/x/c/", "/h", "%/x/c/qel/"},
      {"/x/c", "/h", "%/x/c/qel/"},
      {"relative", "/h/", "%/h/.cache/qel/"},
      {std::nullopt, "/h", "%/h/.cache/qel/"},
      {"", "relative", "none"},
  };
  for (const Row& row : rows) {
    TemporaryDirectory home;
    cases::ChildRun run{{QEL_BINARY, "--cli"}, "system/options/cache\n", cases::console_test_environment(80, home)};
    run.environment.emplace_back("XDG_CACHE_HOME", row.xdg_cache_home);
    run.environment.emplace_back("HOME", row.home);
    const ChildResult result = cases::run_child(run);
    EXPECT_NE(result.output.find(std::string("\n== ") + row.cache + "\n"), std::string::npos) << result.output;
  }
}

TEST(SystemStart, ADeletedWorkingDirectoryStartsInTheRootWithOneWarning) {
  TemporaryDirectory folder;
  const std::string gone = folder.path() + "/gone";
  // The shell enters the directory and removes it before the program starts there.
  ChildResult result = run_program(
      {"/bin/sh", "-c", "mkdir \"$1\" && cd \"$1\" && rmdir \"$1\" && exec \"$2\" --cli", "sh", gone, QEL_BINARY},
      "system/options/path\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_NE(result.output.find(">> system/options/path\n== %/\n"), std::string::npos) << result.output;
  EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
}

}  // namespace
}  // namespace qel
