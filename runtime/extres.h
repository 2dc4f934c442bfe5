// extres.h: external resources: OS and library objects (bitmaps, fonts, interfaces) held in
// numbered slots that handle! and image! values name, released through their kind's callback
// once no value reaches them.
#pragma once

#include <cstdint>

namespace qel {

using ExtresRelease = void (*)(void* object);
using ExtresVisit = void (*)(uint32_t kind, void* object);

inline constexpr uint32_t kExtresKindLimit = 20;
inline constexpr uint32_t kExtresFirstSlots = 1000;
inline constexpr uint32_t kExtresNoSlot = 0xFFFFFFFF;  // a handle! with no slot

// Slot flags: the kind in bits 0-7, a free slot's state bit, the collector's mark.
inline constexpr uint32_t kExtresKindMask = 0xFF;
inline constexpr uint32_t kExtresFree = 0x40000000;
inline constexpr uint32_t kExtresMark = 0x80000000;

// extres-init: an empty kind table and 1,000 free slots.
void extres_init();

// Appends a kind; answers its number (from 1). A 21st kind is runtime error 98.
uint32_t extres_kind_register(const char* identity, ExtresRelease release);

// Takes a free slot for the object (the table doubles when the free list is about to run out).
uint32_t extres_slot_acquire(void* object, uint32_t kind);

// Replaces the slot's object; a different old object goes to its kind's release.
void extres_slot_set(uint32_t index, void* object);

// Frees the slot, releasing its object first when `release` is set. A free or out-of-range
// slot is runtime error 98.
void extres_slot_release(uint32_t index, bool release);

// Marks a live slot, storing the object when one is given; answers true when it was unmarked.
// A free or out-of-range index (a stale handle) is passed over.
bool extres_slot_mark(uint32_t index, void* object);

// Calls `visit` with (kind, object) for every live slot of the kind.
void extres_for_each(uint32_t kind, ExtresVisit visit);

// Hands the object to the release of the kind in `flags` (nothing for kind 0 or no callback).
void extres_release_object(uint32_t flags, void* object);

// After marking: marked slots are unmarked; every unmarked live slot has its object released
// exactly once and becomes free (the next acquisition takes it first).
void extres_sweep();

// Releases the object of every live slot and frees the slot: a restart of the runtime lets go of
// what the last run still held, before the table is made afresh.
void extres_release_all();

// The slot table's size and a slot's object (tests, statistics).
uint32_t extres_slot_capacity();
void* extres_slot_object(uint32_t index);

}  // namespace qel
