// crypto.cpp: the digests on the crypto library's EVP interface, HMAC built on them, and the
// secure random bytes from getrandom(2). The library is loaded when a digest is first asked for.
#include "evaluator/crypto.h"

#include <openssl/evp.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>

#include "runtime/error-raise.h"
#include "runtime/quit.h"
#include "runtime/services.h"
#include "runtime/shared-library.h"

namespace qel {

namespace {

// Each method's word and the name the library knows it by.
struct DigestName {
  const char* word;
  const char* library_name;
};
constexpr DigestName kDigestNames[kDigestMethods] = {
    {"md5", "MD5"}, {"sha1", "SHA1"}, {"sha256", "SHA2-256"}, {"sha384", "SHA2-384"}, {"sha512", "SHA2-512"}};

// The library's functions the digests use, by their slots.
enum LibraryFunction : size_t { kMdFetch, kMdFree, kMdContextNew, kDigestInit, kDigestUpdate, kDigestFinal };
SharedLibrary<6> crypto_library("libcrypto.so.3", {"EVP_MD_fetch", "EVP_MD_free", "EVP_MD_CTX_new",
                                                   "EVP_DigestInit_ex2", "EVP_DigestUpdate", "EVP_DigestFinal_ex"});

// The library function in the slot, typed as its declaration.
template <typename Declared>
Declared* library(LibraryFunction slot) {
  return crypto_library.function<Declared>(slot);
}

// The fetched digests (null where the library refused one) and one context reused by every
// digest: only the language thread computes them. They are fetched at the first digest after
// start-up or a new fetch function, so a program that computes none never loads the library.
std::array<EVP_MD*, kDigestMethods> digests{};
EVP_MD_CTX* context = nullptr;
DigestFetch pending_fetch = nullptr;

EVP_MD* fetch_from_default_library(const char* name) {
  return library<decltype(EVP_MD_fetch)>(kMdFetch)(nullptr, name, nullptr);
}

// Fetches the digests with the pending fetch function, if there is one.
void fetch_pending_digests() {
  if (pending_fetch == nullptr || !crypto_library.loaded()) return;
  for (size_t k = 0; k < kDigestMethods; ++k) digests[k] = pending_fetch(kDigestNames[k].library_name);
  pending_fetch = nullptr;
  if (context == nullptr) context = library<decltype(EVP_MD_CTX_new)>(kMdContextNew)();
}

[[noreturn]] void refuse(DigestMethod method) {
  raise_error(error_id("internal", "not-here"), services().word_from_c_string(digest_method_name(method)));
}

// The digest of the parts one after another; every library call is checked.
Digest digest_of(DigestMethod method, std::initializer_list<std::span<const uint8_t>> parts) {
  fetch_pending_digests();
  const EVP_MD* md = digests[static_cast<size_t>(method)];
  if (md == nullptr || context == nullptr ||
      library<decltype(EVP_DigestInit_ex2)>(kDigestInit)(context, md, nullptr) != 1)
    refuse(method);
  for (std::span<const uint8_t> part : parts)
    if (library<decltype(EVP_DigestUpdate)>(kDigestUpdate)(context, part.data(), part.size()) != 1) refuse(method);
  Digest digest;
  unsigned int written = 0;
  if (library<decltype(EVP_DigestFinal_ex)>(kDigestFinal)(context, digest.bytes.data(), &written) != 1 ||
      written != digest_size(method))
    refuse(method);
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
    if (md != nullptr) library<decltype(EVP_MD_free)>(kMdFree)(md);  // only ever set once loaded
    md = nullptr;
  }
  pending_fetch = fetch;
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
