// random.h: the process-wide pseudo-random generator and the secure random source.
//
// The generator is a Mersenne Twister of 624 words whose right shifts are arithmetic (they copy
// the sign bit), so its outputs differ from the textbook generator's and lie in 0..2^31-1. Its
// exact sequence matters: `random/seed` makes runs reproducible. Only the language thread uses it.
#pragma once

#include <cstdint>

namespace qel {

// The seed of the start-up state.
inline constexpr int32_t kRandomStartSeed = 19650218;

// The start-up step: seeds the generator with kRandomStartSeed.
void random_init();

// Reseeds the generator; the next output tempers the first seeded word.
void random_seed(int32_t seed);

// The next output of the generator, 0 to 2147483647.
int32_t random_next();

// Four bytes of the system's secure source and'ed with 0x7FFFFFFF; leaves the generator alone.
int32_t random_secure();

// A uniform integer in 1..n for n > 0 and in n..-1 for n < 0, 0 for n = 0, drawn from the
// secure source when secure is set, else from the generator.
int32_t random_integer(bool secure, int32_t n);

}  // namespace qel
