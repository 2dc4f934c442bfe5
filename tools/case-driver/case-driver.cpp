// case-driver.cpp: runs one case file: starts `qel --cli` with the file's typed lines and
// compares its transcript with the file's. Usage: case-driver <qel> <file.qcase>.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/case-driver/case-transcript.h"
#include "tools/case-driver/child-process.h"

namespace {

// The whole text of a file; none when it cannot be read.
std::optional<std::string> read_text(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Why a run failed before any line was compared; empty when it ended normally.
std::string run_failure(const qel::cases::ChildResult& result) {
  if (!result.failure.empty()) return result.failure;
  if (result.timed_out) return "timed out, killed";
  if (result.signal) return "ended by signal " + std::to_string(result.signal);
  if (result.exit_status != 0) return "exit status " + std::to_string(result.exit_status);
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qel::cases;
  if (argc != 3) {
    std::cerr << "usage: case-driver <qel> <file.qcase>\n";
    return 2;
  }
  std::optional<std::string> text = read_text(argv[2]);
  if (!text) {
    std::cerr << argv[2] << ": cannot read\n";
    return 2;
  }
  CaseFile file = parse_case_file(*text);
  // Each case runs in a fresh empty directory of its own, so files it writes neither meet another
  // case's nor stay behind.
  TemporaryDirectory home, work;
  ChildRun run{{std::filesystem::absolute(argv[1]).string(), "--cli"}, file.input,
               console_test_environment(file.columns, home)};
  run.working_directory = work.path();
  ChildResult result = run_child(run);
  std::vector<std::string> actual = transcript_lines(result.output);
  std::optional<Mismatch> mismatch = match_transcript(file.expected, actual);
  std::string failure = run_failure(result);
  if (mismatch) std::cout << describe_mismatch(argv[2], file.expected, actual, *mismatch);
  if (!failure.empty()) std::cout << argv[2] << ": qel " << failure << "\n";
  if (!result.errors.empty()) std::cout << "standard error:\n" << result.errors;
  if (mismatch || !failure.empty()) {
    std::cout << "whole output:\n" << result.output << "\n";
    return 1;
  }
  return 0;
}
