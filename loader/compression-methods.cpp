// compression-methods.cpp: the method words by canonical symbol.
#include "loader/compression-methods.h"

#include <array>

#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr const char* kMethodNames[] = {"zlib", "deflate", "gzip"};
std::array<uint32_t, std::size(kMethodNames)> method_symbols{};

}  // namespace

void init_compression_methods() {
  for (size_t k = 0; k < std::size(kMethodNames); ++k)
    method_symbols[k] = symbol_canonical(symbol_intern_cstring(kMethodNames[k]));
}

std::optional<CompressionMethod> compression_method_of(const Cell& word) {
  const uint32_t canonical = symbol_canonical(word.w2);
  for (size_t k = 0; k < method_symbols.size(); ++k)
    if (method_symbols[k] == canonical) return static_cast<CompressionMethod>(k);
  return std::nullopt;
}

}  // namespace qel
