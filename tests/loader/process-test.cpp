// process-test.cpp: starting programs for real: statuses, streams in memory and in files, what a
// child inherits, children left to run and their reaping, the capture cap and the opener.
#include <gtest/gtest.h>
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "datatypes/series/binary.h"
#include "loader/process/call-command.h"
#include "loader/process/child-reaper.h"
#include "loader/process/command-words.h"
#include "loader/process/opener.h"
#include "loader/process/run-process.h"
#include "runtime/collector.h"
#include "runtime/gc-root.h"
#include "tests/series/string-fixture.h"
#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

using Words = std::vector<std::string>;

// Plain words are read with the interpreter's quoting; whatever the interpreter would act on
// sends the whole command to it (an empty list of words).
TEST(CommandWords, PlainWordsOrTheInterpreter) {
  struct Row {
    const char* command;
    Words words;
  };
  const Row rows[] = {
      {"ls -l  /tmp", {"ls", "-l", "/tmp"}},
      {"\tprintf '%s' 'a b' \"c d\" e\\ f \"\" ''", {"printf", "%s", "a b", "c d", "e f", "", ""}},
      {R"(echo "a\"b\\c\d" 'x\y' \$)", {"echo", "a\"b\\c\\d", "x\\y", "$"}},
      {"a'b'\"c\"d", {"abcd"}},
      {"echo '$HOME' '|'", {"echo", "$HOME", "|"}},
      {"   ", {}},
  };
  for (const Row& row : rows) EXPECT_EQ(command_words(row.command).words, row.words) << row.command;
  for (const char* shell : {"a | b", "a && b", "a; b", "a > f", "a < f", "(a)", "echo $HOME", "echo `x`", "ls *.c",
                            "ls ?", "ls [ab]", "cd ~", "a # note", "a\nb", "echo \"$x\"", "echo \"`x`\"", "echo 'open",
                            "echo \"open", "echo \\"})
    EXPECT_TRUE(command_words(shell).needs_shell()) << shell;
}

class ProcessTest : public StringTest {
 protected:
  // As in the program: a write to a pipe whose reader is gone is an error, not the end.
  void SetUp() override {
    StringTest::SetUp();
    ::signal(SIGPIPE, SIG_IGN);
  }
  void TearDown() override {
    ::signal(SIGPIPE, SIG_DFL);
    process_capture_cap = kSeriesByteCeiling;
    StringTest::TearDown();
  }
  static ProcessRequest waited(std::string command) {
    ProcessRequest request;
    request.command = std::move(command);
    request.wait = true;
    return request;
  }
  static std::string output_of(std::string command) {
    ProcessRequest request = waited(std::move(command));
    request.output.kind = StreamKind::memory;
    EXPECT_EQ(os_run_process(request), 0);
    std::span<const uint8_t> bytes = request.output.captured.bytes.bytes();
    return {bytes.begin(), bytes.end()};
  }
  cases::TemporaryDirectory folder_;
};

TEST_F(ProcessTest, ExitStatusesAndSignals) {
  struct Row {
    const char* command;
    int32_t status;
  };
  const Row rows[] = {{"true", 0}, {"false", 1}, {"exit 7", 7}, {"no-such-program-b05", 127},
                      {"kill -TERM $$", 128 + SIGTERM}, {"sh -c 'kill -KILL $$'", 128 + SIGKILL}};
  for (const Row& row : rows) {
    ProcessRequest request = waited(row.command);
    EXPECT_EQ(os_run_process(request), row.status) << row.command;
  }
}

// A child gets the null device for every stream not redirected, none of this process's other
// descriptors, every signal at its default and none blocked (this process ignores SIGPIPE).
TEST_F(ProcessTest, WhatAChildInherits) {
  EXPECT_EQ(output_of("readlink /proc/self/fd/0 /proc/self/fd/2"), "/dev/null\n/dev/null\n");
  EXPECT_EQ(output_of("ls /proc/self/fd"), "0\n1\n2\n3\n");  // 3: ls's own listing
  std::string status = output_of("cat /proc/self/status");
  // The C library's own two signals above 31 are its business.
  auto mask = [&](const char* name) { return std::stoull(status.substr(status.find(name) + 8, 16), nullptr, 16); };
  EXPECT_EQ(mask("SigIgn:\t") & 0x7FFFFFFFu, 0u) << status;
  EXPECT_EQ(mask("SigBlk:\t") & 0x7FFFFFFFu, 0u) << status;
  // Piped children are as bare: the pipes are their only other streams.
  ProcessRequest request = waited("ls /proc/self/fd");
  request.input = {StreamKind::memory, {}, "x", {}};
  request.output.kind = StreamKind::memory;
  request.error.kind = StreamKind::memory;
  ASSERT_EQ(os_run_process(request), 0);
  std::span<const uint8_t> bytes = request.output.captured.bytes.bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0\n1\n2\n3\n");
}

// Input, output and error all move at once: megabytes each way, none of them waiting on a full
// pipe; a child that stops reading its input ends it without harm.
TEST_F(ProcessTest, LargeStreamsWithoutDeadlock) {
  std::string input(3'000'000, 'q');
  ProcessRequest request = waited("tee /dev/stderr");
  request.input = {StreamKind::memory, {}, input, {}};
  request.output.kind = StreamKind::memory;
  request.error.kind = StreamKind::memory;
  ASSERT_EQ(os_run_process(request), 0);
  EXPECT_EQ(request.output.captured.bytes.size, input.size());
  EXPECT_EQ(request.error.captured.bytes.size, input.size());
  ProcessRequest closes_early = waited("head -c 1");
  closes_early.input = {StreamKind::memory, {}, input, {}};
  EXPECT_EQ(os_run_process(closes_early), 0);
}

// Files: input read, output and error appended (made when missing); one that cannot be opened
// starts nothing.
TEST_F(ProcessTest, FileStreams) {
  std::string out = folder_.path() + "/out";
  std::ofstream(out) << "old\n";
  ProcessRequest request = waited("sh -c 'cat; echo e >&2'");
  request.input = {StreamKind::file, out, {}, {}};
  request.output = {StreamKind::file, out + "2", {}, {}};
  request.error = {StreamKind::file, out + "2", {}, {}};
  ASSERT_EQ(os_run_process(request), 0);
  std::ifstream made(out + "2");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(made), {}), "old\ne\n");
  std::string marker = folder_.path() + "/started";
  for (int stream = 0; stream < 3; ++stream) {
    ProcessRequest refused = waited("touch " + marker);
    StreamRedirect* redirects[] = {&refused.input, &refused.output, &refused.error};
    *redirects[stream] = {StreamKind::file, folder_.path() + "/no-dir/f", {}, {}};
    EXPECT_EQ(os_run_process(refused), -1) << stream;
  }
  EXPECT_NE(::access(marker.c_str(), F_OK), 0);
}

// More than the cap is read to the end (the child finishes) and marked; through call-command it
// is internal limit-hit naming the target, which keeps nothing of it.
TEST_F(ProcessTest, CapturesPastTheCap) {
  process_capture_cap = 1000;
  ProcessRequest request = waited("head -c 200000 /dev/zero");
  request.output.kind = StreamKind::memory;
  EXPECT_EQ(os_run_process(request), 0);
  EXPECT_TRUE(request.output.captured.overflowed);
  EXPECT_EQ(request.output.captured.bytes.size, 1000u);
  Cell target;
  binary_make_at(target, 0);
  GcRoot<Cell> rooted(target);
  StandInError error = raised_error([&] {
    call_command({"head -c 2000 /dev/zero", true, false, false, false, nullptr, &*rooted, nullptr});
  });
  EXPECT_EQ(error.id, error_id("internal", "limit-hit"));
  EXPECT_EQ(cell_type(error.args[0]), Type::binary);
  EXPECT_EQ(binary_length(*rooted), 0);  // read straight into it, and taken back out
}

size_t open_descriptors() {
  size_t count = 0;
  DIR* listing = ::opendir("/proc/self/fd");
  while (::readdir(listing)) ++count;
  ::closedir(listing);
  return count;
}

// Whether any child of this process has ended and is not reaped (it stays unreaped).
bool zombie_children() {
  siginfo_t info{};
  return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

// Reaps until no child is left unreaped, for at most a few seconds.
void reap_all() {
  for (int k = 0; k < 500 && unwaited_children(); ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    reap_exited_children();
  }
}

// Without /wait the child's id comes back while it still runs; thousands of such children leave
// no descriptor and, once reaped, no zombie behind.
TEST_F(ProcessTest, ChildrenLeftToRunAreReaped) {
  reap_all();
  ProcessRequest sleeper;
  sleeper.command = "sleep 0.2";
  int32_t pid = os_run_process(sleeper);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(::kill(pid, 0), 0);
  siginfo_t info{};
  EXPECT_EQ(::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT), 0);
  EXPECT_EQ(info.si_pid, 0);  // still running
  size_t descriptors = open_descriptors();
  for (int k = 0; k < 2000; ++k) {
    ProcessRequest request;
    request.command = "true";
    ASSERT_GT(os_run_process(request), 0);
  }
  EXPECT_EQ(open_descriptors(), descriptors);
  reap_all();
  EXPECT_EQ(unwaited_children(), 0u);
  EXPECT_FALSE(zombie_children());
}

// Once SIGCHLD has come, the next safe point reaps.
TEST_F(ProcessTest, TheChildSignalReapsAtASafePoint) {
  install_child_signal();
  reap_all();
  ProcessRequest request;
  request.command = "true";
  int32_t pid = os_run_process(request);
  ASSERT_GT(pid, 0);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);  // ended, not reaped
  for (int k = 0; k < 500 && unwaited_children(); ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    gc_safepoint();
  }
  EXPECT_EQ(unwaited_children(), 0u);
  EXPECT_FALSE(zombie_children());
  ::signal(SIGCHLD, SIG_DFL);
  safepoint_set_signal_hook(nullptr);
}

// The opener gets the text as its one argument, nothing expanded; without one on PATH it
// answers false.
TEST_F(ProcessTest, TheOpenerGetsOneArgument) {
  std::string opener = folder_.path() + "/xdg-open";
  std::string record = folder_.path() + "/record";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > " << record << ".part\nmv " << record << ".part "
                        << record << "\n";
  ASSERT_EQ(::chmod(opener.c_str(), 0755), 0);
  std::string path = std::getenv("PATH");
  ::setenv("PATH", (folder_.path() + ":" + path).c_str(), 1);
  bool started = open_in_browser("http://h/a?x=1&y=$HOME");
  for (int k = 0; k < 500 && ::access(record.c_str(), F_OK) != 0; ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::setenv("PATH", folder_.path().c_str(), 1);
  ::unlink(opener.c_str());
  bool started_without = open_in_browser("http://h");
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_TRUE(started);
  std::ifstream recorded(record);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(recorded), {}), "1|http://h/a?x=1&y=$HOME|");
  EXPECT_FALSE(started_without);
  reap_all();
}

}  // namespace
}  // namespace qel
