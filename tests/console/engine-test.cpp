// engine-test.cpp: the console engine as a user meets it through the qel program: answers to
// `ask`, prompts and result prefixes, the end of input, scripts named on the command line and
// the exit statuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/console/console-run.h"

namespace qel {
namespace {

using cases::ChildResult;
using cases::ChildRun;
using cases::TemporaryDirectory;

// Runs qel in a folder with the arguments and input, at 80 columns.
ChildResult run_qel_in(const std::string& folder, std::vector<std::string> arguments, std::string input = "") {
  TemporaryDirectory home;
  arguments.insert(arguments.begin(), QEL_BINARY);
  ChildRun run{arguments, std::move(input), cases::console_test_environment(80, home)};
  run.working_directory = folder;
  return cases::run_child(run);
}

TEST(Console, EndOfInputInsideACommandExitsAtOnce) {
  ChildResult result = run_qel({"--cli"}, "[1 2\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(after_banner(result.output), ">> [1 2\n[    ");
  EXPECT_EQ(run_qel({"--cli"}, "").exit_status, 0);
  // Neither a redefined quit nor a command left open keeps a process without input alive.
  result = run_qel({}, "quit: func [] [print \"stay\"] 0\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(after_banner(result.output), ">> quit: func [] [print \"stay\"] 0\n== 0\n>> stay\n");
  result = run_qel({}, "x: ask \"?\"\n");
  EXPECT_EQ(result.exit_status, 0);
  // the question's own command gets the one "quit"
  EXPECT_EQ(after_banner(result.output), ">> x: ask \"?\"\n?== \"quit\"\n");
}

// Answers are echoed as a window would show them: hidden ones as stars, a cancelling ESC left
// out. Only answers worth recalling join the history, newest first.
TEST(Ask, AnswersEchoAndJoinTheHistory) {
  ChildResult result = run_qel({},
                               "prin \"a\" ask \"b> \"\nc\n"
                               "pw: ask/hide \"Key: \"\ns3cret\n"
                               "input\n\xC3\xA9t\xC3\xA9\n"
                               "ask \"x\"\n\n"
                               "ask \"y\"\nno\x1B\n"
                               "h: copy [] ask/history \"z\" h\nZ\n"
                               "ask/history \"z\" h\nZ\n"
                               "ask/history \"z\" h\nz\nh\n"
                               "copy/part system/console/history 8\n",
                               0);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(after_banner(result.output),
            ">> prin \"a\" ask \"b> \"\nab> c\n== \"c\"\n"
            ">> pw: ask/hide \"Key: \"\nKey: ******\n== \"s3cret\"\n"
            ">> input\n\xC3\xA9t\xC3\xA9\n== \"\xC3\xA9t\xC3\xA9\"\n"
            ">> ask \"x\"\nx\n== \"\"\n"
            ">> ask \"y\"\nyno\n== \"no^[\"\n"
            ">> h: copy [] ask/history \"z\" h\nzZ\n== \"Z\"\n"
            ">> ask/history \"z\" h\nzZ\n== \"Z\"\n"
            ">> ask/history \"z\" h\nzz\n== \"z\"\n"
            ">> h\n== [\"z\" \"Z\"]\n"
            ">> copy/part system/console/history 8\n"
            "== [\"copy/part system/console/history 8\" \"h\" {ask/history \"z\" h} {h: copy [] ask/history \"z\" h} "
            "{ask \"y\"} {ask \"x\"} \"\xC3\xA9t\xC3\xA9\" \"input\"]\n"
            ">> ");
}

// The prompt and the result prefix are evaluated for each command; one that fails is reported
// once, naming its field, and the default serves. A cut result leaves room for the text the
// prompt last gave, and the prompt runs once a command.
TEST(Prompt, EvaluatedOnceACommand) {
  ChildResult result = run_qel({},
                               "n: 0 system/console/prompt: does [n: n + 1 append form n \"> \"] 0\n"
                               "append/dup copy \"\" \"ab\" 20\n"
                               "system/console/prompt: does [to integer! \"z\"] 0\n"
                               "system/console/prompt: 'here 0\n"
                               "system/console/prompt: \">> \" 0\n"
                               "system/console/result: does [to integer! \"r\"] 5\n"
                               "system/console/result: 42 6\n"
                               "system/console/result: does [\"=>\"] 7\n",
                               40);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(after_banner(result.output),
            ">> n: 0 system/console/prompt: does [n: n + 1 append form n \"> \"] 0\n== 0\n"
            "1> append/dup copy \"\" \"ab\" 20\n== \"abababababababababababababababab...\n"
            "2> system/console/prompt: does [to integer! \"z\"] 0\n== 0\n"
            "*** Script Error: cannot MAKE/TO integer! from: \"z\"\n"
            ">> system/console/prompt: 'here 0\n== 0\n"
            "heresystem/console/prompt: \">> \" 0\n== 0\n"
            ">> system/console/result: does [to integer! \"r\"] 5\n"
            "*** Script Error: cannot MAKE/TO integer! from: \"r\"\n== 5\n"
            ">> system/console/result: 42 6\nnone 6\n"
            ">> system/console/result: does [\"=>\"] 7\n=> 7\n>> ");
  EXPECT_NE(result.output.find("*** Where: system/console/prompt\n"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("*** Where: system/console/result\n"), std::string::npos) << result.output;
}

// What a script's text holds decides how it runs and the status the process ends with.
TEST(Scripts, HeaderAndStatus) {
  struct Row {
    const char* text;
    int status;
    const char* output;
  } rows[] = {
      {"qel [] print 1", 1, "*** Error: Qel header not found!\n"},
      {"", 1, "*** Error: Qel header not found!\n"},
      {"qel [] Qel", 1, "*** Error: Qel header not found!\n"},
      {"Qelx [] Qel [] print 1", 0, "1\n"},
      {"\xEF\xBB\xBFQel [] print 1", 0, "1\n"},
      {"; Qel x\nQel/System\t\n [] 1", 1, "*** Error: contains Qel/System code which requires compilation!\n"},
      {"#!/usr/bin/env qel\nQel [] print 5", 0, "5\n"},
      {"#!/bin/x Qel [] print 6\nQel [] print 5", 0, "5\n"},
      {"Qel [] print \"b\" to integer! \"w\" print 3", 1, "b\n*** Script Error: cannot MAKE/TO integer! from: \"w\"\n\n"},
      {"Qel [] halt print 2", 0, "(halted)\n"},
      {"Qel [] x: [1 2", 1, "*** Syntax Error: (line 1) missing ] at [1 2\n"},
      {"Qel [] #either true [print \"y\"] [print \"n\"]", 0, "y\n"},
  };
  for (const Row& row : rows) {
    Script script(row.text);
    ChildResult result = run_qel({script.path}, "");
    EXPECT_EQ(result.exit_status, row.status) << row.text;
    EXPECT_EQ(without_error_details(result.output), row.output) << row.text;
  }
}

// Options stand before the script's name; the script gets the rest as its arguments, runs in
// its own folder and knows its absolute path. --catch keeps the console after it, banner-less.
TEST(Scripts, ArgumentsFolderAndCatch) {
  TemporaryDirectory folder;
  const std::string root = std::filesystem::canonical(folder.path()).string();
  std::filesystem::create_directory(root + "/sub");
  std::ofstream(root + "/my t.qel") << "Qel [] probe system/script/args probe system/options/args";
  std::ofstream(root + "/sub/w.qel") << "Qel [] print what-dir print system/options/script";
  std::ofstream(root + "/--x.qel") << "Qel [] print \"dashed\"";
  std::ofstream(root + "/f.qel") << "Qel [] 1 / 0";
  ChildResult result = run_qel_in(root, {"--catch", "my t.qel", "a"}, "1 + 1\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, "\"a\"\n[\"a\"]\n>> 1 + 1\n== 2\n>> ");
  result = run_qel_in(root, {"sub/w.qel"});
  EXPECT_EQ(result.output, root + "/sub/\n" + root + "/sub/w.qel\n");
  result = run_qel_in(root, {"--", "--x.qel"});
  EXPECT_EQ(result.output, "dashed\n");
  // a failed script with --catch still ends at the prompt, where its folder is current
  result = run_qel_in(root, {"--catch", "sub/../f.qel"}, "what-dir\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_NE(result.output.find(">> what-dir\n== %" + root + "/\n"), std::string::npos) << result.output;
}

// A script that cannot be read fails with status 1 and no prompt; the folder it names is not
// entered, so --catch opens the prompt where the process started.
TEST(Scripts, AnUnreadableScriptFails) {
  TemporaryDirectory folder;
  const std::string root = std::filesystem::canonical(folder.path()).string();
  for (const char* name : {"nope.qel", "zz-no/s.qel"}) {
    ChildResult result = run_qel_in(root, {name}, "1 + 1\n");
    EXPECT_EQ(result.exit_status, 1) << name;
    EXPECT_EQ(without_error_details(result.output), std::string("*** Access Error: cannot open: %") + name + "\n");
  }
  ChildResult result = run_qel_in(root, {"--catch", "zz-no/s.qel"}, "what-dir\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_NE(result.output.find(">> what-dir\n== %" + root + "/\n"), std::string::npos) << result.output;
}

// A script whose first line is "#!/usr/bin/env qel" runs as an executable.
TEST(Scripts, RunAsAnExecutable) {
  TemporaryDirectory folder;
  const std::string root = std::filesystem::canonical(folder.path()).string();
  std::filesystem::create_symlink(QEL_BINARY, root + "/qel");
  const std::string script = root + "/x.qel";
  std::ofstream(script) << "#!/usr/bin/env qel\nQel [] print 5\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  TemporaryDirectory home;
  ChildRun run{{script}, "", cases::console_test_environment(80, home)};
  const char* path = std::getenv("PATH");
  run.environment.emplace_back("PATH", root + ":" + (path ? path : "/usr/bin:/bin"));
  ChildResult result = cases::run_child(run);
  EXPECT_EQ(result.exit_status, 0) << result.errors;
  EXPECT_EQ(result.output, "5\n");
}

}  // namespace
}  // namespace qel
