// runner-test.cpp: the qel program as a console and as a script runner: exact transcripts,
// exit statuses, and the rules of reading, cutting and finding headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "runtime/console-input.h"
#include "tests/console/console-run.h"

namespace qel {
namespace {

using cases::ChildResult;
using cases::TemporaryDirectory;

TEST(Console, TranscriptIsExact) {
  ChildResult result = run_qel({"--cli"}, "multiply 6 7\nprint \"ok\"\n\nb: [x\ny]\n\"a b\n1 / 0\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_TRUE(result.output.starts_with("--== Qel 0.1.0 ==--\nType HELP for starting information.\n"));
  EXPECT_EQ(after_banner(result.output),
            ">> multiply 6 7\n== 42\n"
            ">> print \"ok\"\nok\n"
            ">> \n"
            ">> b: [x\n[    y]\n== [x\ny]\n"
            ">> \"a b\n*** Syntax Error: (line 1) invalid string at \"a b\n"
            ">> 1 / 0\n*** Math Error: attempt to divide by zero\n\n"
            ">> ");
  EXPECT_EQ(run_qel({}, "1 + 1\n").output.find(">> 1 + 1\n== 2\n") != std::string::npos, true);
}

TEST(Console, LinesAreUtf8OfAnyLengthWithoutCr) {
  // An invalid byte reads as U+FFFD; a CR before the line end goes; a last line needs no line end.
  ChildResult result = run_qel({"--cli"}, "length? \"a\xFF" "b\"\r\nlength? \"\xC3\xA9\"");
  EXPECT_EQ(after_banner(result.output), ">> length? \"a\xEF\xBF\xBD" "b\"\n== 3\n>> length? \"\xC3\xA9\"\n== 1\n>> ");
  std::string long_text(1 << 20, 'x');
  result = run_qel({"--cli"}, "length? \"" + long_text + "\"\n", 0);
  EXPECT_NE(result.output.find("\n== 1048576\n"), std::string::npos);
}

TEST(Console, AChildStartsInItsWorkingDirectoryOrNotAtAll) {
  TemporaryDirectory folder;
  cases::ChildRun run{{"/bin/sh", "-c", "pwd; ls -A"}, "", {}};
  run.working_directory = folder.path();
  ChildResult result = cases::run_child(run);
  EXPECT_EQ(result.output, std::filesystem::canonical(folder.path()).string() + "\n");
  run.working_directory = folder.path() + "/missing";
  result = cases::run_child(run);
  EXPECT_EQ(result.exit_status, 127);
  EXPECT_EQ(result.output, "");
  EXPECT_NE(result.errors.find("cannot enter working directory"), std::string::npos) << result.errors;
}

TEST(Console, AWrongCaseFileFailsNamingFileAndLine) {
  TemporaryDirectory folder;
  std::string path = folder.path() + "/wrong.qcase";
  std::ofstream(path) << ">> 1 + 1\n== 2\n>> 2 + 2\n== 5\n";
  ChildResult result = cases::run_child({{QEL_CASE_DRIVER, QEL_BINARY, path}, "", {}});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.output.find(path + ":4: transcript differs"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("actual:   == 4"), std::string::npos) << result.output;
}

TEST(Console, EveryResultAndErrorPrintsAndTheConsoleGoesOn) {
  // Lone surrogates are chars like any other (molded as escapes; formed, the terminal shows
  // U+FFFD for them); arguments too deep or too long to mold whole are cut. Each command is
  // followed by one that must run.
  const std::string replacement = "\xEF\xBF\xBD";
  struct Row {
    std::string command;
    std::string first_line;
  } rows[] = {
      {"to char! 55296", "== #\"^(D800)\""},
      {"#\"a\" + 55199", "== #\"^(D800)\""},
      {"append copy \"a\" to char! 57343", "== \"a^(DFFF)\""},
      {"do make error! append copy \"x\" to char! 56320", "*** User Error: x" + replacement},
      {"to integer! transcode append/dup append/dup copy \"\" \"[\" 2000 \"]\" 2000",
       "*** Script Error: cannot MAKE/TO integer! from: [[[[[[[[[[[[[[[[[[[[[...]]]]]]]]]]]]]]]]]]]]]"},
      {"do transcode append/dup append append/dup copy \"\" \"a/(\" 1000 \"a\" \")\" 1000",
       "*** Script Error: a is unset in path a/(a/(a/(a/(a/(a/(a/(a/(a/(a/(...))))))))))"},
      {"copy/part form try [to integer! transcode append/dup append/dup copy \"\" \"[\" 2000 \"]\" 2000] 16", "== \"*** Script Error\""},
      {"to integer! append/dup copy \"\" \"x\" 300",
       "*** Script Error: cannot MAKE/TO integer! from: {" + std::string(199, 'x') + "..."},
  };
  for (const Row& row : rows) {
    ChildResult result = run_qel({"--cli"}, row.command + "\n1 + 1\n");
    EXPECT_EQ(result.exit_status, 0) << row.command;
    std::string echo = ">> " + row.command + "\n";
    std::string output = after_banner(result.output);
    ASSERT_TRUE(output.starts_with(echo)) << output;
    EXPECT_EQ(output.substr(echo.size(), output.find('\n', echo.size()) - echo.size()), row.first_line);
    EXPECT_NE(output.find(">> 1 + 1\n== 2\n"), std::string::npos) << output;
  }
}

TEST(Scripts, RunAfterTheHeader) {
  struct Row {
    const char* text;
    int status;
    const char* output;
  } rows[] = {
      {"junk before Qel [title: \"t\"] x: 6 * 7 x / 0", 1, "*** Math Error: attempt to divide by zero\n\n"},
      {"Qel [] print \"from t\" divide 7 0", 1, "from t\n*** Math Error: attempt to divide by zero\n\n"},
      {"print \"bare\"", 1, "*** Error: Qel header not found!\n"},
      {"Qel [] 1 + 1", 0, ""},
      {"1 + 1", 1, "*** Error: Qel header not found!\n"},
      {"Qel [] (1 2", 1, "*** Syntax Error: (line 1) missing ) at (1 2\n"},
      {"Qel/System [] 1", 1, "*** Error: contains Qel/System code which requires compilation!\n"},
      {"Qel  \n[", 1, "*** Syntax Error: (line 2) missing ] at [\n"},
      // quit-return ends at once with its status (8 bits of it, never 0 for a non-zero one).
      {"Qel [] quit-return 7 print \"not reached\"", 7, ""},
      {"Qel [] quit-return 512", 255, ""},
      // quit flushes what was printed and ends with its status, cut to 8 bits the same way.
      {"Qel [] prin \"a\" quit/return 3 print \"not reached\"", 3, "a"},
      {"Qel [] quit/return 300", 44, ""},
      {"Qel [] quit/return 256", 255, ""},
      {"Qel [] print 1 quit print 2", 0, "1\n"},
      // write-stdout: text as UTF-8, bytes raw, any other value molded, after what print left.
      {"Qel [] prin \"a\" write-stdout \"b\u20AC^/\" write-stdout #{4344} write-stdout [1 \"x\"]", 0,
       "ab\u20AC\nCD[1 \"x\"]"},
  };
  for (const Row& row : rows) {
    Script script(row.text);
    ChildResult result = run_qel({script.path}, "");
    EXPECT_EQ(result.exit_status, row.status) << row.text;
    EXPECT_EQ(without_error_details(result.output), row.output) << row.text;
  }
}

// An error in a reaction is printed with the reaction's code, and the script goes on; the
// reaction runs again on the next change.
TEST(Scripts, AFailingReactionIsReportedEachTime) {
  Script script("Qel [] r: reactor [a: 1] react [if r/a > 1 [1 / 0]] r/a: 2 r/a: 3 print \"on\"");
  ChildResult result = run_qel({script.path}, "");
  EXPECT_EQ(result.exit_status, 0);
  const std::string report = "*** Math Error: attempt to divide by zero\n*** Near: [if r/a > 1 [1 / 0]]\n";
  EXPECT_EQ(without_error_details(result.output), report + report + "on\n");
}

// A directive the preprocessor refuses prints its lines (the Where lines are left out here) and raises: a script that does not catch
// it stops there as on any error; one that does goes on.
TEST(Scripts, APreprocessorFailureIsAnErrorOfTheScript) {
  Script failing("Qel [] expand-directives [#if true] print \"not reached\"");
  ChildResult result = run_qel({failing.path}, "");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(without_error_details(result.output),
            "*** Preprocessor Error: Syntax error\n*** User Error: Preprocessor Error: Syntax error\n\n");
  // the directive is made at run time, where the script's own preprocessing never sees it
  Script caught("Qel [] try [expand-directives load \"#macro m: func [1] [0]\"] print \"on\"");
  result = run_qel({caught.path}, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(without_error_details(result.output), "*** Macro Error: invalid specification\non\n");
}

// A script that a script runs with do ends the process as the outer script's own code would:
// a directive refused raises past every run, quit ends it all with its status.
TEST(Scripts, AScriptRunByDoEndsItsRunnerAsItsOwnCode) {
  struct Row {
    const char* inner;
    int status;
    const char* output;
  } rows[] = {
      {"Qel [] #if true", 1, "*** Preprocessor Error: Syntax error\n*** User Error: Preprocessor Error: Syntax error\n\n"},
      {"Qel [] print \"inner\" quit/return 3", 3, "inner\n"},
  };
  for (const Row& row : rows) {
    Script inner(row.inner);
    Script outer("Qel [] do %" + inner.path + " print \"not reached\"");
    ChildResult result = run_qel({outer.path}, "");
    EXPECT_EQ(result.exit_status, row.status) << row.inner;
    EXPECT_EQ(without_error_details(result.output), row.output) << row.inner;
  }
}

TEST(Scripts, AFileThatCannotBeReadFails) {
  TemporaryDirectory folder;
  for (const std::string& path : {std::string("nope.qel"), folder.path() + "/"}) {
    ChildResult result = run_qel({path}, "");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(result.output.starts_with("*** Access Error: cannot open: %" + path + "\n")) << result.output;
  }
}

// clock prints the time per run (in microseconds below a millisecond), a tab and the code; the
// figure keeps three digits and the whole integer part, and at least one run is made.
TEST(Scripts, ClockPrintsTheFigureTheUnitAndTheCode) {
  struct Row {
    const char* text;
    const char* line;
  } rows[] = {
      {"Qel [] r: clock/times [wait 0.002] 2 print mold r", "^[0-9]+(\\.[0-9]+)? ms\t\\[wait 0\\.002\\]\nnone\n$"},
      // how long an empty run takes depends on the machine and the collector's mode
      {"Qel [] clock/times [] 100", "^[0-9]+(\\.[0-9]+)? (ms|\u03BCs)\t\\[\\]\n$"},
      {"Qel [] n: 0 clock/times [n: n + 1] -5 print n", "^[0-9.]+ (ms|\u03BCs)\t\\[n: n \\+ 1\\]\n1\n$"},
      {"Qel [] print clock [1 + 2]", "^[0-9.]+ (ms|\u03BCs)\t\\[1 \\+ 2\\]\n3\n$"},
  };
  for (const Row& row : rows) {
    Script script(row.text);
    ChildResult result = run_qel({script.path}, "");
    EXPECT_EQ(result.exit_status, 0) << row.text;
    EXPECT_TRUE(std::regex_search(result.output, std::regex(row.line))) << row.text << "\n" << result.output;
  }
}

// stats/show prints its report through the library's own function, whatever the script did to
// the global word; the figures vary, the layout does not.
TEST(Scripts, StatsShowPrintsTheMemoryReport) {
  Script script("Qel [] show-memory-stats: none stats/show");
  ChildResult result = run_qel({script.path}, "");
  EXPECT_EQ(result.exit_status, 0);
  const std::regex report(
      "^\n\\[Nodes \\] -- Free ----- Used ----- Total --\n(  [0-9]+: +[0-9]+ +[0-9]+ +[0-9]+\n)+  --\n"
      "  Used     : [0-9]+ nodes\n  Allocated: [0-9]+ nodes\n"
      "\n\\[Series\\] -- Free ----- Used ----- Total --\n(  [0-9]+: +[0-9]+ +[0-9]+ +[0-9]+\n)+  --\n"
      "  Used     : [0-9]+ bytes\n  Allocated: [0-9]+ bytes\n"
      "\n\\[ Big    \\]\n(  [0-9]+: +[0-9]+\n)*  --\n  Allocated: [0-9]+ bytes\n--\n"
      "Total allocated from OS \\(virtual\\): *[0-9]+\n"
      "Total allocated on heap \\(malloc\\): *[0-9]+\n$");
  EXPECT_TRUE(std::regex_search(result.output, report)) << result.output;
}

// A script's name is OS bytes: one that is no UTF-8 runs, and when missing is named exactly,
// its stray byte as the escape a file! keeps it in.
TEST(Scripts, ANameThatIsNoUtf8RunsAndIsNamedExactly) {
  TemporaryDirectory folder;
  std::string path = folder.path() + "/s\xFF.qel";
  std::ofstream(path) << "Qel [] print 1\n";
  ChildResult result = run_qel({path}, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, "1\n");
  result = run_qel({folder.path() + "/m\xFF.qel"}, "");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_TRUE(result.output.starts_with("*** Access Error: cannot open: %\"" + folder.path() + "/m^(DCFF).qel\"\n"))
      << result.output;
}

TEST(ReadLine, IllFormedBytesBecomeReplacements) {
  auto sanitized = [](std::string_view bytes) {
    return utf8_sanitized({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  };
  EXPECT_EQ(sanitized("a\xC3\xA9z"), "a\xC3\xA9z");
  EXPECT_EQ(sanitized("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(sanitized("\xC3" "A"), "\xEF\xBF\xBD" "A");  // the breaking byte starts anew
  EXPECT_EQ(sanitized("x\xE2\x82"), "x\xEF\xBF\xBD");   // cut short at the end
}

}  // namespace
}  // namespace qel
