// compression-methods.h: the method words of compress and decompress.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/cell.h"

namespace qel {

enum class CompressionMethod : uint8_t { zlib, deflate, gzip };

// The start-up step: interns zlib, deflate and gzip.
void init_compression_methods();

// The method a word names (letter case ignored), or nothing.
std::optional<CompressionMethod> compression_method_of(const Cell& word);

}  // namespace qel
