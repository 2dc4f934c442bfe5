// qelbin-compressed-test.cpp: images whose flags say compressed: the bytes after the flags byte
// are a stream of the runtime's LZ77 format, and the body is read from its output.
#include "loader/compression/lz77.h"
#include "qelbin-fixture.h"

namespace qel::testing {
namespace {

TEST_F(QelbinTest, ACompressedImageDecodesFromItsUnpackedBody) {
  EXPECT_EQ(mold_all(decode(unhex("51454C42494E02030A0000000500000005000000020C58802C00"))), "100");
  // A chunk shorter than its match, a decoded size its chunks do not make: corrupt data.
  EXPECT_EQ(decode_error(unhex("51454C42494E02030A0000000500000004000000020C58802C00")), "script/invalid-data");
  EXPECT_EQ(decode_error(unhex("51454C42494E02030A0000000600000005000000020C58802C00")), "script/invalid-data");
}

// An image made by the encoder, compressed by the chunk encoder, comes back as the value.
TEST_F(QelbinTest, CompressedImagesOfTheEncoderRoundTrip) {
  const Cell value = eval_text("b: copy [] repeat i 300 [append b reduce [i \"some text\" 'word [1 2]]] b");
  std::vector<uint8_t> plain = encoded(value);
  const size_t after_flags = 8;
  std::vector<uint8_t> packed(plain.size() - after_flags);
  int32_t size = compress_bytes(plain.data() + after_flags, static_cast<int32_t>(packed.size()), packed.data());
  ASSERT_GT(size, 0);
  std::vector<uint8_t> image(plain.begin(), plain.begin() + after_flags);
  image[after_flags - 1] |= 2;  // compressed
  image.insert(image.end(), packed.begin(), packed.begin() + size);
  EXPECT_LT(image.size(), plain.size());
  EXPECT_EQ(mold_all(decode(image)), mold_all(value));
}

}  // namespace
}  // namespace qel::testing
