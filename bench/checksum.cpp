// Checksums: CRC-32 and Adler-32 of 64 MB against the compression library's own; each digest
// through the checksum native against one direct call of the crypto library; 10^5 HMAC-SHA256
// of 64 bytes through checksum/with against a Python hmac loop.
#include "bench/script-peers.h"  // first: it includes Python.h

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <span>
#include <string>
#include <vector>

#include "bench/qel-programs.h"
#include "runtime/checksum.h"

namespace qel {
namespace {

constexpr size_t kSumBytes = 64u << 20;
constexpr size_t kDigestBytes = 16u << 20;

// Bytes of a simple seeded pattern, the same for every peer.
const std::vector<uint8_t>& pattern(size_t size) {
  static std::vector<uint8_t> bytes;
  if (bytes.size() != size) {
    bytes.resize(size);
    uint32_t x = 2463534242u;
    for (uint8_t& b : bytes) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      b = static_cast<uint8_t>(x);
    }
  }
  return bytes;
}

template <class Sum>
void sum_case(benchmark::State& state, Sum sum) {
  const std::vector<uint8_t>& bytes = pattern(kSumBytes);
  for (auto _ : state) benchmark::DoNotOptimize(sum(bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// The digests as the checksum native names them and as the crypto library does.
struct DigestCase {
  const char* word;
  const EVP_MD* (*md)();
};
const DigestCase kDigests[] = {
    {"md5", EVP_md5}, {"sha1", EVP_sha1}, {"sha256", EVP_sha256}, {"sha384", EVP_sha384}, {"sha512", EVP_sha512},
};

void digest_qel(benchmark::State& state, const DigestCase& digest) {
  const std::string setup = "data: append/dup #{} 171 " + std::to_string(kDigestBytes);
  const std::string program = std::string("checksum data '") + digest.word;
  bench_support::run_qel_program(state, setup, program);
}

// The peer reads its bytes where a large binary! keeps them, just after the series' 24-byte
// header on its own pages, so the two differ by the road through checksum and not by where the
// bytes lie (SHA-384 and SHA-512 run some 10% faster from a page-aligned start).
void digest_direct(benchmark::State& state, const DigestCase& digest) {
  constexpr size_t kSeriesHeader = 24;
  const std::vector<uint8_t> buffer(kDigestBytes + kSeriesHeader, 171);
  const std::span<const uint8_t> bytes(buffer.data() + kSeriesHeader, kDigestBytes);
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  for (auto _ : state) {
    if (!EVP_Digest(bytes.data(), bytes.size(), out, &size, digest.md(), nullptr)) state.SkipWithError("digest");
    benchmark::DoNotOptimize(out);
  }
}

constexpr const char* kHmacQelSetup = "key: append/dup #{} 107 16 msg: append/dup #{} 109 64";
constexpr const char* kHmacQel = "loop 100000 [checksum/with msg 'sha256 key]";
constexpr const char* kHmacPythonSetup = "import hmac, hashlib\nkey = bytes([107]) * 16\nmsg = bytes([109]) * 64\n";
constexpr const char* kHmacPython = "for _ in range(100000):\n    hmac.new(key, msg, hashlib.sha256).digest()\n";

const bool registered = [] {
  benchmark::RegisterBenchmark("crc32-64MB/qel", [](benchmark::State& s) {
    sum_case(s, [](const std::vector<uint8_t>& b) { return crc32_compute(b); });
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("crc32-64MB/zlib", [](benchmark::State& s) {
    sum_case(s, [](const std::vector<uint8_t>& b) { return crc32_z(0, b.data(), b.size()); });
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("adler32-64MB/qel", [](benchmark::State& s) {
    sum_case(s, [](const std::vector<uint8_t>& b) { return adler32_compute(b); });
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("adler32-64MB/zlib", [](benchmark::State& s) {
    sum_case(s, [](const std::vector<uint8_t>& b) { return adler32_z(1, b.data(), b.size()); });
  })->Unit(benchmark::kMillisecond);
  for (const DigestCase& digest : kDigests) {
    const std::string name = std::string(digest.word) + "-16MB";
    const DigestCase* d = &digest;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [d](benchmark::State& s) { digest_qel(s, *d); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/evp").c_str(), [d](benchmark::State& s) { digest_direct(s, *d); })
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("hmac-sha256-100k/qel", [](benchmark::State& s) {
    bench_support::run_qel_program(s, kHmacQelSetup, kHmacQel);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("hmac-sha256-100k/python3", [](benchmark::State& s) {
    bench_support::run_python_program(s, kHmacPythonSetup, kHmacPython);
  })->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace qel
