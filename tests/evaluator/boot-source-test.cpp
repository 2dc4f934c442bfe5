// boot-source-test.cpp: the library's sources as the image generator reads and loads them, and
// the messages that stop the build naming the file and line or offset.
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "eval-fixture.h"
#include "evaluator/boot-source.h"

namespace qel::testing {
namespace {

namespace fs = std::filesystem;

// A source tree of its own: boot/manifest and the modules written into it.
class BootSourceTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "qel-boot-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    fs::create_directory(root_ / "boot");
  }
  void TearDown() override {
    fs::remove_all(root_);
    EvalTest::TearDown();
  }
  void write(const std::string& file, std::string_view bytes) {
    std::ofstream(root_ / file, std::ios::binary) << bytes;
  }
  BootSources read() {
    const std::string manifest = (root_ / "boot/manifest").string();
    return read_boot_sources(root_.string(), std::span(&manifest, 1));
  }
  // The message of the error reading or loading the sources raises.
  std::string failure() {
    try {
      (void)boot_image_from_sources(read().modules());
    } catch (const BootSourceError& error) {
      return error.what();
    }
    return "";
  }

  fs::path root_;
};

TEST_F(BootSourceTest, TheManifestListsModulesInOrderRelativeToItsFolder) {
  write("boot/manifest", "; the order\n\n  second.qel \r\nfirst.qel\n");
  write("boot/first.qel", "a: 1");
  write("boot/second.qel", "b: \"é\"");
  const BootSources sources = read();
  EXPECT_EQ(sources.paths, (std::vector<std::string>{"boot/second.qel", "boot/first.qel"}));
  EXPECT_EQ(sources.texts, (std::vector<std::string>{"b: \"é\"", "a: 1"}));
  EXPECT_EQ(sources.files_read.size(), 3u);
}

TEST_F(BootSourceTest, WhatCannotBecomeTheImageIsNamedWithItsPlace) {
  const struct {
    std::string_view manifest;
    std::string_view module;
    std::string_view failure;
  } kCases[] = {
      {"bad.qel\ngone.qel\n", "", "boot/manifest:2: no such file: gone.qel"},
      {"bad.qel\n", "a: \"ok\"\nb: \"\xC3\x28\"", "boot/bad.qel: not UTF-8 at byte 12"},
      {"<<<<<<< HEAD\nbad.qel\n=======\nother.qel\n>>>>>>> topic\n", "a: 1",
       "boot/manifest:1: a merge conflict marker: resolve the conflict"},
      // markers the lexer would take for words, labelled or bare, with CR LF line ends
      {"bad.qel\n", "a: 1\r\n<<<<<<< ours\r\nb: 2\r\n||||||| base\r\n=======\r\nb: 3\r\n>>>>>>>\r\n",
       "boot/bad.qel:2: a merge conflict marker"},
      {"bad.qel\n", "a: 1\nb: [2\n", "boot/bad.qel: "},
  };
  for (const auto& test : kCases) {
    write("boot/manifest", test.manifest);
    write("boot/bad.qel", test.module);
    EXPECT_EQ(failure().substr(0, test.failure.size()), test.failure) << test.module;
  }
  EXPECT_NE(failure().find("(line 3) missing ]"), std::string::npos) << failure();
}

TEST_F(BootSourceTest, OnlyWholeMarkersAreConflicts) {
  write("boot/unset-words", "; ======= a rule, not a marker\n<<<<<<<<\n=======x\nask\n");
  EXPECT_EQ(boot_source_text((root_ / "boot/unset-words").string(), "boot/unset-words"), "; ======= a rule, not a marker\n<<<<<<<<\n=======x\nask\n");
  write("boot/unset-words", "ask\n=======\nhalt\n");
  EXPECT_THROW(boot_source_text((root_ / "boot/unset-words").string(), "boot/unset-words"), BootSourceError);
}

}  // namespace
}  // namespace qel::testing
