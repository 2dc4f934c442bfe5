// platform-info.cpp: uname for the kernel and machine, /etc/os-release for the distribution.
#include "loader/platform-info.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cctype>
#include <climits>

#include "datatypes/scalars/tuple.h"
#include "evaluator/object.h"
#include "loader/file-bytes.h"
#include "loader/text-from-bytes.h"
#include "runtime/contexts.h"
#include "runtime/gc-root.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr int32_t kMostComponent = 255;
constexpr uint64_t kMostOsReleaseBytes = 65536;
constexpr std::string_view kPrettyName = "PRETTY_NAME=";

// The number at the start of text (advancing past it), clamped to `most`; none when no digit.
std::optional<int64_t> take_number(std::string_view& text, int64_t most) {
  size_t digits = 0;
  int64_t value = 0;
  for (; digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])); ++digits)
    value = std::min<int64_t>(value * 10 + (text[digits] - '0'), most);
  if (digits == 0) return std::nullopt;
  text.remove_prefix(digits);
  return value;
}

Cell word_named(std::string_view name) { return make_cell(Type::word, 0, symbol_intern_bytes(name), kUnresolved); }

void add_field(const Cell& object, std::string_view name, const Cell& value) {
  GcRoot<Cell> kept(value);
  context_add_value(object.w1, word_named(name), *kept);
}

}  // namespace

std::string_view architecture_name(std::string_view machine) {
  if (machine == "x86_64") return "x86-64";
  if (machine == "aarch64") return "ARM64";
  if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return "x86-32";
  if (machine.starts_with("arm")) return "ARM";
  if (machine == "ia64") return "IA-64";
  return "Unknown";
}

std::array<int32_t, 3> kernel_version(std::string_view release) {
  std::array<int32_t, 3> numbers{};
  for (int32_t& number : numbers) {
    std::optional<int64_t> taken = take_number(release, kMostComponent);
    if (!taken) break;
    number = static_cast<int32_t>(*taken);
    if (!release.starts_with('.')) break;
    release.remove_prefix(1);
  }
  return numbers;
}

int32_t kernel_build(std::string_view version) {
  size_t hash = version.find('#');
  if (hash == std::string_view::npos) return 0;
  version.remove_prefix(hash + 1);
  return static_cast<int32_t>(take_number(version, INT32_MAX).value_or(0));
}

std::string system_name(std::string_view os_release) {
  for (size_t at = 0; at < os_release.size();) {
    size_t end = std::min(os_release.find('\n', at), os_release.size());
    std::string_view line = os_release.substr(at, end - at);
    at = end + 1;
    if (!line.starts_with(kPrettyName)) continue;
    line.remove_prefix(kPrettyName.size());
    if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') && line.back() == line.front())
      line = line.substr(1, line.size() - 2);
    if (!line.empty()) return "Linux " + std::string(line);
  }
  return "Linux";
}

Cell os_info_version() {
  utsname names{};
  ::uname(&names);
  FileBytes os_release;
  std::string_view release_text;
  if (read_file_bytes("/etc/os-release", {0, kMostOsReleaseBytes}, kMostOsReleaseBytes, os_release) == ReadStatus::ok)
    release_text = {reinterpret_cast<const char*>(os_release.data.get()), os_release.size};
  std::array<int32_t, 3> version = kernel_version(names.release);
  GcRoot<Cell> object(object_make_empty(4));
  add_field(*object, "name", string_from_os_text(system_name(release_text)));
  add_field(*object, "arch", word_named(architecture_name(names.machine)));
  Cell tuple = *tuple_push_components(version);
  stack_drop(1);
  add_field(*object, "version", tuple);
  add_field(*object, "build", make_cell(Type::integer, 0, static_cast<uint32_t>(kernel_build(names.version))));
  return *object;
}

}  // namespace qel
