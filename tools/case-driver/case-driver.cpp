// case-driver.cpp: runs one case file: starts `qel --cli` with the file's typed lines and
// compares its transcript with the file's. Usage: case-driver <qel> <file.qcase>.
//
// A file with the line ";; http-server" runs against the local HTTP test server: it is started
// first, every "$PORT" of the file becomes its port, and it is killed after the run.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/case-driver/case-transcript.h"
#include "tools/case-driver/child-process.h"
#include "tools/case-driver/http-fixture.h"

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

// Whether the file asks for the HTTP test server.
bool wants_http_server(std::string_view text) {
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line))
    if (line.starts_with(";; http-server")) return true;
  return false;
}

// How long one case file may run before it counts as hung. Under the collector's torture mode
// every safe point walks the whole heap, so a deep recursion takes many times its normal time;
// on a busy machine such a file passed the normal limit while working correctly.
std::chrono::milliseconds case_time_limit() {
  const char* torture = std::getenv("QEL_GC_TORTURE");
  return std::chrono::seconds(torture != nullptr && *torture != '\0' ? 120 : 30);
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
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
  std::optional<HttpFixture> server;
  if (wants_http_server(*text)) {
    server.emplace();
    if (!server->port()) {
      std::cout << argv[2] << ": the HTTP test server did not start\n";
      return 1;
    }
    bypass_proxy_for_fixture();
    replace_all(*text, "$PORT", std::to_string(server->port()));
  }
  CaseFile file = parse_case_file(*text);
  // Each case runs in a fresh empty directory of its own, so files it writes neither meet another
  // case's nor stay behind.
  TemporaryDirectory home, work;
  ChildRun run{{std::filesystem::absolute(argv[1]).string(), "--cli"}, file.input,
               console_test_environment(file.columns, home)};
  run.working_directory = work.path();
  run.time_limit = case_time_limit();
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
