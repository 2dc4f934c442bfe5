// image-files.h: what the boot image generator writes: the image itself, the C++ source that
// embeds it with its module paths, and the dependency file the build reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qel::bootgen {

// Writes the bytes to the file, whole, or raises std::runtime_error naming it.
void write_file(const std::string& file, std::span<const uint8_t> bytes);

// The C++ source defining qel_boot_image, its size and the module paths (runtime/boot-image.h).
std::string boot_image_source(std::span<const uint8_t> image, std::span<const std::string> paths);

// A make-style rule: the target depends on every file listed.
std::string dependency_rule(const std::string& target, std::span<const std::string> files);

}  // namespace qel::bootgen
