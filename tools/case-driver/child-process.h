// child-process.h: running a program with given input, environment changes and a time limit,
// and collecting its standard output and error.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qel::cases {

struct ChildRun {
  std::vector<std::string> arguments;  // the program first
  std::string input;                   // fed to standard input, which is then closed
  // Variables to set (a value) or remove (none) on top of this process's environment.
  std::vector<std::pair<std::string, std::optional<std::string>>> environment;
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
std::vector<std::pair<std::string, std::optional<std::string>>> console_test_environment(
    long columns, const TemporaryDirectory& home);

}  // namespace qel::cases
