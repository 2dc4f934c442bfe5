// boot-runner-test.cpp: the library's modules evaluated in order in their private context,
// published to scripts, library code that keeps calling its own values, and a module that fails.
#include "eval-fixture.h"

#include "evaluator/boot-runner.h"
#include "evaluator/function.h"
#include "evaluator/library-code.h"

namespace qel::testing {
namespace {

class BootRunnerTest : public EvalTest {
 protected:
  static void boot() {
    static constexpr BootModule kModules[] = {
        {"test/first.qel", "base: [1 2]\nalias: base\nlate: func [] [user-word]\n"},
        {"test/second.qel", "twice: func [x] [add x x]\nsum: func [b] [add pick b 1 pick b 2]\nfrom-first: sum base\n"},
    };
    boot_modules(kModules);
  }
  static Cell body_of(std::string_view name) { return *function_more_cell(value_of(name), kMoreBody); }
};

TEST_F(BootRunnerTest, LaterModulesSeeEarlierDefinitionsAndScriptsSeeThemAll) {
  boot();
  expect_molds({{"from-first", "3"}, {"twice 4", "8"}, {"sum [5 6]", "11"}});
  // An alias is the very value, not a copy.
  EXPECT_EQ(value_of("alias").w2, value_of("base").w2);
}

TEST_F(BootRunnerTest, RedefiningAGlobalWordLeavesLibraryCallsAlone) {
  boot();
  expect_molds({{"add: none twice 4", "8"}, {"pick: none sum [1 2]", "3"}});
}

TEST_F(BootRunnerTest, AWordTheLibraryLeavesUnsetIsTheUsersGlobalWord) {
  boot();
  expect_molds({{"user-word: 7 late", "7"}, {"user-word: 8 late", "8"}});
}

TEST_F(BootRunnerTest, LibraryBodiesAreLibraryCodeAndLaterCopiesAreNot) {
  boot();
  EXPECT_TRUE(is_library_code(body_of("twice").w2));
  EXPECT_TRUE(is_library_code(value_of("base").w2));
  run("mine: func [x] [x]");
  EXPECT_FALSE(is_library_code(body_of("mine").w2));
  EXPECT_FALSE(is_library_code(copy_series_buffer(body_of("twice").w2)));
}

TEST_F(BootRunnerTest, AModuleThatFailsEndsTheProcessNamingItsPath) {
  static constexpr BootModule kModules[] = {
      {"test/fine.qel", "a: 1\n"},
      {"test/bad.qel", "b: 1 / 0\n"},
  };
  EXPECT_EXIT(boot_modules(kModules), ::testing::ExitedWithCode(98), "boot failure in test/bad\\.qel: ");
}

TEST_F(BootRunnerTest, ARoutineOfAnUnknownEntryFailsTheBootAndTheMakerStaysInside) {
  static constexpr BootModule kModules[] = {
      {"test/routines.qel", "is-block: make-routine [v [any-type!] return: [logic!]] \"block?\"\n"},
  };
  boot_modules(kModules);
  expect_molds({{"reduce [is-block [] is-block 1]", "[true false]"}, {"value? 'make-routine", "false"}});
  static constexpr BootModule kUnknown[] = {{"test/unknown.qel", "r: make-routine [] \"no-such-entry\"\n"}};
  EXPECT_EXIT(boot_modules(kUnknown), ::testing::ExitedWithCode(98),
              "boot failure in test/unknown\\.qel: .*invalid argument: \"no-such-entry\"");
}

TEST_F(BootRunnerTest, TheEmbeddedLibraryDefinesTheUnitWordsFirst) {
  ASSERT_FALSE(qel_boot_module_paths.empty());
  EXPECT_EQ(qel_boot_module_paths[0], "boot/unit-words-and-routines.qel");
  run("none: true: false: 0");
  boot_linked_library();
  expect_molds({{"reduce [none true false]", "[none true false]"},
                {"reduce [type? none type? true type? false]", "[none! logic! logic!]"}});
}

}  // namespace
}  // namespace qel::testing
