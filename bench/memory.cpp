// memory.cpp (bench): small series allocation, collector pauses and compaction, against the
// C allocator, a second general allocator, a conservative collector, Lua and Python.
#include <Python.h>
#include <benchmark/benchmark.h>
#include <gc.h>
#include <lua.hpp>
#include <dlfcn.h>
#include <mimalloc.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/collector.h"
#include "runtime/gc-root.h"
#include "runtime/memory.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
#include "runtime/startup.h"

namespace qel {
namespace {

constexpr int kBatch = 4096;         // small allocations per timed batch
constexpr int kSmallBytes = 32;
constexpr int kFanOut = 8;           // cells per block of the nested-block heap
constexpr int kTreeDepth = 5;        // 8^5 = 32,768 leaf blocks, about 5 MB with the inner ones
constexpr int kStrings = 65536;      // strings of the string heap
constexpr int kStringBytes = 64;
constexpr int64_t kCompactBytes = int64_t{1} << 20;
constexpr int kCompactBuffer = 1024;

void start_memory() {
  restart_memory();
  collector_set_torture(false);
}

lua_State* lua_with(const char* script) {
  lua_State* lua = luaL_newstate();
  luaL_openlibs(lua);
  if (luaL_dostring(lua, script) != LUA_OK) std::abort();
  return lua;
}

void run_lua(lua_State* lua, const char* script) {
  if (luaL_dostring(lua, script) != LUA_OK) std::abort();
}

// Runs Python source in one shared namespace.
void run_python(const char* source) {
  static PyObject* globals = [] {
    Py_Initialize();
    return PyDict_New();
  }();
  PyObject* result = PyRun_String(source, Py_file_input, globals, globals);
  if (!result) std::abort();
  Py_DECREF(result);
}

void start_boehm() {
  static bool started = [] {
    setenv("GC_MARKERS", "1", 1);  // one marker thread, as the collector measured here
    GC_INIT();
    return true;
  }();
  (void)started;
}

// --- small allocations -------------------------------------------------------------------------

// The C library's own allocator. Linking the second allocator replaces `malloc` for the whole
// process, so the C library's entry points are looked up in the C library itself.
void* libc_entry(const char* name) {
  void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
  void* entry = libc ? dlsym(libc, name) : nullptr;
  if (!entry) std::abort();
  return entry;
}
const auto libc_allocate = reinterpret_cast<void* (*)(size_t)>(libc_entry("malloc"));
const auto libc_release = reinterpret_cast<void (*)(void*)>(libc_entry("free"));
void* libc_malloc(size_t bytes) { return libc_allocate(bytes); }
void libc_free(void* block) { libc_release(block); }

void small_alloc_qel(benchmark::State& state) {
  start_memory();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) benchmark::DoNotOptimize(new_byte_series(kSmallBytes));
    state.PauseTiming();
    collect_now();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

template <void* (*Allocate)(size_t), void (*Release)(void*)>
void small_alloc_c(benchmark::State& state) {
  std::vector<void*> blocks(kBatch);
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) benchmark::DoNotOptimize(blocks[i] = Allocate(kSmallBytes));
    state.PauseTiming();
    for (void* block : blocks) Release(block);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void small_alloc_lua(benchmark::State& state) {
  lua_State* lua = lua_with("function make(n) for i = 1, n do local t = {} end end");
  std::string call = "make(" + std::to_string(kBatch) + ")";
  for (auto _ : state) run_lua(lua, call.c_str());
  state.SetItemsProcessed(state.iterations() * kBatch);
  lua_close(lua);
}

void small_alloc_python(benchmark::State& state) {
  std::string loop = "for _ in range(" + std::to_string(kBatch) + "):\n    x = []\n";
  for (auto _ : state) run_python(loop.c_str());
  state.SetItemsProcessed(state.iterations() * kBatch);
}

BENCHMARK(small_alloc_qel)->Name("small-series-alloc/qel");
BENCHMARK(small_alloc_c<libc_malloc, libc_free>)->Name("small-series-alloc/malloc");
BENCHMARK(small_alloc_c<mi_malloc, mi_free>)->Name("small-series-alloc/mimalloc");
BENCHMARK(small_alloc_lua)->Name("small-series-alloc/lua-table");
BENCHMARK(small_alloc_python)->Name("small-series-alloc/python-list");

// --- collector pause over a live heap of nested blocks -------------------------------------------

// A tree of blocks of 8 cells: inner blocks hold their children, leaves hold integers.
NodeId nested_blocks(int depth) {
  NodeId block = new_cell_series(kFanOut);
  for (int i = 0; i < kFanOut; ++i) {
    Cell cell = depth == 0 ? make_cell(Type::integer, 0, static_cast<uint32_t>(i)) : make_cell(Type::block, 0, nested_blocks(depth - 1));
    *series_append_fresh_slot(block) = cell;
  }
  return block;
}

void pause_nested_qel(benchmark::State& state) {
  start_memory();
  GcRoot<NodeId> root(nested_blocks(kTreeDepth));
  collect_now();
  state.counters["live-MB"] = static_cast<double>(memory_bytes_in_series()) / (1 << 20);
  for (auto _ : state) collect_now();
}

struct BoehmCell {
  void* child;
  uint64_t payload;
};

BoehmCell* boehm_nested(int depth) {
  auto* block = static_cast<BoehmCell*>(GC_MALLOC(kFanOut * sizeof(BoehmCell)));
  for (int i = 0; i < kFanOut; ++i) block[i] = BoehmCell{depth == 0 ? nullptr : boehm_nested(depth - 1), uint64_t(i)};
  return block;
}

BoehmCell* boehm_root = nullptr;

void pause_nested_boehm(benchmark::State& state) {
  start_boehm();
  boehm_root = boehm_nested(kTreeDepth);
  GC_gcollect();
  state.counters["live-MB"] = static_cast<double>(GC_get_heap_size() - GC_get_free_bytes()) / (1 << 20);
  for (auto _ : state) GC_gcollect();
  boehm_root = nullptr;
}

void pause_nested_lua(benchmark::State& state) {
  lua_State* lua = lua_with(
      "local function tree(d) local t = {} for i = 1, 8 do t[i] = d == 0 and i or tree(d - 1) end return t end\n"
      "root = tree(5) collectgarbage()");
  for (auto _ : state) lua_gc(lua, LUA_GCCOLLECT);
  lua_close(lua);
}

BENCHMARK(pause_nested_qel)->Name("collector-pause-nested-blocks/qel")->Unit(benchmark::kMicrosecond);
BENCHMARK(pause_nested_boehm)->Name("collector-pause-nested-blocks/boehm-gc")->Unit(benchmark::kMicrosecond);
BENCHMARK(pause_nested_lua)->Name("collector-pause-nested-blocks/lua")->Unit(benchmark::kMicrosecond);

// --- collector pause over a live heap of strings -------------------------------------------------

void pause_strings_qel(benchmark::State& state) {
  start_memory();
  GcRoot<NodeId> list(new_cell_series(kStrings));
  char text[kStringBytes] = {};
  for (int i = 0; i < kStrings; ++i) {
    NodeId string = new_byte_series(kStringBytes);
    series_buffer_append_bytes(string, text, kStringBytes);
    *series_append_fresh_slot(list.get()) = make_cell(Type::string, 0, string);
  }
  collect_now();
  state.counters["live-MB"] = static_cast<double>(memory_bytes_in_series()) / (1 << 20);
  for (auto _ : state) collect_now();
}

void** boehm_strings = nullptr;

void pause_strings_boehm(benchmark::State& state) {
  start_boehm();
  boehm_strings = static_cast<void**>(GC_MALLOC(kStrings * sizeof(void*)));
  for (int i = 0; i < kStrings; ++i) boehm_strings[i] = GC_MALLOC_ATOMIC(kStringBytes);
  GC_gcollect();
  for (auto _ : state) GC_gcollect();
  boehm_strings = nullptr;
}

void pause_strings_lua(benchmark::State& state) {
  lua_State* lua = lua_with(
      "root = {} for i = 1, 65536 do root[i] = string.format('%064d', i) end collectgarbage()");
  for (auto _ : state) lua_gc(lua, LUA_GCCOLLECT);
  lua_close(lua);
}

BENCHMARK(pause_strings_qel)->Name("collector-pause-strings/qel")->Unit(benchmark::kMicrosecond);
BENCHMARK(pause_strings_boehm)->Name("collector-pause-strings/boehm-gc")->Unit(benchmark::kMicrosecond);
BENCHMARK(pause_strings_lua)->Name("collector-pause-strings/lua")->Unit(benchmark::kMicrosecond);

// --- compaction of 1 MB of live buffers ----------------------------------------------------------

// Keeps a byte series alive through the root block.
NodeId kept_bytes(int64_t bytes) {
  NodeId node = new_byte_series_filled(bytes, 0);
  root_slot_append(make_cell(Type::binary, 0, node));
  return node;
}

// Exactly one live megabyte moves: the first frame is full of live data, and the second holds
// live data, a dead buffer, then the megabyte, with too little room left for any spill.
void compact_qel(benchmark::State& state) {
  constexpr int64_t kBuffers = kCompactBytes / kCompactBuffer;
  constexpr int64_t kDead = 5000;
  for (auto _ : state) {
    state.PauseTiming();
    start_memory();
    kept_bytes(static_cast<int64_t>(memory.frames[0].room()) - 1024);
    NodeId list = new_cell_series(kBuffers);
    root_slot_append(make_cell(Type::block, 0, list));
    int64_t megabyte = kBuffers * (kCompactBuffer + static_cast<int64_t>(kBufferHeaderBytes));
    kept_bytes(static_cast<int64_t>(memory.frames[memory.current].room()) - megabyte - kDead - 40000);
    new_byte_series(kDead);
    for (int64_t i = 0; i < kBuffers; ++i)
      *series_append_fresh_slot(list) = make_cell(Type::binary, 0, new_byte_series_filled(kCompactBuffer, 1));
    state.ResumeTiming();
    collect_now();
  }
  state.SetBytesProcessed(state.iterations() * kCompactBytes);
}

void compact_memcpy(benchmark::State& state) {
  std::vector<char> from(kCompactBytes, 'x'), to(kCompactBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kCompactBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kCompactBytes);
}

BENCHMARK(compact_qel)->Name("compact-1mb/qel")->Unit(benchmark::kMicrosecond);
BENCHMARK(compact_memcpy)->Name("compact-1mb/memcpy")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qel
