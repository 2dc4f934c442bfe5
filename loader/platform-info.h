// platform-info.h: the operating system's name, architecture, version and build, as os-info
// shows them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// The architecture word for a machine name of uname: x86_64 x86-64, aarch64 ARM64, i?86 x86-32,
// arm* ARM, ia64 IA-64, anything else Unknown.
std::string_view architecture_name(std::string_view machine);
// The first three numbers of a kernel release ("6.8.0-45-generic": 6 8 0), missing ones 0, each
// at most 255 (a tuple component's range).
std::array<int32_t, 3> kernel_version(std::string_view release);
// The number after "#" in uname's version text, else 0.
int32_t kernel_build(std::string_view version);
// "Linux " and the PRETTY_NAME of an os-release text, or "Linux" without one.
std::string system_name(std::string_view os_release);

// os-info-version: a new object! with name (string!), arch (word!), version (tuple! of 3) and
// build (integer!) of the running system.
Cell os_info_version();

}  // namespace qel
