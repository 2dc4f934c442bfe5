// process-natives-test.cpp: what call and browse hand the process layer, against doubles.
#include <optional>
#include <string>

#include "eval-fixture.h"

namespace qel::testing {
namespace {

struct SeenCall {
  std::string command;
  bool wait, show, console, shell;
  std::optional<std::string> input, output, error;  // molded
};
std::vector<SeenCall> calls;
std::vector<std::string> opened;
bool opener_starts = true;

std::optional<std::string> molded(const Cell* value) {
  if (!value) return std::nullopt;
  return EvalTest::mold(*value);
}

int32_t recording_call(const CallRequest& request) {
  calls.push_back({request.command, request.wait, request.show, request.console, request.shell,
                   molded(request.input), molded(request.output), molded(request.error)});
  return 42;
}

bool recording_opener(const std::string& text) {
  opened.push_back(text);
  return opener_starts;
}

class ProcessNatives : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    calls.clear();
    opened.clear();
    opener_starts = true;
    services().call_command = recording_call;
    services().open_in_browser = recording_opener;
  }
};

// Each refinement reaches the service as its flag or its value; the answer is the service's.
TEST_F(ProcessNatives, CallPassesItsRefinementsOn) {
  expect_molds({
      {R"(call "ls -l")", "42"},
      {R"(call/wait/show/shell/input/output/error "x" "in" "out" "err")", "42"},
      {R"(call/output "y" "o")", "42"},
  });
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].command, "ls -l");
  EXPECT_FALSE(calls[0].wait || calls[0].show || calls[0].console || calls[0].shell);
  EXPECT_FALSE(calls[0].input || calls[0].output || calls[0].error);
  EXPECT_TRUE(calls[1].wait && calls[1].show && calls[1].shell && !calls[1].console);
  EXPECT_EQ(calls[1].input, "\"in\"");
  EXPECT_EQ(calls[1].output, "\"out\"");
  EXPECT_EQ(calls[1].error, "\"err\"");
  EXPECT_FALSE(calls[2].wait || calls[2].input || calls[2].error);
  EXPECT_EQ(calls[2].output, "\"o\"");
}

// An empty command answers 0 and reaches nothing; a file! goes as its OS path; U+0000 cannot
// reach the OS.
TEST_F(ProcessNatives, CallCommandForms) {
  expect_molds({
      {R"(call "")", "0"},
      {R"(call next "x")", "0"},
      {R"(call to file! "/bin/t x")", "42"},
  });
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].command, "/bin/t x");
  expect_errors({{R"(call append "a" to char! 0)", "script/invalid-arg", {"\"a^@\""}}});
  EXPECT_EQ(calls.size(), 1u);
}

// browse hands the text on as it is and answers unset; an opener that cannot start is an
// access error naming the target.
TEST_F(ProcessNatives, BrowseHandsTheTextToTheOpener) {
  expect_molds({
      {R"(browse to url! "http://h/a?x=1&y=$HOME")", "unset"},
      {R"(browse to file! "dir/a b.txt")", "unset"},
  });
  EXPECT_EQ(opened, (std::vector<std::string>{"http://h/a?x=1&y=$HOME", "dir/a b.txt"}));
  opener_starts = false;
  expect_errors({{R"(browse to url! "http://h")", "access/cannot-open", {"http://h"}}});
}

}  // namespace
}  // namespace qel::testing
