// boot-source.h: the library's modules as the program carries them: each module's path and
// its UTF-8 text, in the order start-up evaluates them.
//
// The definition is generated from the boot manifests into the qel-boot library, which the
// program, the tests and the benchmarks link.
#pragma once

#include <span>
#include <string_view>

namespace qel {

struct BootModule {
  std::string_view path;  // from the source root, as the manifest lists it
  std::string_view text;
};

std::span<const BootModule> embedded_boot_modules();

}  // namespace qel
