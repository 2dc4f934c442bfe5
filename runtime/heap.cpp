// heap.cpp: the runtime heap: malloc'd blocks with a size header, tracked in a pointer set.
//
// Live blocks are kept in an open-addressing set of their addresses instead of the classic
// doubly linked list: release checks membership in O(1), so a double or foreign release is
// recognised without reading memory the heap does not own, and release-all walks the set.
#include "runtime/heap.h"

#include <cstdlib>
#include <cstring>

#include "runtime/quit.h"

namespace qel {

namespace {

struct BlockHeader {
  uint64_t requested_size;
  uint64_t spare;
};
static_assert(sizeof(BlockHeader) == 16);

// Linear probing with backward-shift deletion; slots hold header addresses, 0 is empty.
class BlockSet {
 public:
  bool contains(uintptr_t key) const { return slots_ && slots_[find(key)] == key; }

  // Answers false when the set cannot grow (the caller then treats it as out of memory).
  bool insert(uintptr_t key) {
    if ((count_ + 1) * 2 > capacity_ && !grow()) return false;
    size_t i = find(key);
    if (slots_[i] != key) {
      slots_[i] = key;
      ++count_;
    }
    return true;
  }

  bool erase(uintptr_t key) {
    if (!slots_) return false;
    size_t i = find(key);
    if (slots_[i] != key) return false;
    // Shift later members of the probe run back so no lookup meets a hole too early.
    size_t mask = capacity_ - 1;
    size_t hole = i;
    for (size_t j = (i + 1) & mask; slots_[j]; j = (j + 1) & mask) {
      size_t home = hash(slots_[j]) & mask;
      if (((j - home) & mask) >= ((j - hole) & mask)) {
        slots_[hole] = slots_[j];
        hole = j;
      }
    }
    slots_[hole] = 0;
    --count_;
    return true;
  }

  template <class Visit>
  void for_each(Visit visit) const {
    for (size_t i = 0; i < capacity_; ++i)
      if (slots_[i]) visit(slots_[i]);
  }

  void clear() {
    std::free(slots_);
    slots_ = nullptr;
    capacity_ = count_ = 0;
  }

  size_t size() const { return count_; }

 private:
  // Neighbouring blocks land in neighbouring slots (the set stays cache-friendly when blocks
  // are released in allocation order); the page bits are folded in so page-aligned blocks do
  // not pile up on a few slots.
  static size_t hash(uintptr_t key) { return static_cast<size_t>((key >> 4) ^ (key >> 12) ^ (key >> 20)); }

  size_t find(uintptr_t key) const {
    size_t mask = capacity_ - 1;
    size_t i = hash(key) & mask;
    while (slots_[i] && slots_[i] != key) i = (i + 1) & mask;
    return i;
  }

  bool grow() {
    size_t new_capacity = capacity_ ? capacity_ * 2 : 64;
    auto* fresh = static_cast<uintptr_t*>(std::calloc(new_capacity, sizeof(uintptr_t)));
    if (!fresh) return false;
    uintptr_t* old = slots_;
    size_t old_capacity = capacity_;
    slots_ = fresh;
    capacity_ = new_capacity;
    for (size_t i = 0; i < old_capacity; ++i)
      if (old[i]) slots_[find(old[i])] = old[i];
    std::free(old);
    return true;
  }

  uintptr_t* slots_ = nullptr;
  size_t capacity_ = 0;
  size_t count_ = 0;
};

BlockSet live_blocks;
uint64_t total_requested = 0;

BlockHeader* header_of(void* block) { return static_cast<BlockHeader*>(block) - 1; }

[[noreturn]] void out_of_memory(void* caller) {
  quit_with_runtime_error(kErrorOutOfMemory, reinterpret_cast<uintptr_t>(caller));
}

// Registers a fresh header and answers the caller's address, or null when the set cannot grow.
void* adopt(BlockHeader* header, size_t size) {
  if (!live_blocks.insert(reinterpret_cast<uintptr_t>(header))) {
    std::free(header);
    return nullptr;
  }
  header->requested_size = size;
  header->spare = 0;
  total_requested += size;
  return header + 1;
}

void* allocate(size_t size, bool zeroed) {
  if (size > kHeapMaxBlock) return nullptr;
  size_t bytes = size + sizeof(BlockHeader);
  void* raw = zeroed ? std::calloc(1, bytes) : std::malloc(bytes);
  return raw ? adopt(static_cast<BlockHeader*>(raw), size) : nullptr;
}

bool is_live(void* block) {
  return block && live_blocks.contains(reinterpret_cast<uintptr_t>(header_of(block)));
}

// Answers the moved block, or null (block unchanged) on failure; block must be live.
void* reallocate(void* block, size_t size) {
  if (size > kHeapMaxBlock) return nullptr;
  BlockHeader* old_header = header_of(block);
  uint64_t old_size = old_header->requested_size;
  live_blocks.erase(reinterpret_cast<uintptr_t>(old_header));
  auto* moved = static_cast<BlockHeader*>(std::realloc(old_header, size + sizeof(BlockHeader)));
  if (!moved) {
    live_blocks.insert(reinterpret_cast<uintptr_t>(old_header));  // the slot just freed is reused
    return nullptr;
  }
  total_requested -= old_size;
  return adopt(moved, size);
}

}  // namespace

[[gnu::noinline]] void* heap_allocate_checked(size_t size) {
  void* block = allocate(size, false);
  if (!block) out_of_memory(__builtin_return_address(0));
  return block;
}

[[gnu::noinline]] void* heap_allocate_zeroed(size_t size) {
  void* block = allocate(size, true);
  if (!block) out_of_memory(__builtin_return_address(0));
  return block;
}

[[gnu::noinline]] void* heap_resize(void* block, size_t size) {
  void* result = heap_try_resize(block, size);
  if (!result && size != 0) out_of_memory(__builtin_return_address(0));
  return result;
}

void* heap_try_resize(void* block, size_t size) {
  if (!is_live(block)) return size ? allocate(size, false) : nullptr;
  if (size == 0) {
    heap_release(block);
    return nullptr;
  }
  return reallocate(block, size);
}

void heap_release(void* block) {
  if (!block) return;
  BlockHeader* header = header_of(block);
  if (!live_blocks.erase(reinterpret_cast<uintptr_t>(header))) return;  // not ours, or gone
  total_requested -= header->requested_size;
  std::free(header);
}

void heap_release_all() {
  live_blocks.for_each([](uintptr_t header) { std::free(reinterpret_cast<void*>(header)); });
  live_blocks.clear();
  total_requested = 0;
}

uint64_t heap_total_bytes() { return total_requested; }
size_t heap_live_blocks() { return live_blocks.size(); }

}  // namespace qel
