// Current directory and environment variables.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/os-environment.h"

extern char** environ;

namespace qel {
namespace {

std::vector<std::string> environment_snapshot() {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) entries.emplace_back(*entry);
  return entries;
}

TEST(Environment, EmptyIsNotAbsent) {
  ASSERT_TRUE(os_set_env("QEL_TEST_VARIABLE", ""));
  EXPECT_EQ(os_get_env("QEL_TEST_VARIABLE"), std::optional<std::string>(""));
  ASSERT_TRUE(os_set_env("QEL_TEST_VARIABLE", "b\xC3\xA4r"));
  EXPECT_EQ(os_get_env("QEL_TEST_VARIABLE"), std::optional<std::string>("b\xC3\xA4r"));
  ASSERT_TRUE(os_set_env("QEL_TEST_VARIABLE", std::nullopt));
  EXPECT_EQ(os_get_env("QEL_TEST_VARIABLE"), std::nullopt);
  EXPECT_EQ(os_get_env("QEL_TEST_NEVER_SET"), std::nullopt);
}

TEST(Environment, BadNamesAndValuesFailAndChangeNothing) {
  ASSERT_TRUE(os_set_env("A", "kept"));
  const std::vector<std::string> before = environment_snapshot();
  const std::string_view bad_names[] = {"", "=", "A=B", "=A", std::string_view("A\0B", 3)};
  for (std::string_view name : bad_names) {
    EXPECT_FALSE(os_set_env(name, "value")) << name;
    EXPECT_FALSE(os_set_env(name, std::nullopt)) << name;
    EXPECT_EQ(os_get_env(name), std::nullopt) << name;
  }
  EXPECT_FALSE(os_set_env("A", std::string_view("cut\0tail", 8)));
  EXPECT_EQ(environment_snapshot(), before);
  EXPECT_EQ(os_get_env("A"), std::optional<std::string>("kept"));
}

TEST(CurrentDirectory, GetSetAndFailure) {
  std::optional<std::string> start = os_get_current_dir();
  ASSERT_TRUE(start);
  char buffer[4096];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  EXPECT_EQ(*start, buffer);

  ASSERT_TRUE(os_set_current_dir("/"));
  EXPECT_EQ(os_get_current_dir(), std::optional<std::string>("/"));
  EXPECT_FALSE(os_set_current_dir("/no/such/directory/here"));
  EXPECT_FALSE(os_set_current_dir(std::string_view("/tmp\0x", 6)));
  EXPECT_EQ(os_get_current_dir(), std::optional<std::string>("/"));
  ASSERT_TRUE(os_set_current_dir(*start));
}

TEST(CurrentDirectory, PathsLongerThanTheFirstBuffer) {
  std::optional<std::string> start = os_get_current_dir();
  char base[] = "/tmp/qel-cwd-XXXXXX";
  ASSERT_NE(mkdtemp(base), nullptr);
  std::string deep = std::string(base) + "/" + std::string(200, 'd');
  deep += "/" + std::string(200, 'e');
  ASSERT_EQ(mkdir(deep.substr(0, deep.rfind('/')).c_str(), 0700), 0);
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  ASSERT_TRUE(os_set_current_dir(deep));
  EXPECT_EQ(os_get_current_dir(), deep);
  ASSERT_TRUE(os_set_current_dir(*start));
  rmdir(deep.c_str());
  rmdir(deep.substr(0, deep.rfind('/')).c_str());
  rmdir(base);
}

}  // namespace
}  // namespace qel
