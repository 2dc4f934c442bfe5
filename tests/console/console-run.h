// console-run.h: running the qel program as the console tests do, and reading its transcript.
#pragma once

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/case-driver/child-process.h"

namespace qel {

// Runs qel with the arguments and input, at the columns given in a fresh home.
inline cases::ChildResult run_qel(std::vector<std::string> arguments, std::string input, long columns = 80) {
  cases::TemporaryDirectory home;
  arguments.insert(arguments.begin(), QEL_BINARY);
  return cases::run_child({arguments, std::move(input), cases::console_test_environment(columns, home)});
}

// The output without the Where, Near, Stack and Files lines of errors (the error form's own).
inline std::string without_error_details(const std::string& output) {
  std::string kept;
  for (size_t at = 0; at < output.size();) {
    size_t end = output.find('\n', at);
    end = end == std::string::npos ? output.size() : end + 1;
    std::string_view line(output.data() + at, end - at);
    if (!line.starts_with("*** Where: ") && !line.starts_with("*** Near : ") && !line.starts_with("*** Stack:") &&
        !line.starts_with("*** Files: "))
      kept += line;
    at = end;
  }
  return kept;
}

// Standard output from the first prompt on (the banner left out), without error details.
inline std::string after_banner(const std::string& output) {
  size_t prompt = output.find(">> ");
  return without_error_details(prompt == std::string::npos ? output : output.substr(prompt));
}

// A script file in a fresh folder.
struct Script {
  cases::TemporaryDirectory folder;
  std::string path;
  explicit Script(const std::string& text, const std::string& name = "s.qel") : path(folder.path() + "/" + name) {
    std::ofstream(path) << text;
  }
};

}  // namespace qel
