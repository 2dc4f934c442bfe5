// child-process.h: running a program with given input, environment changes and a time limit,
// and collecting its standard output and error; or talking to it while it runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel::cases {

// Variables to set (a value) or remove (none) on top of this process's environment.
using EnvironmentChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct ChildRun {
  std::vector<std::string> arguments;  // the program first
  std::string input;                   // fed to standard input, which is then closed
  EnvironmentChanges environment;
  std::chrono::milliseconds time_limit{30000};
  std::string working_directory{};  // entered before the program starts; empty: the caller's
};

struct ChildResult {
  std::string output;
  std::string errors;
  int exit_status = -1;  // when it exited
  int signal = 0;        // when a signal ended it
  bool timed_out = false;
  std::string failure;   // set when the program could not be started
};

// Runs the program to its end, or kills it at the time limit.
ChildResult run_child(const ChildRun& run);

// A program that a test talks to while it runs: it types, waits for text, sends signals. With
// `terminal` the child's standard handles are one pseudo-terminal (24 x 80) that is its
// controlling terminal, so the terminal echoes and a typed ^C is SIGINT; else they are pipes and
// standard error is read apart.
struct LiveStart {
  std::vector<std::string> arguments;  // the program first
  EnvironmentChanges environment;
  bool terminal = false;
};

class LiveChild {
 public:
  explicit LiveChild(const LiveStart& start);
  ~LiveChild();  // kills a child that has not ended
  LiveChild(const LiveChild&) = delete;
  LiveChild& operator=(const LiveChild&) = delete;

  bool started() const { return pid_ > 0; }
  void type(std::string_view text);
  // Reads until the text appears in the output after what earlier awaits found (true), or the
  // limit passes or the output ends (false).
  bool await(std::string_view text, std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Awaits the question, then types the line and a line end.
  bool answer(std::string_view question, std::string_view line);
  void send_signal(int number);
  // Ends the input: the pipe is closed; on a terminal ^D is typed.
  void close_input();
  // Waits for the end, reading all it wrote: the exit status, 128 + the signal that ended it, or
  // -1 when the limit passed first.
  int finish(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Everything read so far (on a terminal, with its echo and its CR LF line ends).
  const std::string& output() const { return output_; }
  const std::string& errors() const { return errors_; }
  // On a terminal: whether it echoes what is typed; once the child is gone, as the child left it.
  bool terminal_echoes() const;

 private:
  bool read_some(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  bool ended_ = false;
  int input_ = -1;  // on a terminal the same descriptor as output_fd_
  int output_fd_ = -1;
  int errors_fd_ = -1;
  std::string output_;
  std::string errors_;
  size_t mark_ = 0;
  bool echoed_at_end_ = false;  // the terminal's echo when the child was found gone
};

// A fresh empty directory under the temporary folder, removed with everything in it when the
// guard goes.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The environment of a console under test: the width, a fresh home and cache, no display.
EnvironmentChanges console_test_environment(long columns, const TemporaryDirectory& home);

}  // namespace qel::cases
