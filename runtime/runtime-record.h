// runtime-record.h: the process-wide record shared by start-up, the catch scheme and the OS layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qel {

struct RuntimeRecord {
  int argument_count = 0;            // program name included
  char** argument_vector = nullptr;  // the arguments' bytes as given (UTF-8 by convention), NUL-terminated; null-terminated array
  char** environment_vector = nullptr;
  uint32_t thrown_code = 0;          // the code of the last throw, kept after it is handled
  const uint8_t* boot_image = nullptr;  // the serialized library start-up decodes; none in a bare runtime
  size_t boot_image_size = 0;
  std::span<const std::string_view> boot_module_paths;  // the image's modules, in literal order
  bool boot_flag = false;            // set while start-up makes words the library will hold
};

extern RuntimeRecord runtime;

}  // namespace qel
