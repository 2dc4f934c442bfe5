// murmur-hash.h: MurmurHash3 (x86, 32-bit) over byte runs, its finaliser as the hash of one
// 32-bit word, and the case fold of text hashes and comparisons.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace qel {

// The seed of every table hash: fixed for the whole run (and across runs), so a hash never
// depends on when it was taken.
inline constexpr uint32_t kHashSeed = 0x5EED0F1Eu;

// One 32-bit block mixed into the running state.
constexpr uint32_t murmur_mix_block(uint32_t h, uint32_t k) {
  k *= 0xCC9E2D51u;
  k = std::rotl(k, 15);
  k *= 0x1B873593u;
  h ^= k;
  h = std::rotl(h, 13);
  return h * 5 + 0xE6546B64u;
}

// The 1 to 3 tail bytes, gathered into k, mixed without the state step.
constexpr uint32_t murmur_mix_tail(uint32_t h, uint32_t k) {
  k *= 0xCC9E2D51u;
  k = std::rotl(k, 15);
  k *= 0x1B873593u;
  return h ^ k;
}

// The finaliser: every input bit reaches every output bit.
constexpr uint32_t murmur_fmix32(uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

// MurmurHash3 x86 32-bit of `length` bytes with a seed; blocks are read little-endian.
uint32_t murmur3_x86_32(const void* data, size_t length, uint32_t seed);

// hash-bytes: the hash of a byte run with the tables' seed.
inline uint32_t hash_bytes(const void* data, size_t length) { return murmur3_x86_32(data, length, kHashSeed); }

// The word hash: the finaliser alone (no seed, no length).
constexpr uint32_t word_hash(uint32_t value) { return murmur_fmix32(value); }

// The case fold of every case-insensitive hash and comparison of text: the upper-case map.
uint32_t case_fold(uint32_t code_point);

}  // namespace qel
