// help-test.cpp: the help text and listings as the console prints them, byte for byte where
// the case files' trimmed lines cannot tell (tabs, padding, trailing blanks).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using cases::ChildResult;
using cases::TemporaryDirectory;

// The output of qel reading the input piped, at the width, in the directory (empty: a fresh one).
// With `whole_collections_off` the child runs without the torture collector: a search of the
// global context is an interpreted loop over its 1,200 words, and a collection that moves the
// whole heap at each of their safe points turns a millisecond into half a minute.
std::string console_output(const std::string& input, long columns, const std::string& directory = {},
                           bool whole_collections_off = false) {
  TemporaryDirectory home, work;
  cases::ChildRun run{{QEL_BINARY, "--cli"}, input, cases::console_test_environment(columns, home)};
  if (whole_collections_off) run.environment.emplace_back("QEL_GC_TORTURE", std::nullopt);
  run.working_directory = directory.empty() ? work.path() : directory;
  ChildResult result = cases::run_child(run);
  EXPECT_EQ(result.exit_status, 0) << result.errors;
  return result.output;
}

// The text printed between the echo of the typed line and the next prompt, which starts a line.
std::string printed_by(const std::string& output, const std::string& typed) {
  const std::string echo = ">> " + typed + "\n";
  size_t start = output.find(echo);
  if (start == std::string::npos) return "(not typed: " + typed + ")";
  start += echo.size();
  // the echo's own line end is where the search starts, so an empty answer is found too
  return output.substr(start, output.find("\n>> ", start - 1) + 1 - start);
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

TEST(Help, SearchesListTheGlobalWordsByNameSpecAndDatatype) {
  const std::string output = console_output(
      "? zz-cou\n? email!\n"
      "zz-count: 12 zz-mail: a@b.c zz-f: func [\"Holds zz-needle\" a] [a] none\n"
      "? zz-cou\n? zz-nothing-here\n? email!\n? \"zz-needle\"\nwhat/with 'zz-f\n"
      "b: what/with/buffer \"zz-\" same? b help-ctx/output-buffer\nwhat\n? datatype!\n"
      "system/console/size: 40x24 zz-long: append/dup copy \"\" \"a\" 60 what/with \"zz-long\"\n",
      80, {}, true);
  const std::string none_found = "No matching values were found in the global context.\n\n";
  // a word is listed once it has a value
  EXPECT_EQ(printed_by(output, "? zz-cou"), none_found);
  EXPECT_EQ(printed_by(output, "? email!"), "No email! values were found in the global context.\n\n");
  const std::string after = output.substr(output.find("zz-count: 12"));
  EXPECT_EQ(printed_by(after, "? zz-cou"), "     zz-count        integer!      12\n\n");
  EXPECT_EQ(printed_by(after, "? zz-nothing-here"), none_found);
  EXPECT_EQ(printed_by(after, "? email!"), "     zz-mail          a@b.c\n\n");
  // a string finds the text in function specs as well as in names
  const std::string zz_f = "     zz-f            function!     Holds zz-needle.\n";
  EXPECT_EQ(printed_by(after, "? \"zz-needle\""), zz_f + "\n");
  EXPECT_EQ(printed_by(after, "what/with 'zz-f"), zz_f + "\n");
  EXPECT_EQ(printed_by(after, "b: what/with/buffer \"zz-\" same? b help-ctx/output-buffer"), "== true\n");
  // what alone lists functions only
  const std::string functions = printed_by(after, "what");
  EXPECT_NE(functions.find(zz_f), std::string::npos);
  EXPECT_EQ(functions.find("zz-count"), std::string::npos);
  EXPECT_NE(functions.find("\n     append          action!       "), std::string::npos);
  EXPECT_NE(printed_by(after, "? datatype!").find("\n     date!           => [date year month day zone time hour"),
            std::string::npos);
  // a fitted line keeps the width less one, its last three characters the ellipsis
  EXPECT_EQ(printed_by(after, "system/console/size: 40x24 zz-long: append/dup copy \"\" \"a\" 60 what/with \"zz-long\""),
            "     zz-long         string!       {...\n\n");
}

TEST(Help, AboutIsOneLineAndItsDebugFormIsTheBuildRecord) {
  const std::string output = console_output("about\nabout/debug\n", 80);
  EXPECT_TRUE(std::regex_match(printed_by(output, "about"),
                               std::regex("Qel [0-9.]+ for Linux built [^ \n]+(  commit #[0-9a-f]{7})?\n")))
      << printed_by(output, "about");
  // a build from a working copy carries its record: the debug form shows it between two rules
  const std::string debug = printed_by(output, "about/debug");
  EXPECT_TRUE(std::regex_match(debug, std::regex("-{11}QEL & PLATFORM VERSION-{11} \n"
                                                 "QEL: \\[ branch: .* commit: #[0-9a-f]{40} \\] \n"
                                                 "PLATFORM: \\[ name: \".*\" OS: 'Linux arch: '[^ ]+ version: .* \\] \n"
                                                 "-{44}\n")))
      << debug;
}

// A folder of four entries whose names sort differently with and without letter case.
void make_listing_fixture(const std::string& folder) {
  std::filesystem::create_directories(folder + "/fx/beta");
  for (const char* name : {"zeta.md", "Alpha.txt", "a-name-of-twenty-two.q"}) std::ofstream(folder + "/fx/" + name);
}

TEST(ShellWords, ListingsLayOutInColumnsOfTheConsoleWidth) {
  TemporaryDirectory work;
  make_listing_fixture(work.path());
  const std::string output = console_output("ls %fx/\nll %fx/\nsystem/console/size: 0x0\nls fx\n", 80, work.path());
  // 80 columns: three columns of 19, a long name cut to 15 characters and "..."
  EXPECT_EQ(printed_by(output, "ls %fx/"),
            "\ta-name-of-twent...  \tAlpha.txt           \tbeta/               \n"
            "\tzeta.md             \n");
  // ll: one name a row, padded to the width less 14 and followed by a blank
  std::string single;
  for (std::string name : {"a-name-of-twenty-two.q", "Alpha.txt", "beta/", "zeta.md"})
    single += "\t" + name + std::string(66 - name.size(), ' ') + " \n";
  EXPECT_EQ(printed_by(output, "ll %fx/"), single);
  // a console without a width lays out at 120 columns: four columns of 18
  EXPECT_EQ(printed_by(output, "ls fx"),
            "\ta-name-of-twen...  \tAlpha.txt          \tbeta/              \tzeta.md            \n");
}

TEST(ShellWords, PwdPrintsTheMoldedActiveDirectory) {
  TemporaryDirectory work;
  make_listing_fixture(work.path());
  const std::string output = console_output("cd %fx/\npwd\n", 80, work.path());
  EXPECT_EQ(printed_by(output, "pwd"), "%" + std::filesystem::canonical(work.path()).string() + "/fx/\n");
}

}  // namespace
}  // namespace qel
