// settings-test.cpp: the console's settings file: the history a terminal run keeps across runs,
// where the file goes, and what an unwritable or unreadable one does.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using cases::EnvironmentChanges;
using cases::LiveChild;
using cases::TemporaryDirectory;

struct Exchange {
  const char* question;
  const char* line;
};

struct TerminalRun {
  std::string output;  // line ends as LF
  int status;
};

// Runs the console on a terminal, typing each line once its question is out; the last line
// should end the run.
TerminalRun run_on_terminal(std::initializer_list<Exchange> exchanges, const EnvironmentChanges& environment) {
  LiveChild qel({{QEL_BINARY, "--cli"}, environment, true});
  for (const Exchange& exchange : exchanges) EXPECT_TRUE(qel.answer(exchange.question, exchange.line)) << qel.output();
  TerminalRun run{"", qel.finish()};
  for (char c : qel.output())
    if (c != '\r') run.output += c;
  return run;
}

std::string file_text(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string cfg_path(const std::string& cache) { return cache + "/qel/Qel-Console/console-cfg.qel"; }

mode_t mode_of(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(Settings, ATerminalRunKeepsItsHistoryForTheNextAndNoHiddenAnswer) {
  TemporaryDirectory home;
  const EnvironmentChanges environment = cases::console_test_environment(80, home);
  const std::string cache = home.path() + "/.cache";
  EXPECT_EQ(run_on_terminal({{">> ", "1 + 1"}, {">> ", "q"}}, environment).status, 0);
  EXPECT_EQ(mode_of(cache + "/qel/Qel-Console"), 0700u);
  EXPECT_EQ(mode_of(cfg_path(cache)), 0600u);
  EXPECT_TRUE(file_text(cfg_path(cache)).starts_with("Qel [\n\tPurpose: \"Qel Console Configuration File\"\n]\n"));

  const TerminalRun next = run_on_terminal(
      {{">> ", "pick system/console/history 3"}, {">> ", "pw: ask/hide \"Key: \""}, {"\nKey: ", "s3cret"}, {">> ", "q"}},
      environment);
  EXPECT_NE(next.output.find(">> pick system/console/history 3\n== \"1 + 1\"\n"), std::string::npos) << next.output;
  EXPECT_NE(next.output.find("Key: ******\n== \"s3cret\"\n"), std::string::npos) << next.output;  // stars alone show
  EXPECT_EQ(next.output.find("s3cret\n=="), std::string::npos) << next.output;
  const std::string saved = file_text(cfg_path(cache));
  EXPECT_NE(saved.find("history: [\"q\" {pw: ask/hide \"Key: \"} \"pick system/console/history 3\" \"q\" \"1 + 1\"]"),
            std::string::npos)
      << saved;
  EXPECT_EQ(saved.find("s3cret"), std::string::npos);
}

// The file keeps the newest 100 lines, and the keys it does not know as they were.
TEST(Settings, TheNewestHundredLinesAreSavedBesideTheOtherKeys) {
  TemporaryDirectory home;
  const std::string cache = home.path() + "/.cache";
  std::filesystem::create_directories(cache + "/qel/Qel-Console");
  std::ofstream seed(cfg_path(cache));
  seed << "Qel [] win-size: 640x480 history: [";
  for (int k = 150; k >= 1; --k) seed << " \"line " << k << "\"";
  seed << "]\n";
  seed.close();
  const TerminalRun run = run_on_terminal({{">> ", "length? system/console/history"}, {">> ", "q"}},
                                          cases::console_test_environment(80, home));
  EXPECT_NE(run.output.find("== 151\n"), std::string::npos) << run.output;
  const std::string saved = file_text(cfg_path(cache));
  EXPECT_NE(saved.find("\n\nwin-size: 640x480 history: [\"q\" \"length? system/console/history\" \"line 150\""),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find("\"line 53\"]\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\"line 52\""), std::string::npos) << saved;
}

TEST(Settings, PipedRunsNeverTouchTheFile) {
  TemporaryDirectory home;
  cases::ChildResult result =
      cases::run_child({{QEL_BINARY, "--cli"}, "1 + 1\nq\n", cases::console_test_environment(80, home)});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_FALSE(std::filesystem::exists(home.path() + "/.cache"));
}

// Where the file goes and what a run does when it cannot be written or loaded: a file it cannot
// load (or that has no header) keeps its keys and history, and the user hears of it once; an
// empty one has nothing to keep and is written like a missing one.
TEST(Settings, TheCacheFolderDecidesAndFailuresNeverStopTheRun) {
  TemporaryDirectory home;
  std::ofstream(home.path() + "/plain-file") << "x";
  const std::string h = home.path();
  const std::string unloadable = "Qel [] history: [1 \"ok\" #{";
  const std::string headerless = "win-size: 640x480 history: [\"kept\"]\n";
  const std::pair<std::string, std::string> seeds[] = {
      {h + "/bad", unloadable}, {h + "/headerless", headerless}, {h + "/empty", ""}, {h + "/blank", " \n\t\r\n"}};
  for (const auto& [cache, text] : seeds) {
    std::filesystem::create_directories(cache + "/qel/Qel-Console");
    std::ofstream(cfg_path(cache)) << text;
  }
  struct Row {
    std::optional<std::string> home, xdg_cache_home;
    std::string saved_at;       // empty: nothing saved
    const char* warning;        // the one warning line's start, if any
    const char* history_first;  // the history the run starts with, molded
  };
  const char* const cannot_save = "*** Warning: the console settings could not be saved in ";
  const char* const cannot_load = "*** Warning: the console settings in ";
  const Row rows[] = {
      {h, "relative/cache", h + "/.cache/qel/Qel-Console/console-cfg.qel", nullptr, "[\"system/console/history\"]"},
      {std::nullopt, std::nullopt, "", nullptr, "[\"system/console/history\"]"},
      {h, h + "/plain-file", "", cannot_save, "[\"system/console/history\"]"},
      {h, h + "/bad", "", cannot_load, "[\"system/console/history\"]"},
      {h, h + "/headerless", "", cannot_load, "[\"system/console/history\"]"},
      {h, h + "/empty", cfg_path(h + "/empty"), nullptr, "[\"system/console/history\"]"},
      {h, h + "/blank", cfg_path(h + "/blank"), nullptr, "[\"system/console/history\"]"},
  };
  for (const Row& row : rows) {
    EnvironmentChanges environment = cases::console_test_environment(80, home);
    for (auto& [name, value] : environment) {
      if (name == "HOME") value = row.home;
      if (name == "XDG_CACHE_HOME") value = row.xdg_cache_home;
    }
    const TerminalRun run = run_on_terminal({{">> ", "system/console/history"}, {">> ", "quit/return 4"}}, environment);
    const std::string context = row.xdg_cache_home.value_or("(none)") + "\n" + run.output;
    EXPECT_EQ(run.status, 4) << context;
    EXPECT_NE(run.output.find("== " + std::string(row.history_first) + "\n"), std::string::npos) << context;
    const size_t warned = run.output.find("*** Warning: ");
    EXPECT_EQ(warned != std::string::npos, row.warning != nullptr) << context;
    if (row.warning) {
      EXPECT_EQ(run.output.find(row.warning), warned) << context;
      EXPECT_EQ(run.output.find("*** Warning: ", warned + 1), std::string::npos) << context;  // once
    }
    if (!row.saved_at.empty()) {
      EXPECT_NE(file_text(row.saved_at).find("history: [\"quit/return 4\""), std::string::npos) << context;
    }
  }
  EXPECT_EQ(file_text(cfg_path(h + "/bad")), unloadable);
  EXPECT_EQ(file_text(cfg_path(h + "/headerless")), headerless);
  EXPECT_FALSE(std::filesystem::exists(h + "/.cache/qel/Qel-Console/console-cfg.qel.tmp"));
}

// A settings file that is a link (to a link) is written where the links lead, and they stay;
// the file written keeps its permissions.
TEST(Settings, ALinkedFileIsWrittenThroughItsLinks) {
  TemporaryDirectory home;
  const std::string cache = home.path() + "/.cache";
  std::filesystem::create_directories(cache + "/qel/Qel-Console");
  std::filesystem::create_directories(home.path() + "/dotfiles");
  std::ofstream(home.path() + "/dotfiles/console.qel") << "Qel [] win-size: 640x480\n";
  ASSERT_EQ(::chmod((home.path() + "/dotfiles/console.qel").c_str(), 0640), 0);
  std::filesystem::create_symlink(home.path() + "/dotfiles/console.qel", home.path() + "/console-link");
  std::filesystem::create_symlink("../../../console-link", cfg_path(cache));
  EXPECT_EQ(run_on_terminal({{">> ", "1 + 1"}, {">> ", "q"}}, cases::console_test_environment(80, home)).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(cfg_path(cache)));
  EXPECT_TRUE(std::filesystem::is_symlink(home.path() + "/console-link"));
  const std::string saved = file_text(home.path() + "/dotfiles/console.qel");
  EXPECT_NE(saved.find("win-size: 640x480 history: [\"q\" \"1 + 1\"]"), std::string::npos) << saved;
  EXPECT_EQ(mode_of(home.path() + "/dotfiles/console.qel"), 0640u);
}

}  // namespace
}  // namespace qel
