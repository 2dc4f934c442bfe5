// qelbin-fuzz-test.cpp: seeded mutations of valid images of both variants decode to values that
// mold and encode again, or raise one of the codec's catalog errors; nothing reads outside its
// buffer.
#include <random>

#include "qelbin-fixture.h"

namespace qel::testing {
namespace {

// The errors decoding may raise.
bool codec_error(const std::string& name) {
  return name == "script/rb-invalid-record" || name == "script/invalid-data" || name == "access/no-codec" ||
         name == "internal/stack-overflow" || name == "internal/no-memory";
}

std::vector<uint8_t> mutated(std::vector<uint8_t> bytes, std::mt19937& random) {
  for (uint32_t n = 1 + random() % 4; n > 0 && !bytes.empty(); --n) {
    const size_t at = random() % bytes.size();
    switch (random() % 6) {
      case 0: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
      case 1: bytes[at] = static_cast<uint8_t>(random()); break;
      case 2: bytes.erase(bytes.begin() + static_cast<ptrdiff_t>(at)); break;
      case 3: bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(at), static_cast<uint8_t>(random())); break;
      case 4: bytes[at] = static_cast<uint8_t>(random() % 2 ? 0xC1 : 0xFF); break;  // a reference
      default: bytes.resize(at); break;
    }
  }
  return bytes;
}

TEST_F(QelbinTest, MutatedImagesDecodeToUsableValuesOrCatalogErrors) {
  const char* codes[] = {
      "100", "-3.0", "25%", "\"h\xC3\xA9llo\"", "1.2.3.4", "[a b a]", "b: [1] reduce [b b]", "b: [1] append/only b b",
      "make object! [a: 1 b: [x y] c: \"z\"]", "func [a] [a * 2]", ":append", "try [1 / 0]",
      "m: make map! [a 1 b 2] remove/key m 'a m", "make hash! [x 1]", "make vector! [float! 32 [1.5 2.5]]",
      "1-Feb-2020/10:20:30+5:30", "-$12.34", "make op! func [a b] [a + b]", "complement make bitset! \"ab\"",
      "o: make object! [x: 1 on-change*: func [w o n] [x: n]] reduce [o in o 'x]",
  };
  std::vector<std::vector<uint8_t>> images;
  for (const char* code : codes)
    for (bool compact : {true, false}) images.push_back(encoded(eval_text(code), compact));
  std::mt19937 random(20261211);
  for (int round = 0; round < 30000; ++round) {
    // Mostly the records alone change, under a header that fits them; now and then the whole image.
    const std::vector<uint8_t>& original = images[random() % images.size()];
    std::vector<uint8_t> bytes;
    if (!(original[7] & 1)) {
      // The record variant: a body length that fits the mutated records, when there are no
      // symbols to skip.
      bytes = mutated(original, random);
      if (bytes.size() >= 16 && !(original[7] & 4) && random() % 2)
        for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<uint8_t>((bytes.size() - 16) >> (8 * i));
    } else if (random() % 8 == 0) {
      bytes = mutated(original, random);
    } else {
      const Parts parts = parts_of(original);
      bytes = image(mutated(parts.body, random), parts.names);
    }
    Cell decoded;
    const Caught caught = trap_errors([&] { decoded = decode(bytes); });
    if (caught.taken == kThrowError) {
      stack_drop(1);
      ASSERT_TRUE(codec_error(error_name(last_built.id))) << error_name(last_built.id) << " in round " << round;
      continue;
    }
    root_slot_append(decoded);
    // A decoded value is one the rest of the system can use: it molds and encodes again.
    define("qelbin-probe", decoded);
    const Outcome molded = run("mold/all :qelbin-probe");
    ASSERT_TRUE(molded.code == 0 || codec_error(error_name(molded.error)) ||
                error_name(molded.error) == "internal/stack-overflow")
        << "round " << round;
    const Caught encoded = trap_errors([&] { (void)qelbin_encode_compact(decoded); });
    if (encoded.taken == kThrowError) {
      stack_drop(1);
      ASSERT_TRUE(codec_error(error_name(last_built.id))) << error_name(last_built.id) << " in round " << round;
    }
  }
}

}  // namespace
}  // namespace qel::testing
