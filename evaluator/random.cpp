// random.cpp: the signed-shift Mersenne Twister and the secure draw over the secure random bytes.
#include "evaluator/random.h"

#include <array>
#include <cstddef>
#include <limits>

#include "evaluator/crypto.h"

namespace qel {

namespace {

constexpr int kWords = 624;
constexpr int kTwistOffset = 397;
constexpr uint32_t kMatrix = 0x9908B0DF;
constexpr uint32_t kUpperMask = 0x80000000;
constexpr uint32_t kLowerMask = 0x7FFFFFFF;
constexpr uint32_t kSeedMultiplier = 1812433253;

// Right shift that copies the sign bit, as every right shift of this generator does.
constexpr uint32_t shift_right(uint32_t y, int n) { return static_cast<uint32_t>(static_cast<int32_t>(y) >> n); }

// The generator's state. Invariant: 0 <= index <= kWords; index kWords asks for regeneration.
struct Generator {
  std::array<uint32_t, kWords> words;
  int index;
};

// The state seeded with seed: each word from the one before, wrapping at 32 bits; no
// regeneration, so the first kWords outputs temper the seeded words themselves.
constexpr Generator seeded(uint32_t seed) {
  Generator state{};
  state.words[0] = seed;
  for (int i = 1; i < kWords; ++i) {
    uint32_t previous = state.words[i - 1];
    state.words[i] = kSeedMultiplier * (previous ^ shift_right(previous, 30)) + static_cast<uint32_t>(i);
  }
  state.index = 0;
  return state;
}

// Starts in the start-up state, so no draw can meet an unseeded generator.
constinit Generator generator = seeded(static_cast<uint32_t>(kRandomStartSeed));

// Replaces every word by the twist of itself, its successor and the word kTwistOffset on.
void regenerate(Generator& state) {
  for (int i = 0; i < kWords; ++i) {
    uint32_t y = (state.words[i] & kUpperMask) | (state.words[(i + 1) % kWords] & kLowerMask);
    state.words[i] = state.words[(i + kTwistOffset) % kWords] ^ shift_right(y, 1) ^ ((y & 1) != 0 ? kMatrix : 0);
  }
  state.index = 0;
}

// Tempers a word; the first and the last step clear bit 31, so the result is not negative.
constexpr uint32_t temper(uint32_t y) {
  y ^= shift_right(y, 11);
  y ^= (y << 7) & 0x9D2C5680;
  y ^= (y << 15) & 0xEFC60000;
  y ^= shift_right(y, 18);
  return y;
}

// One draw from the secure source or the generator.
int32_t draw(bool secure) { return secure ? random_secure() : random_next(); }

}  // namespace

void random_init() { random_seed(kRandomStartSeed); }

void random_seed(int32_t seed) { generator = seeded(static_cast<uint32_t>(seed)); }

int32_t random_next() {
  if (generator.index == kWords) regenerate(generator);
  return static_cast<int32_t>(temper(generator.words[generator.index++]));
}

int32_t random_secure() {
  uint32_t word = 0;
  crypt_random_bytes(reinterpret_cast<uint8_t*>(&word), sizeof word);
  return static_cast<int32_t>(word & kLowerMask);
}

int32_t random_integer(bool secure, int32_t n) {
  if (n == 0) return 0;
  if (n == std::numeric_limits<int32_t>::min()) return -1 - draw(secure);
  if (n < 0) return -random_integer(secure, -n);
  // Draws at or above the largest multiple of n would favour the small results: draw again.
  int32_t limit = std::numeric_limits<int32_t>::max() / n * n;
  int32_t r;
  do {
    r = draw(secure);
  } while (r >= limit);
  return r % n + 1;
}

}  // namespace qel
