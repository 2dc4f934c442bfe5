// extres.cpp: the kind table and the slot table with its live and free lists.
//
// Invariant: every slot is on exactly one of the two lists; a slot is free exactly when its
// flags have kExtresFree. Every change to a slot's list is checked first, so a bad index or a
// double release ends the process (98) instead of corrupting a chain.
#include "runtime/extres.h"

#include "runtime/heap-array.h"
#include "runtime/quit.h"

namespace qel {

namespace {

struct ExtresKind {
  const char* identity;
  ExtresRelease release;
};

struct ExtresSlot {
  uint32_t flags;
  int32_t next;  // next slot of the live or free list; -1 ends it
  void* object;
};

constexpr int32_t kEnd = -1;

HeapArray<ExtresKind> kinds;
HeapArray<ExtresSlot> slots;
int32_t live_head = kEnd;
int32_t free_head = kEnd;

// Appends `count` free slots, chained in order in front of the current free list.
void add_free_slots(size_t count) {
  size_t first = slots.size();
  slots.resize(first + count);
  for (size_t i = first; i < first + count; ++i)
    slots[i] = ExtresSlot{kExtresFree, i + 1 < first + count ? static_cast<int32_t>(i + 1) : free_head, nullptr};
  free_head = static_cast<int32_t>(first);
}

ExtresSlot& live_slot(uint32_t index) {
  if (index >= slots.size() || (slots[index].flags & kExtresFree)) fatal_assertion();
  return slots[index];
}

// Takes a live slot off the live list.
void unlink_live(int32_t index) {
  int32_t* link = &live_head;
  while (*link != index) link = &slots[static_cast<size_t>(*link)].next;
  *link = slots[static_cast<size_t>(index)].next;
}

// Resets an unlinked slot and puts it at the head of the free list.
void push_free(int32_t index) {
  slots[static_cast<size_t>(index)] = ExtresSlot{kExtresFree, free_head, nullptr};
  free_head = index;
}

}  // namespace

void extres_init() {
  kinds.release();
  slots.release();
  live_head = free_head = kEnd;
  add_free_slots(kExtresFirstSlots);
}

uint32_t extres_kind_register(const char* identity, ExtresRelease release) {
  if (kinds.size() == kExtresKindLimit) fatal_assertion();
  kinds.push_back(ExtresKind{identity, release});
  return static_cast<uint32_t>(kinds.size());
}

uint32_t extres_slot_acquire(void* object, uint32_t kind) {
  if (free_head == kEnd || slots[static_cast<size_t>(free_head)].next == kEnd) add_free_slots(slots.size());
  int32_t index = free_head;
  ExtresSlot& slot = slots[static_cast<size_t>(index)];
  free_head = slot.next;
  slot = ExtresSlot{kind & kExtresKindMask, live_head, object};
  live_head = index;
  return static_cast<uint32_t>(index);
}

void extres_slot_set(uint32_t index, void* object) {
  ExtresSlot& slot = live_slot(index);
  void* old = slot.object;
  slot.object = object;
  if (old != object) extres_release_object(slot.flags, old);
}

void extres_slot_release(uint32_t index, bool release) {
  ExtresSlot& slot = live_slot(index);
  if (release) extres_release_object(slot.flags, slot.object);
  unlink_live(static_cast<int32_t>(index));
  push_free(static_cast<int32_t>(index));
}

bool extres_slot_mark(uint32_t index, void* object) {
  if (index >= slots.size() || (slots[index].flags & kExtresFree)) return false;
  ExtresSlot& slot = slots[index];
  if (object) slot.object = object;
  bool was_unmarked = !(slot.flags & kExtresMark);
  slot.flags |= kExtresMark;
  return was_unmarked;
}

void extres_for_each(uint32_t kind, ExtresVisit visit) {
  for (int32_t i = live_head; i != kEnd; i = slots[static_cast<size_t>(i)].next) {
    const ExtresSlot& slot = slots[static_cast<size_t>(i)];
    if ((slot.flags & kExtresKindMask) == kind) visit(kind, slot.object);
  }
}

void extres_release_object(uint32_t flags, void* object) {
  uint32_t kind = flags & kExtresKindMask;
  if (kind == 0 || kind > kinds.size() || !kinds[kind - 1].release) return;
  kinds[kind - 1].release(object);
}

void extres_sweep() {
  // First every unmarked slot leaves the live list for a list of the dying, so the releases run
  // over sound lists (a release may even acquire a slot).
  int32_t dying = kEnd;
  int32_t previous = kEnd;
  for (int32_t i = live_head; i != kEnd;) {
    ExtresSlot& slot = slots[static_cast<size_t>(i)];
    int32_t next = slot.next;
    if (slot.flags & kExtresMark) {
      slot.flags &= ~kExtresMark;
      previous = i;
    } else {
      (previous == kEnd ? live_head : slots[static_cast<size_t>(previous)].next) = next;
      slot.next = dying;
      dying = i;
    }
    i = next;
  }
  while (dying != kEnd) {
    ExtresSlot slot = slots[static_cast<size_t>(dying)];
    push_free(dying);
    extres_release_object(slot.flags, slot.object);
    dying = slot.next;
  }
}

uint32_t extres_slot_capacity() { return static_cast<uint32_t>(slots.size()); }

void* extres_slot_object(uint32_t index) { return index < slots.size() ? slots[index].object : nullptr; }

void extres_release_all() {
  while (live_head != kEnd) extres_slot_release(static_cast<uint32_t>(live_head), true);
}

}  // namespace qel
