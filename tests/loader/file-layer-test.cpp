// file-layer-test.cpp: what the case files cannot reach: streams (FIFOs, devices, /proc), the
// read cap, directory listings, names that are no UTF-8 and standard output.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "datatypes/series/block-core.h"
#include "datatypes/series/url.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/tuple.h"
#include "loader/command-line.h"
#include "loader/platform-info.h"
#include "loader/dir-listing.h"
#include "loader/file-entries.h"
#include "loader/file-read.h"
#include "loader/file-write.h"
#include "runtime/console-output.h"
#include "runtime/contexts.h"
#include "runtime/symbols.h"
#include "tests/series/string-fixture.h"
#include "tools/case-driver/child-process.h"

namespace qel {
namespace {

class FileLayerTest : public StringTest {
 protected:
  void TearDown() override {
    file_read_cap = kSeriesByteCeiling;
    StringTest::TearDown();
  }
  Cell file(const std::string& name) const { return file_from_os_name(folder_.path() + "/" + name); }
  static Cell read(const Cell& file, bool binary = false, Cell* part = nullptr) {
    return file_read_dispatch(file, {part, nullptr, binary, false, false, nullptr});
  }
  void put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_.path() + "/" + name, std::ios::binary) << bytes;
  }
  cases::TemporaryDirectory folder_;
};

std::string bytes_of(const Cell& binary) {
  Bytes bytes = binary_bytes(binary);
  return {bytes.begin(), bytes.end()};
}

// A FIFO has no size: it is read in one pass until its writer closes it, nothing lost.
TEST_F(FileLayerTest, AFifoFedByAnotherWriterReadsWhole) {
  std::string path = folder_.path() + "/fifo";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::string sent;
  for (int i = 0; sent.size() < 300000; ++i) sent += std::to_string(i) + ",";
  std::thread writer([&] { std::ofstream(path, std::ios::binary) << sent; });
  Cell got = read(file("fifo"), true);
  writer.join();
  EXPECT_EQ(bytes_of(got), sent);
}

// Devices and /proc read as streams: a part ends an endless one; without a part the cap does,
// before anything past it is taken. A regular file past the cap is refused before allocating.
TEST_F(FileLayerTest, StreamsEndAtThePartOrTheCap) {
  Cell sixteen = make_cell(Type::integer, 0, 16);
  EXPECT_EQ(bytes_of(read(file_from_os_name("/dev/zero"), true, &sixteen)), std::string(16, '\0'));
  EXPECT_NE(bytes_of(read(file_from_os_name("/proc/self/status"), true)).find("Name:"), std::string::npos);
  file_read_cap = 1 << 20;
  for (const char* name : {"/dev/zero", "big"}) {
    put("big", std::string((1 << 20) + 1, 'x'));
    Cell source = name[0] == '/' ? file_from_os_name(name) : file("big");
    StandInError error = raised_error([&] { read(source); });
    EXPECT_EQ(error.id, error_id("internal", "limit-hit")) << name;
    EXPECT_EQ(cell_type(error.args[0]), Type::file);
  }
  put("exact", std::string(1 << 20, 'y'));
  EXPECT_EQ(bytes_of(read(file("exact"), true)).size(), size_t{1} << 20);
}

TEST_F(FileLayerTest, ListingsAreSortedByBytesWithDirectoriesMarked) {
  ASSERT_EQ(::mkdir((folder_.path() + "/d").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((folder_.path() + "/d/a").c_str(), 0700), 0);
  for (const char* name : {"d/b.txt", "d/C.txt", "d/a.txt", "d/.h", "d/x\xFFy"}) put(name, "");
  ASSERT_EQ(::symlink("a", (folder_.path() + "/d/l").c_str()), 0);         // to a directory
  ASSERT_EQ(::symlink("missing", (folder_.path() + "/d/m").c_str()), 0);   // dangling
  Cell directory = file("d/");
  uint32_t length_before = string_length(directory);
  Cell listing = file_read_dispatch(directory, {});
  std::vector<std::string> names;
  for (int64_t i = 0; i < block_length(listing); ++i) names.push_back(file_to_os_path(*block_cell_at(listing, i)));
  EXPECT_EQ(names, (std::vector<std::string>{".h", "C.txt", "a/", "a.txt", "b.txt", "l/", "m", "x\xFFy"}));
  EXPECT_EQ(string_char_at(*block_cell_at(listing, 7), 1), 0xDCFFu);
  EXPECT_EQ(string_length(directory), length_before);
  put("d/x\xFFy", "ok");
  EXPECT_EQ(utf8_of(read(file_from_os_name(folder_.path() + "/d/x\xFFy"))), "ok");
  StandInError error = raised_error([&] { file_read_dispatch(file("none/"), {}); });
  EXPECT_EQ(error.id, error_id("access", "cannot-open"));
}

TEST_F(FileLayerTest, DirectoryNamesGoBySpellingWithSlashOnly) {
  const std::pair<const char*, bool> rows[] = {
      {"a/", true},   {".", true},     {"..", true},  {"a/.", true},  {"a/..", true}, {"/", true},
      {"a.b", false}, {"a..", false},  {"a", false},  {"", false},    {"a\\", false}, {"b..", false},
      {"x/a.", false}, {"...", false},
  };
  for (const auto& [name, expected] : rows) EXPECT_EQ(dir_name(file_from_os_name(name)), expected) << name;
}

// What print staged comes out before a write to standard output, on a pipe as on a terminal.
TEST_F(FileLayerTest, StandardOutputKeepsThePrintOrder) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  int saved = ::dup(STDOUT_FILENO);
  ::dup2(ends[1], STDOUT_FILENO);
  ConsoleTarget previous = console_output_set_target({STDOUT_FILENO, false});
  print_cstring("a\n");
  file_write_dispatch(make_cell(Type::none), text_value("b\n"), {});
  console_output_set_target(previous);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(ends[1]);
  char got[16] = {};
  ssize_t count = ::read(ends[0], got, sizeof got);
  ::close(ends[0]);
  EXPECT_EQ(std::string(got, count > 0 ? static_cast<size_t>(count) : 0), "a\nb\n");
  EXPECT_NE(::fcntl(STDOUT_FILENO, F_GETFD), -1);  // never closed
}

// The modification time comes back as UTC calendar fields to the millisecond, with no zone.
TEST_F(FileLayerTest, QueryGivesTheUtcModificationDate) {
  put("q", "");
  timespec times[2] = {{0, UTIME_OMIT}, {1614834367, 250999999}};  // 2021-03-04 05:06:07.250999999 UTC
  ASSERT_EQ(::utimensat(AT_FDCWD, (folder_.path() + "/q").c_str(), times, 0), 0);
  Cell date = os_query_file(file("q"));
  ASSERT_EQ(cell_type(date), Type::date);
  EXPECT_EQ(date_year(date.w1), 2021);
  EXPECT_EQ(date_month(date.w1), 3);
  EXPECT_EQ(date_day(date.w1), 4);
  EXPECT_EQ(date_zone(date.w1), 0u);
  EXPECT_TRUE(date_has_time(date.w1));
  EXPECT_DOUBLE_EQ(date_time(date), 5 * 3600 + 6 * 60 + 7.25);
  EXPECT_EQ(cell_type(os_query_file(file("q/"))), Type::none);
}

// The services the library's routines wrap: making directories, existence, the current
// directory, and deleting directories by their spelling.
TEST_F(FileLayerTest, DirectoryAndExistenceServices) {
  EXPECT_TRUE(os_make_dir(file("n")));
  EXPECT_FALSE(os_make_dir(file("n")));        // exists already
  EXPECT_FALSE(os_make_dir(file("no/deeper")));  // parent missing
  ASSERT_EQ(::symlink("missing", (folder_.path() + "/dangling").c_str()), 0);
  EXPECT_TRUE(os_file_exists(file("dangling")));
  EXPECT_TRUE(os_file_exists(file("n/")));
  EXPECT_FALSE(os_file_exists(file("absent")));
  put("n/f", "x");
  EXPECT_FALSE(os_delete(file("n/")));  // not empty
  EXPECT_TRUE(os_delete(file("n/f")));
  EXPECT_TRUE(os_delete(file("n/")));
  Cell before = current_dir_file();
  EXPECT_FALSE(change_current_dir(file("absent/")));
  EXPECT_EQ(file_to_os_path(current_dir_file()), file_to_os_path(before));
  ASSERT_TRUE(os_make_dir(file("x\xFF")));
  ASSERT_TRUE(change_current_dir(file("x\xFF")));
  Cell inside = current_dir_file();
  EXPECT_EQ(file_to_os_path(inside), std::filesystem::canonical(folder_.path()).string() + "/x\xFF/");
  EXPECT_EQ(string_char_at(inside, string_length(inside) - 2), 0xDCFFu);
  EXPECT_TRUE(change_current_dir(before));
}

TEST_F(FileLayerTest, TheCommandLineJoinsArgumentsQuotingWhatWouldSplit) {
  std::vector<std::string> texts{"qel", "a b", "", "plain", "say \"hi\"", "tab\there"};
  std::vector<char*> arguments;
  for (std::string& text : texts) arguments.push_back(text.data());
  EXPECT_EQ(command_line_text(arguments), "qel \"a b\" \"\" plain \"say \\\"hi\\\"\" \"tab\there\"");
  EXPECT_EQ(command_line_text({}), "");
  EXPECT_EQ(cell_type(os_command_line()), Type::string);
}

TEST_F(FileLayerTest, PlatformFactsComeFromUnameAndOsRelease) {
  const std::pair<const char*, const char*> machines[] = {{"x86_64", "x86-64"}, {"aarch64", "ARM64"}, {"i686", "x86-32"},
                                                          {"i386", "x86-32"},  {"armv7l", "ARM"},     {"ia64", "IA-64"},
                                                          {"riscv64", "Unknown"}, {"i86", "Unknown"}};
  for (const auto& [machine, arch] : machines) EXPECT_EQ(architecture_name(machine), arch) << machine;
  EXPECT_EQ(kernel_version("6.8.0-45-generic"), (std::array<int32_t, 3>{6, 8, 0}));
  EXPECT_EQ(kernel_version("5.15"), (std::array<int32_t, 3>{5, 15, 0}));
  EXPECT_EQ(kernel_version("4.19.325-x"), (std::array<int32_t, 3>{4, 19, 255}));
  EXPECT_EQ(kernel_version("odd"), (std::array<int32_t, 3>{0, 0, 0}));
  EXPECT_EQ(kernel_build("#45-Ubuntu SMP PREEMPT_DYNAMIC"), 45);
  EXPECT_EQ(kernel_build("SMP"), 0);
  EXPECT_EQ(system_name("NAME=X\nPRETTY_NAME=\"Debian GNU/Linux 12\"\n"), "Linux Debian GNU/Linux 12");
  EXPECT_EQ(system_name("PRETTY_NAME=Plain"), "Linux Plain");
  EXPECT_EQ(system_name("NAME=X\n"), "Linux");
  EXPECT_EQ(system_name(""), "Linux");
}

TEST_F(FileLayerTest, OsInfoVersionDescribesThisMachine) {
  utsname names{};
  ASSERT_EQ(::uname(&names), 0);
  Cell info = os_info_version();
  ASSERT_EQ(cell_type(info), Type::object);
  auto field = [&](const char* name) { return *context_word_value_cell(symbol_intern_bytes(name), info.w1); };
  EXPECT_TRUE(utf8_of(field("name")).starts_with("Linux"));
  EXPECT_EQ(field("arch").w2, symbol_intern_bytes(architecture_name(names.machine)));
  Cell version = field("version");
  ASSERT_EQ(cell_type(version), Type::tuple);
  std::array<int32_t, 3> expected = kernel_version(names.release);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(tuple_bytes(version)[i], expected[i]);
  EXPECT_EQ(cell_type(field("build")), Type::integer);
}

}  // namespace
}  // namespace qel
