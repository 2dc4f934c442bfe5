// main.cpp: qel-bootgen, the boot image generator.
//
//   qel-bootgen SOURCE-ROOT OUTPUT-DIR DEPFILE ALLOW-LIST MANIFEST...
//
// loads the modules the manifests list (paths from SOURCE-ROOT) with the program's lexer in a
// bare runtime, encodes them as the boot image, has a fresh runtime check and boot it, then
// writes OUTPUT-DIR/boot.qelbin, OUTPUT-DIR/boot-image.cpp and the DEPFILE naming every file
// read. Any failure names the file and line (or offset) and ends with status 1, writing
// nothing. Nothing written depends on time, hash or pointer order, or absolute paths.
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "evaluator/boot-check.h"
#include "evaluator/boot-source.h"
#include "evaluator/library-routines.h"
#include "evaluator/system-object.h"
#include "runtime/fault-signals.h"
#include "runtime/language-thread.h"
#include "runtime/quit.h"
#include "runtime/startup.h"
#include "tools/bootgen/image-check.h"
#include "tools/bootgen/image-files.h"

namespace qel::bootgen {

namespace {

struct Arguments {
  std::string root, output, depfile, allow_list;
  std::vector<std::string> manifests;
};

// The image of the sources, once every routine they make names a declared entry.
std::vector<uint8_t> image_of(const BootSources& sources) {
  if (sources.paths.empty()) fail("the manifests list no module");
  register_system_routines();
  register_library_routines();
  const std::vector<BootModule> modules = sources.modules();
  // Loading first: a module the lexer refuses is reported with its path and line, before the
  // routine check reads the modules again.
  std::vector<uint8_t> image = boot_image_from_sources(modules);
  const std::vector<std::string> findings = check_routine_entries(modules);
  for (const std::string& finding : findings) std::fprintf(stderr, "qel-bootgen: %s\n", finding.c_str());
  if (!findings.empty()) fail("the library's routines name undeclared entries");
  return image;
}

void generate(const Arguments& arguments) {
  start_runtime();  // no image: nothing is decoded or evaluated
  std::vector<uint8_t> image;
  BootSources sources;
  try {
    sources = read_boot_sources(arguments.root, arguments.manifests);
    image = image_of(sources);
  } catch (const BootSourceError& error) {
    fail(error.what());
  }
  const std::filesystem::path output(arguments.output);
  const std::string checked = (output / "boot.qelbin.new").string();
  write_file(checked, image);
  if (!image_passes(checked, arguments.allow_list, sources.paths)) {
    std::filesystem::remove(checked);
    fail("the boot image failed its checks");
  }
  std::filesystem::rename(checked, output / "boot.qelbin");
  const std::string source = boot_image_source(image, sources.paths);
  const std::string cpp = (output / "boot-image.cpp").string();
  write_file(cpp, {reinterpret_cast<const uint8_t*>(source.data()), source.size()});
  std::vector<std::string> files = sources.files_read;
  files.push_back(arguments.allow_list);
  const std::string rule = dependency_rule(cpp, files);
  write_file(arguments.depfile, {reinterpret_cast<const uint8_t*>(rule.data()), rule.size()});
}

int run(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 3 && args[0] == "--check")
    return check_image(args[1], args[2], std::span(args).subspan(3), argc, argv);
  if (args.size() < 5) fail("usage: qel-bootgen SOURCE-ROOT OUTPUT-DIR DEPFILE ALLOW-LIST MANIFEST...");
  try {
    generate({args[0], args[1], args[2], args[3], {args.begin() + 4, args.end()}});
  } catch (const std::exception& error) {
    fail(error.what());
  }
  quit_return(0);
}

}  // namespace

}  // namespace qel::bootgen

int main(int argc, char** argv) {
  qel::install_fault_handlers();
  return qel::run_on_language_thread([argc, argv] { return qel::bootgen::run(argc, argv); });
}
