// Hashing: hash-bytes against a plain MurmurHash3 written the textbook way, and the folded
// string hash of 1-byte text against hash-bytes over the same number of 32-bit blocks (the
// text widened to 4 bytes a code point, as the string hash mixes it).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/murmur-hash.h"
#include "runtime/text-hash.h"

namespace qel {
namespace {

// The textbook MurmurHash3 x86_32: byte-wise block reads, one function.
uint32_t reference_murmur3(const void* key, size_t len, uint32_t seed) {
  const auto* data = static_cast<const uint8_t*>(key);
  const size_t nblocks = len / 4;
  uint32_t h1 = seed;
  const uint32_t c1 = 0xcc9e2d51, c2 = 0x1b873593;
  for (size_t i = 0; i < nblocks; ++i) {
    uint32_t k1 = uint32_t{data[4 * i]} | uint32_t{data[4 * i + 1]} << 8 | uint32_t{data[4 * i + 2]} << 16 |
                  uint32_t{data[4 * i + 3]} << 24;
    k1 *= c1;
    k1 = (k1 << 15) | (k1 >> 17);
    k1 *= c2;
    h1 ^= k1;
    h1 = (h1 << 13) | (h1 >> 19);
    h1 = h1 * 5 + 0xe6546b64;
  }
  const uint8_t* tail = data + nblocks * 4;
  uint32_t k1 = 0;
  switch (len & 3) {
    case 3: k1 ^= uint32_t{tail[2]} << 16; [[fallthrough]];
    case 2: k1 ^= uint32_t{tail[1]} << 8; [[fallthrough]];
    case 1:
      k1 ^= tail[0];
      k1 *= c1;
      k1 = (k1 << 15) | (k1 >> 17);
      k1 *= c2;
      h1 ^= k1;
  }
  h1 ^= static_cast<uint32_t>(len);
  h1 ^= h1 >> 16;
  h1 *= 0x85ebca6b;
  h1 ^= h1 >> 13;
  h1 *= 0xc2b2ae35;
  h1 ^= h1 >> 16;
  return h1;
}

std::string text_of_length(size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text.push_back("The Quick Brown Fox, 42!"[i % 24]);
  return text;
}

template <uint32_t (*Hash)(const void*, size_t, uint32_t)>
void bytes_case(benchmark::State& state, size_t length) {
  std::string text = text_of_length(length);
  for (auto _ : state) benchmark::DoNotOptimize(Hash(text.data(), text.size(), kHashSeed));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void string_hash_qel(benchmark::State& state, size_t length) {
  std::string text = text_of_length(length);
  UnitText units{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 1};
  for (auto _ : state) benchmark::DoNotOptimize(hash_text(units, false));
}

void string_hash_widened_bytes(benchmark::State& state, size_t length) {
  std::string text = text_of_length(length);
  std::vector<uint32_t> widened(text.begin(), text.end());
  for (auto _ : state) benchmark::DoNotOptimize(hash_bytes(widened.data(), widened.size() * 4));
}

const bool registered = [] {
  for (size_t length : {16, 256, 65536}) {
    std::string size = std::to_string(length);
    benchmark::RegisterBenchmark(("hash-bytes-" + size + "/qel").c_str(), bytes_case<murmur3_x86_32>, length);
    benchmark::RegisterBenchmark(("hash-bytes-" + size + "/reference").c_str(), bytes_case<reference_murmur3>, length);
    benchmark::RegisterBenchmark(("string-hash-folded-unit1-" + size + "/qel").c_str(), string_hash_qel, length);
    benchmark::RegisterBenchmark(("string-hash-folded-unit1-" + size + "/hash-bytes").c_str(),
                                 string_hash_widened_bytes, length);
  }
  return true;
}();

}  // namespace
}  // namespace qel
