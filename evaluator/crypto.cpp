// crypto.cpp: the digests on the crypto library's EVP interface, HMAC built on them, and the
// secure random bytes from getrandom(2).
#include "evaluator/crypto.h"

#include <openssl/evp.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>

#include "runtime/error-raise.h"
#include "runtime/quit.h"
#include "runtime/services.h"

namespace qel {

namespace {

// Each method's word and the name the library knows it by.
struct DigestName {
  const char* word;
  const char* library_name;
};
constexpr DigestName kDigestNames[kDigestMethods] = {
    {"md5", "MD5"}, {"sha1", "SHA1"}, {"sha256", "SHA2-256"}, {"sha384", "SHA2-384"}, {"sha512", "SHA2-512"}};

// The fetched digests (null where the library refused one) and one context reused by every
// digest: only the language thread computes them.
std::array<EVP_MD*, kDigestMethods> digests{};
EVP_MD_CTX* context = nullptr;

EVP_MD* fetch_from_default_library(const char* name) { return EVP_MD_fetch(nullptr, name, nullptr); }

[[noreturn]] void refuse(DigestMethod method) {
  raise_error(error_id("internal", "not-here"), services().word_from_c_string(digest_method_name(method)));
}

// The digest of the parts one after another; every library call is checked.
Digest digest_of(DigestMethod method, std::initializer_list<std::span<const uint8_t>> parts) {
  const EVP_MD* md = digests[static_cast<size_t>(method)];
  if (md == nullptr || context == nullptr || EVP_DigestInit_ex2(context, md, nullptr) != 1) refuse(method);
  for (std::span<const uint8_t> part : parts)
    if (EVP_DigestUpdate(context, part.data(), part.size()) != 1) refuse(method);
  Digest digest;
  unsigned int written = 0;
  if (EVP_DigestFinal_ex(context, digest.bytes.data(), &written) != 1 || written != digest_size(method)) refuse(method);
  digest.size = written;
  return digest;
}

// The block the method's compression function takes, which HMAC pads its key to.
size_t hmac_block_size(DigestMethod method) {
  return method == DigestMethod::sha384 || method == DigestMethod::sha512 ? 128 : 64;
}

}  // namespace

const char* digest_method_name(DigestMethod method) { return kDigestNames[static_cast<size_t>(method)].word; }

void crypt_provider_acquire_with(DigestFetch fetch) {
  for (EVP_MD*& md : digests) {
    EVP_MD_free(md);  // accepts null
    md = nullptr;
  }
  for (size_t k = 0; k < kDigestMethods; ++k) digests[k] = fetch(kDigestNames[k].library_name);
  if (context == nullptr) context = EVP_MD_CTX_new();
}

void crypt_provider_acquire() { crypt_provider_acquire_with(fetch_from_default_library); }

Digest crypto_digest(DigestMethod method, std::span<const uint8_t> bytes) { return digest_of(method, {bytes}); }

Digest hmac_compute(DigestMethod method, std::span<const uint8_t> data, std::span<const uint8_t> key) {
  const size_t block = hmac_block_size(method);
  std::array<uint8_t, 128> padded{};
  if (key.size() > block) {
    const Digest short_key = crypto_digest(method, key);
    std::copy(short_key.bytes.begin(), short_key.bytes.begin() + short_key.size, padded.begin());
  } else {
    std::copy(key.begin(), key.end(), padded.begin());
  }
  std::array<uint8_t, 128> inner_pad, outer_pad;
  for (size_t k = 0; k < block; ++k) {
    inner_pad[k] = padded[k] ^ 0x36;
    outer_pad[k] = padded[k] ^ 0x5C;
  }
  const Digest inner = digest_of(method, {{inner_pad.data(), block}, data});
  return digest_of(method, {{outer_pad.data(), block}, inner.view()});
}

void crypt_random_bytes(uint8_t* buffer, size_t count) {
  size_t filled = 0;
  while (filled < count) {
    const ssize_t got = getrandom(buffer + filled, count - filled, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fatal_assertion();
    filled += static_cast<size_t>(got);
  }
}

}  // namespace qel
