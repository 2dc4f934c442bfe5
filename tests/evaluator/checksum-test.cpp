// The exported checksum routines, a digest the crypto library refuses, and checksum of a file!.
#include <openssl/evp.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "datatypes/series/binary.h"
#include "evaluator/checksum-native.h"
#include "evaluator/crypto.h"
#include "runtime/checksum.h"
#include "tests/evaluator/eval-fixture.h"

namespace qel::testing {
namespace {

std::span<const uint8_t> bytes_of(std::string_view text) { return {reinterpret_cast<const uint8_t*>(text.data()), text.size()}; }

TEST(ChecksumRoutines, KnownValuesAndLongRuns) {
  EXPECT_EQ(crc32_compute(bytes_of("123456789")), 0xCBF43926u);
  EXPECT_EQ(crc32_compute({}), 0u);
  EXPECT_EQ(adler32_compute(bytes_of("Wikipedia")), 0x11E60398u);
  EXPECT_EQ(adler32_compute({}), 1u);
  EXPECT_EQ(tcp_checksum(bytes_of("\x01")), 0xFEFF);
  EXPECT_EQ(tcp_checksum({}), 0xFFFF);
  // Words of 0xFFFF sum to a multiple of 0xFFFF, which folds to 0xFFFF whatever the count.
  const std::vector<uint8_t> high(1 << 20, 0xFF);
  EXPECT_EQ(tcp_checksum(high), 0);
  // Adler's sums stay exact over many blocks of the largest bytes.
  EXPECT_EQ(adler32_compute(high), 0x8E88EF11u);
}

TEST(ChecksumRoutines, CrcGoesOnAcrossPartsAtEveryCut) {
  std::vector<uint8_t> data(37);
  for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<uint8_t>(k * 89 + 7);
  const uint32_t whole = crc32_compute(data);
  for (size_t cut = 0; cut <= data.size(); ++cut) {
    const std::span<const uint8_t> all(data);
    EXPECT_EQ(crc32_update(crc32_compute(all.first(cut)), all.subspan(cut)), whole) << cut;
  }
}

TEST(ChecksumRoutines, HmacOfALongKeyIsThatOfItsDigest) {
  crypt_provider_acquire();
  const std::vector<uint8_t> key(129, 0x5A);
  const Digest short_key = crypto_digest(DigestMethod::sha384, key);
  const Digest long_form = hmac_compute(DigestMethod::sha384, bytes_of("data"), key);
  const Digest short_form = hmac_compute(DigestMethod::sha384, bytes_of("data"), short_key.view());
  EXPECT_EQ(long_form.size, 48u);
  EXPECT_TRUE(std::equal(long_form.view().begin(), long_form.view().end(), short_form.view().begin()));
}

class ChecksumNativeTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    crypt_provider_acquire();
    init_checksum_methods();
  }
  void TearDown() override {
    crypt_provider_acquire();
    EvalTest::TearDown();
  }
};

// Stands for a library whose policy forbids MD5.
evp_md_st* fetch_without_md5(const char* name) {
  return std::string_view(name) == "MD5" ? nullptr : EVP_MD_fetch(nullptr, name, nullptr);
}

TEST_F(ChecksumNativeTest, ARefusedDigestIsNotHereAndTheOthersStillWork) {
  crypt_provider_acquire_with(fetch_without_md5);
  expect_errors({{R"(checksum "x" 'md5)", "internal/not-here", {"md5"}},
                 {R"(checksum/with "x" 'MD5 "k")", "internal/not-here", {"md5"}}});
  expect_molds({{R"(length? checksum "x" 'sha1)", "20"}});
}

TEST_F(ChecksumNativeTest, AFileIsReadWholeAsBinary) {
  static bool asked_binary = false;
  services().file_read_dispatch = [](const Cell&, const ReadRefinements& refinements) {
    asked_binary = refinements.binary && !refinements.lines && !refinements.part;
    return *binary_push_bytes(bytes_of("123456789"));
  };
  expect_molds({{R"(checksum make file! "f.bin" 'crc32)", "-873187034"}});
  EXPECT_TRUE(asked_binary);
}

}  // namespace
}  // namespace qel::testing
