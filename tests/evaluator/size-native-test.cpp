// size-native-test.cpp: size? on a temporary directory: a regular file's size; none for a
// missing name and for a directory named without its "/".
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "eval-fixture.h"

namespace qel::testing {
namespace {

class SizeNative : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    char pattern[] = "/tmp/qel-size-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    FILE* file = std::fopen((directory_ + "/five").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("12345", file);
    std::fclose(file);
    ASSERT_EQ(mkdir((directory_ + "/sub").c_str(), 0700), 0);
  }
  void TearDown() override {
    std::remove((directory_ + "/five").c_str());
    rmdir((directory_ + "/sub").c_str());
    rmdir(directory_.c_str());
    EvalTest::TearDown();
  }
  std::string directory_;
};

// A file! of the path, held by the word f.
void define_file(const std::string& path) {
  Cell file;
  string_load({reinterpret_cast<const uint8_t*>(path.data()), path.size()}, file, TextEncoding::utf8);
  set_value_type_byte(file, Type::file);
  EvalTest::define("f", file);
}

TEST_F(SizeNative, RegularFilesOnly) {
  const std::pair<std::string, std::string> rows[] = {
      {"/five", "5"}, {"/missing", "none"}, {"/sub", "none"}, {"/sub/", "none"}};
  for (const auto& [name, molded] : rows) {
    define_file(directory_ + name);
    EXPECT_EQ(eval_mold("size? f"), molded) << name;
  }
}

}  // namespace
}  // namespace qel::testing
