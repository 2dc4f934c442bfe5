// os-environment.cpp: current directory and environment variables through POSIX calls.
//
// The C calls read NUL-terminated text, so a name or value with an embedded NUL would silently
// name another variable or lose its tail: such text is refused instead.
#include "runtime/os-environment.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace qel {

namespace {

bool holds_nul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

bool is_valid_name(std::string_view name) {
  return !name.empty() && name.find('=') == std::string_view::npos && !holds_nul(name);
}

}  // namespace

std::optional<std::string> os_get_current_dir() {
  std::string path(256, '\0');
  for (;;) {
    if (getcwd(path.data(), path.size())) {
      path.resize(path.find('\0'));
      return path;
    }
    if (errno != ERANGE) return std::nullopt;
    path.resize(path.size() * 2);
  }
}

bool os_set_current_dir(std::string_view path) {
  if (holds_nul(path)) return false;
  return chdir(std::string(path).c_str()) == 0;
}

std::optional<std::string> os_get_env(std::string_view name) {
  if (!is_valid_name(name)) return std::nullopt;
  const char* value = std::getenv(std::string(name).c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

bool os_set_env(std::string_view name, std::optional<std::string_view> value) {
  if (!is_valid_name(name) || (value && holds_nul(*value))) return false;
  std::string key(name);
  if (!value) return unsetenv(key.c_str()) == 0;
  return setenv(key.c_str(), std::string(*value).c_str(), 1) == 0;
}

std::vector<std::pair<std::string, std::string>> os_environment_list() {
  std::vector<std::pair<std::string, std::string>> variables;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const size_t split = text.empty() ? std::string_view::npos : text.find('=', 1);
    if (split == std::string_view::npos) variables.emplace_back(text, "");
    else variables.emplace_back(text.substr(0, split), text.substr(split + 1));
  }
  return variables;
}

}  // namespace qel
