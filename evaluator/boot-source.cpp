// boot-source.cpp: reading the library's manifests and modules, and loading them into the boot
// image.
#include "evaluator/boot-source.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "datatypes/series/block-core.h"
#include "datatypes/series/utf8-decode.h"
#include "evaluator/scoped-restore.h"
#include "evaluator/spec-table.h"
#include "loader/lexer/lexer.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace fs = std::filesystem;

std::string boot_file_text(const std::string& file, const std::string& shown) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream) throw BootSourceError(shown + ": cannot be read");
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

namespace {

void require_utf8(const std::string& text, const std::string& path) {
  const auto* start = reinterpret_cast<const uint8_t*>(text.data());
  const uint8_t* bad = utf8_first_ill_formed(start, start + text.size());
  if (bad != start + text.size()) throw BootSourceError(path + ": not UTF-8 at byte " + std::to_string(bad - start));
}

// A line a merge leaves around a conflict: seven of one marker character, then the end of the
// line or a space and a label.
bool conflict_marker(std::string_view line) {
  for (std::string_view marker : {"<<<<<<<", "|||||||", "=======", ">>>>>>>"})
    if (line.starts_with(marker)) return line.size() == 7 || line[7] == ' ' || line[7] == '\r';
  return false;
}

void require_no_conflict_markers(const std::string& text, const std::string& path) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number)
    if (conflict_marker(line))
      throw BootSourceError(path + ":" + std::to_string(number) + ": a merge conflict marker: resolve the conflict");
}

// The paths a manifest lists, from the source root.
std::vector<std::string> listed_paths(const fs::path& root, const fs::path& manifest) {
  const std::string shown = manifest.lexically_relative(root).generic_string();
  std::istringstream lines(boot_source_text(manifest, shown));
  std::vector<std::string> paths;
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == ';') continue;
    const std::string entry = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
    const fs::path file = (manifest.parent_path() / entry).lexically_normal();
    if (!fs::is_regular_file(file))
      throw BootSourceError(shown + ":" + std::to_string(number) + ": no such file: " + entry);
    paths.push_back(file.lexically_relative(root).generic_string());
  }
  return paths;
}

}  // namespace

std::string boot_source_text(const std::string& file, const std::string& shown) {
  std::string text = boot_file_text(file, shown);
  require_utf8(text, shown);
  require_no_conflict_markers(text, shown);
  return text;
}

std::vector<std::string_view> module_paths(std::span<const BootModule> modules) {
  std::vector<std::string_view> paths;
  for (const BootModule& module : modules) paths.push_back(module.path);
  return paths;
}

std::vector<BootModule> BootSources::modules() const {
  std::vector<BootModule> modules;
  for (size_t i = 0; i < paths.size(); ++i) modules.push_back({paths[i], texts[i]});
  return modules;
}

BootSources read_boot_sources(const std::string& root, std::span<const std::string> manifests) {
  const fs::path base = fs::path(root).lexically_normal();
  BootSources sources;
  for (const std::string& manifest : manifests) {
    const fs::path listed = fs::path(manifest).lexically_normal();
    sources.files_read.push_back(listed.string());
    for (const std::string& path : listed_paths(base, listed)) {
      const fs::path file = base / path;
      sources.files_read.push_back(file.string());
      sources.texts.push_back(boot_source_text(file, path));
      sources.paths.push_back(path);
    }
  }
  return sources;
}

std::vector<uint8_t> boot_image_from_sources(std::span<const BootModule> modules) {
  GcRoot<Cell> blocks;
  block_make_at(*blocks, static_cast<int64_t>(modules.size()));
  for (const BootModule& module : modules) {
    GcRoot<Cell> block;
    ScopedRestore<Cell*> stack_top(value_stack.top);
    const Caught caught = trap_errors([&] {
      lexer_transcode(*block, {reinterpret_cast<const uint8_t*>(module.text.data()), module.text.size()}, LexerRequest{});
    });
    if (caught.taken == kThrowError)
      throw BootSourceError(std::string(module.path) + ": " + formed_error_text(*stack_last_value()));
    *block_append_fresh_slot(*blocks) = *block;
  }
  GcRoot<Cell> definitions(language_definitions());
  return qelbin_encode_boot_image(*definitions, {series_buffer(blocks->w2)->head_cell(), modules.size()});
}

}  // namespace qel
