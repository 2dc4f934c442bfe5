// page-pool.cpp: freed frame and big-series mappings kept for reuse, in the order they were kept.
#include "runtime/page-pool.h"

#include "runtime/heap-array.h"
#include "runtime/memory-pages.h"

namespace qel {

namespace {

struct KeptMapping {
  uint8_t* start;
  uint64_t size;
  uint64_t old;  // 1 once a collection has ended since it was kept
};

HeapArray<KeptMapping> kept;  // oldest first
uint64_t kept_bytes = 0;

// Unmaps the kept mapping at this position.
void drop(size_t at) {
  os_pages_release(kept[at].start, kept[at].size);
  kept_bytes -= kept[at].size;
  kept.erase(at);
}

}  // namespace

void* page_pool_take(uint64_t size) {
  size_t best = kept.size();
  for (size_t i = 0; i < kept.size(); ++i)
    if (kept[i].size >= size && (best == kept.size() || kept[i].size < kept[best].size)) best = i;
  if (best == kept.size()) return nullptr;
  KeptMapping mapping = kept[best];
  kept_bytes -= mapping.size;
  kept.erase(best);
  if (mapping.size > size) os_pages_release(mapping.start + size, mapping.size - size);
  return mapping.start;
}

void page_pool_keep(void* start, uint64_t size, uint64_t cap) {
  if (size > cap) {
    os_pages_release(start, size);
    return;
  }
  while (kept_bytes + size > cap) drop(0);
  os_pages_discard(start, size);
  kept.push_back(KeptMapping{static_cast<uint8_t*>(start), size, 0});
  kept_bytes += size;
}

void page_pool_age() {
  for (size_t i = kept.size(); i-- > 0;) {
    if (kept[i].old) drop(i);
  }
  for (KeptMapping& mapping : kept) mapping.old = 1;
}

void page_pool_release_all() {
  while (!kept.empty()) drop(kept.size() - 1);
  kept.release();
}

uint64_t page_pool_bytes() { return kept_bytes; }
uint64_t page_pool_mappings() { return kept.size(); }

}  // namespace qel
