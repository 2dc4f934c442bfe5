// tools-test.cpp: the debugger in a runtime that has the library and no console: without `ask`
// and without system/console it prints its stops, never prompts, and lets the code run on.
#include "eval-fixture.h"

#include "evaluator/boot-source.h"
#include "runtime/print-hooks.h"

namespace qel::testing {
namespace {

std::string printed;
void capture(const Cell& text, bool newline) {
  printed += EvalTest::text_of(text);
  if (newline) printed += '\n';
}

class ToolsWithoutConsoleTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    const std::string manifest = QEL_SOURCE_DIR "/boot/manifest";
    const BootSources sources = read_boot_sources(QEL_SOURCE_DIR, std::span(&manifest, 1));
    boot_modules(sources.modules());
    printed.clear();
    print_hooks_add(capture, nullptr);
  }
  void TearDown() override {
    print_hooks_remove(capture, nullptr);
    EvalTest::TearDown();
  }
};

TEST_F(ToolsWithoutConsoleTest, TheDebuggerPrintsItsStopsAndNeverPrompts) {
  expect_molds({{"value? 'ask", "false"}, {"system/console", "none"}});
  expect_molds({{"debug [x: 1 y: x + 1] reduce [x y]", "[1 2]"}});
  EXPECT_NE(printed.find("-----> EVAL x:\nInput: x: 1 y: x + 1\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("-----> SET y 2\n"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("debug> "), std::string::npos) << printed;
  // The run ends inactive, with its settings as they were.
  expect_molds({{"values-of system/tools/options/debug", "[false true false false false]"}});
}

}  // namespace
}  // namespace qel::testing
