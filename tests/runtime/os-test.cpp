// OS start-up (standard handles, the command line) and page mapping.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/heap.h"
#include "runtime/os-pages.h"
#include "runtime/os.h"
#include "runtime/runtime-record.h"

namespace qel {
namespace {

TEST(CommandLine, ArgumentBytesAreCopiedAsTheyAre) {
  std::vector<std::string> arguments = {"qel", "\xFF\xFE not UTF-8 \xC3", "", "caf\xC3\xA9"};
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  os_start(static_cast<int>(arguments.size()), argv.data());
  for (auto& argument : arguments) argument.assign(argument.size(), 'x');  // the copies stay

  ASSERT_EQ(runtime.argument_count, 4);
  EXPECT_STREQ(runtime.argument_vector[0], "qel");
  EXPECT_STREQ(runtime.argument_vector[1], "\xFF\xFE not UTF-8 \xC3");
  EXPECT_STREQ(runtime.argument_vector[2], "");
  EXPECT_STREQ(runtime.argument_vector[3], "caf\xC3\xA9");
  EXPECT_EQ(runtime.argument_vector[4], nullptr);
  EXPECT_EQ(runtime.environment_vector, nullptr);
}

TEST(CommandLine, ASecondInitReleasesTheFirstVector) {
  char name[] = "qel";
  char* argv[] = {name, nullptr};
  command_line_init(1, argv);
  size_t live = heap_live_blocks();
  command_line_init(1, argv);
  EXPECT_EQ(heap_live_blocks(), live);
}

TEST(OsStartDeathTest, ClosedStandardHandlesAreOpenedOnTheNullDevice) {
  EXPECT_EXIT(
      {
        close(kStandardInput);
        close(kStandardOutput);
        os_start(0, nullptr);
        int opened = open("/dev/null", O_RDONLY);  // takes the lowest free number
        _exit(fcntl(kStandardInput, F_GETFD) != -1 && fcntl(kStandardOutput, F_GETFD) != -1 && opened > 2 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Pages, MapZeroedWritablePagesAndUnmapThem) {
  constexpr size_t size = 3 * 4096 + 100;
  auto* pages = static_cast<uint8_t*>(os_virtual_alloc(size));
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pages) % 4096, 0u);
  EXPECT_EQ(pages[0], 0);
  EXPECT_EQ(pages[size - 1], 0);
  std::memset(pages, 0x5A, size);
  EXPECT_FALSE(os_virtual_free(pages + 1, size - 1));  // unaligned: refused, pages kept
  EXPECT_EQ(pages[size - 1], 0x5A);
  EXPECT_TRUE(os_virtual_free(pages, size));
}

TEST(Pages, LargeMappingsStartOnAHugePageBoundary) {
  constexpr size_t size = (size_t{2} << 20) + 100;
  auto* pages = static_cast<uint8_t*>(os_virtual_alloc(size));
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pages) % (size_t{2} << 20), 0u);
  EXPECT_EQ(pages[0], 0);
  EXPECT_EQ(pages[size - 1], 0);
  pages[size - 1] = 0x5A;
  EXPECT_TRUE(os_virtual_free(pages, size));
}

TEST(Pages, FailuresAreReturnValues) {
  EXPECT_EQ(os_virtual_alloc(0), nullptr);
  EXPECT_EQ(os_virtual_alloc(SIZE_MAX - 4095), nullptr);
  EXPECT_FALSE(os_virtual_free(nullptr, 4096));
  int local = 0;
  EXPECT_FALSE(os_virtual_free(&local, 0));
}

// A write that stops answers why, never 0: a caller must not take a failure for success.
TEST(WriteAll, AnswersWhyAWriteStopped) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  EXPECT_EQ(os_write_all(ends[1], "abc", 3), 0);
  char read_back[3];
  EXPECT_EQ(::read(ends[0], read_back, 3), 3);
  EXPECT_EQ(std::string(read_back, 3), "abc");
  ::close(ends[0]);
  ::close(ends[1]);
  EXPECT_EQ(os_write_all(ends[1], "abc", 3), EBADF);
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_EQ(os_write_all(full, "abc", 3), ENOSPC);
  ::close(full);
}

}  // namespace
}  // namespace qel
