// boot-check-test.cpp: the boot check over the embedded library and over modules that break
// its rules.
#include "eval-fixture.h"

#include <fstream>
#include <sstream>

#include "evaluator/boot-check.h"
#include "evaluator/boot-runner.h"

namespace qel::testing {
namespace {

std::vector<std::string> allow_list() {
  std::ifstream file(QEL_SOURCE_DIR "/boot/unset-words");
  std::ostringstream text;
  text << file.rdbuf();
  return allow_list_words(text.str());
}

using BootCheckTest = EvalTest;

TEST_F(BootCheckTest, TheEmbeddedLibraryPasses) {
  const std::string manifests[] = {QEL_SOURCE_DIR "/boot/manifest", QEL_SOURCE_DIR "/console/manifest"};
  const BootSources sources = read_boot_sources(QEL_SOURCE_DIR, manifests);
  EXPECT_EQ(boot_check(sources.modules(), allow_list()), std::vector<std::string>{});
}

TEST_F(BootCheckTest, AnUndefinedWordInLibraryCodeIsNamedWithItsDefinition) {
  static constexpr BootModule kModules[] = {
      {"test/words.qel",
       "f: func [a /b c /local d] [d: a + c ghost add :phantom [inner] spirit/x]\n"
       "g: does [if true [(spectre)]]\nh: [nothing-here]\n"
       "o: make object! [field: 1 m: func [] [field + wraith]]\n"
       "n: func [x] [make object! [k: func [y] [x + y + ghoul]]]\n"},
  };
  boot_modules(kModules);
  const std::vector<std::string> allowed{"spectre"};
  EXPECT_EQ(check_unset_words(module_paths(kModules), allowed),
            (std::vector<std::string>{"test/words.qel: f:: ghost is defined nowhere",
                                      "test/words.qel: f:: phantom is defined nowhere",
                                      "test/words.qel: f:: inner is defined nowhere",
                                      "test/words.qel: f:: spirit is defined nowhere",
                                      "test/words.qel: m:: wraith is defined nowhere",
                                      "test/words.qel: n:: ghoul is defined nowhere"}));
}

TEST_F(BootCheckTest, ARoutineMustNameADeclaredEntry) {
  register_routine("declared-entry", [](std::span<const RoutineArgument>) { return RoutineResult{}; });
  static constexpr BootModule kModules[] = {
      {"test/routines.qel",
       "fine: make-routine [] \"declared-entry\"\nnope: make-routine [x] \"no-such-entry\"\n"
       "o: make object! [inner: make-routine [] 5]\n"},
  };
  EXPECT_EQ(check_routine_entries(kModules),
            (std::vector<std::string>{"test/routines.qel: nope:: routine entry \"no-such-entry\" is not declared",
                                      "test/routines.qel: inner:: routine without a C++ entry name"}));
}

TEST_F(BootCheckTest, AllowListsAreOneWordALine) {
  EXPECT_EQ(allow_list_words("; comment\n\n  ask \r\nhalt\n;x\nlast"), (std::vector<std::string>{"ask", "halt", "last"}));
}

}  // namespace
}  // namespace qel::testing
