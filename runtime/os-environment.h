// os-environment.h: the process's current directory and environment variables.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel {

// The current directory as UTF-8 bytes, without a trailing terminator; nullopt on failure.
std::optional<std::string> os_get_current_dir();

// Changes the current directory; false (directory unchanged) on failure.
bool os_set_current_dir(std::string_view path);

// The variable's value; nullopt when it is not set, which an empty value is not.
std::optional<std::string> os_get_env(std::string_view name);

// Sets the variable, or removes it when `value` is nullopt. A name that is empty or holds "="
// or a NUL, or a value holding a NUL, is refused: false, and the environment stays as it was.
bool os_set_env(std::string_view name, std::optional<std::string_view> value);

// Every variable as a (name, value) pair: each entry split at its first "=" that is not its
// first character (a name may start with "="); an entry without one is a name with an empty value.
std::vector<std::pair<std::string, std::string>> os_environment_list();

}  // namespace qel
