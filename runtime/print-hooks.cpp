// print-hooks.cpp: the two growable hook lists and their runs.
#include "runtime/print-hooks.h"

#include <algorithm>
#include <vector>

#include "runtime/heap.h"

namespace qel {

namespace {

constexpr size_t kHookGrowth = 5;

template <class Hook>
struct HookList {
  Hook* entries = nullptr;
  size_t count = 0;
  size_t capacity = 0;

  void init() {
    heap_release(entries);
    entries = static_cast<Hook*>(heap_allocate_checked(kHookGrowth * sizeof(Hook)));
    count = 0;
    capacity = kHookGrowth;
  }

  void add(Hook hook) {
    if (!hook) return;
    if (!entries) init();
    if (count == capacity) {
      auto* larger = static_cast<Hook*>(heap_allocate_checked((capacity + kHookGrowth) * sizeof(Hook)));
      std::copy_n(entries, count, larger);
      heap_release(entries);
      entries = larger;
      capacity += kHookGrowth;
    }
    entries[count++] = hook;
  }

  void remove(Hook hook) {
    if (!hook) return;
    Hook* end = entries + count;
    Hook* found = std::find(entries, end, hook);
    if (found == end) return;
    std::copy(found + 1, end, found);
    --count;
  }

  // Calls every hook of the list as it stands now, whatever the hooks do to the list meanwhile.
  template <class... Args>
  void run(Args... args) const {
    constexpr size_t kInline = 16;
    if (count <= kInline) {
      Hook snapshot[kInline];
      size_t n = count;
      std::copy_n(entries, n, snapshot);
      for (size_t i = 0; i < n; ++i) snapshot[i](args...);
    } else {
      std::vector<Hook> snapshot(entries, entries + count);
      for (Hook hook : snapshot) hook(args...);
    }
  }
};

HookList<StringHook> string_hooks;
HookList<ByteHook> byte_hooks;

}  // namespace

void print_hooks_init() {
  string_hooks.init();
  byte_hooks.init();
}

void print_hooks_add(StringHook string_hook, ByteHook byte_hook) {
  string_hooks.add(string_hook);
  byte_hooks.add(byte_hook);
}

void print_hooks_remove(StringHook string_hook, ByteHook byte_hook) {
  string_hooks.remove(string_hook);
  byte_hooks.remove(byte_hook);
}

void print_hooks_run(const Cell& text, bool newline) { string_hooks.run<const Cell&, bool>(text, newline); }

void print_hooks_run_cstr(const char* bytes, size_t length, uint32_t extra) {
  byte_hooks.run(bytes, length, extra);
}

size_t print_hooks_string_capacity() { return string_hooks.capacity; }
size_t print_hooks_byte_capacity() { return byte_hooks.capacity; }

}  // namespace qel
