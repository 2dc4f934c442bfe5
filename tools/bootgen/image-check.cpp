// image-check.cpp: decoding, re-encoding and booting a boot image in a fresh runtime.
#include "tools/bootgen/image-check.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

#include "evaluator/boot-check.h"
#include "evaluator/boot-source.h"
#include "evaluator/spec-table.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/gc-root.h"
#include "runtime/os.h"
#include "runtime/quit.h"
#include "runtime/runtime-record.h"
#include "runtime/startup.h"

extern char** environ;

namespace qel::bootgen {

namespace {

// A file the check needs, read by `read`; its absence fails the check rather than reading as
// empty.
std::string needed_file(const std::string& file,
                        std::string (*read)(const std::string&, const std::string&) = boot_file_text) {
  try {
    return read(file, file);
  } catch (const BootSourceError& error) {
    fail(error.what());
  }
}

// The literals the decoding left: one module block each, encoding back to the image's bytes
// with the language's definitions before them.
void check_literals(std::span<const uint8_t> image, size_t modules) {
  const uint32_t literals = literal_count();
  if (literals != modules)
    fail("the image holds " + std::to_string(literals) + " literals for " + std::to_string(modules) + " modules");
  const Cell* first = literal_slot(0);
  GcRoot<Cell> definitions(language_definitions());
  const std::vector<uint8_t> again = qelbin_encode_boot_image(*definitions, {first, modules});
  if (!std::equal(again.begin(), again.end(), image.begin(), image.end()))
    fail("the decoded image does not encode to the same bytes");
}

// The steps that end the program's start-up, up to the library's boot.
void boot_library() {
  for (const StartStep& step : entry_finish_steps()) {
    if (std::string_view(step.name) == "launch") break;
    step.run();
  }
}

}  // namespace

void fail(const std::string& message) {
  std::fprintf(stderr, "qel-bootgen: %s\n", message.c_str());
  quit_return(1);
}

int check_image(const std::string& image_file, const std::string& allow_list, std::span<const std::string> paths,
                int argc, char** argv) {
  const std::string image = needed_file(image_file);
  const std::vector<std::string_view> views(paths.begin(), paths.end());
  runtime.boot_image = reinterpret_cast<const uint8_t*>(image.data());
  runtime.boot_image_size = image.size();
  runtime.boot_module_paths = views;
  os_start(argc, argv);
  under_root_catch([&] {
    start_runtime();
    check_literals({runtime.boot_image, runtime.boot_image_size}, paths.size());
    boot_library();
    const std::vector<std::string> findings = check_unset_words(views, allow_list_words(needed_file(allow_list, boot_source_text)));
    for (const std::string& finding : findings) std::fprintf(stderr, "qel-bootgen: %s\n", finding.c_str());
    if (!findings.empty()) fail("the library's boot check failed");
  });
  quit_return(0);
}

bool image_passes(const std::string& image_file, const std::string& allow_list, std::span<const std::string> paths) {
  std::vector<std::string> arguments{"qel-bootgen", "--check", image_file, allow_list};
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child;
  if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return false;  // the child's verdict is lost: not a pass
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qel::bootgen
