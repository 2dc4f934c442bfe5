// Runtime heap against the C library's allocator: allocate and release 64-byte blocks while
// 10,000 others stay live (release must not walk anything that grows with the live count).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "runtime/heap.h"

namespace {

constexpr size_t kBlockSize = 64;
constexpr size_t kLiveBlocks = 10000;

// Keeps kLiveBlocks blocks live and, per iteration, releases the oldest and allocates anew.
template <void* (*Allocate)(size_t), void (*Release)(void*)>
void replace_blocks(benchmark::State& state) {
  std::vector<void*> live(kLiveBlocks);
  for (void*& block : live) block = Allocate(kBlockSize);
  size_t next = 0;
  for (auto _ : state) {
    Release(live[next]);
    live[next] = Allocate(kBlockSize);
    static_cast<char*>(live[next])[0] = static_cast<char>(next);
    benchmark::DoNotOptimize(live[next]);
    next = next + 1 == kLiveBlocks ? 0 : next + 1;
  }
  for (void* block : live) Release(block);
}

void* heap_allocate(size_t size) { return qel::heap_allocate_checked(size); }
void heap_free(void* block) { qel::heap_release(block); }
void* libc_allocate(size_t size) { return std::malloc(size); }
void libc_free(void* block) { std::free(block); }

const bool registered = [] {
  benchmark::RegisterBenchmark("heap-64-live-10000/qel", replace_blocks<heap_allocate, heap_free>);
  benchmark::RegisterBenchmark("heap-64-live-10000/malloc", replace_blocks<libc_allocate, libc_free>);
  return true;
}();

}  // namespace
