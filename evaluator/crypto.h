// crypto.h: message digests, HMAC over them, and the secure random source.
//
// The digests come from the system's crypto library, loaded and fetched at the first digest
// after crypt_provider_acquire; nothing else in the runtime calls that library. A digest the
// library refuses (a policy may forbid MD5), or every digest when the library cannot be loaded,
// raises internal not-here with the method's word when used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct evp_md_st;

namespace qel {

// The digest methods, in the order of their sizes' table.
enum class DigestMethod : uint8_t { md5, sha1, sha256, sha384, sha512 };
inline constexpr size_t kDigestMethods = 5;

// The largest digest (sha512) and each method's size in bytes.
inline constexpr size_t kDigestMax = 64;
inline constexpr size_t kDigestSizes[kDigestMethods] = {16, 20, 32, 48, 64};
inline constexpr size_t digest_size(DigestMethod method) { return kDigestSizes[static_cast<size_t>(method)]; }

// The lowercase name of a method, which is also its word.
const char* digest_method_name(DigestMethod method);

// A digest: its first digest_size(method) bytes.
struct Digest {
  std::array<uint8_t, kDigestMax> bytes{};
  size_t size = 0;
  std::span<const uint8_t> view() const { return {bytes.data(), size}; }
};

// Fetches a digest implementation by its library name ("MD5", "SHA2-256" ...), or null.
using DigestFetch = evp_md_st* (*)(const char* name);

// The start-up step: the five digests are fetched at the first digest, through fetch when given
// (tests inject refusals there). Calling it again releases the earlier ones first.
void crypt_provider_acquire();
void crypt_provider_acquire_with(DigestFetch fetch);

// The digest of the bytes; internal not-here when the library refuses the method.
Digest crypto_digest(DigestMethod method, std::span<const uint8_t> bytes);

// The HMAC of the data under the key with the method's digest.
Digest hmac_compute(DigestMethod method, std::span<const uint8_t> data, std::span<const uint8_t> key);

// Fills the buffer from the system's secure source; without one no number is secure, so a
// failure stops the program rather than answer guessable bytes.
void crypt_random_bytes(uint8_t* buffer, size_t count);

}  // namespace qel
