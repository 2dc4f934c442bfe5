// print-hooks.h: receivers of every printed text (the GUI console's terminal registers here).
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// Called with the formed text (a string value) and whether a line end follows it.
using StringHook = void (*)(const Cell& text, bool newline);
// Called with the bytes of a runtime diagnostic line, their count and a third word.
using ByteHook = void (*)(const char* bytes, size_t length, uint32_t extra);

void print_hooks_init();
// Either hook may be null; each non-null one is appended to its list.
void print_hooks_add(StringHook string_hook, ByteHook byte_hook);
// Removes the first registration of each non-null hook; an unknown hook changes nothing.
void print_hooks_remove(StringHook string_hook, ByteHook byte_hook);
// Call every hook in registration order. Each run works on the list as it stood at its start,
// so a hook added during a run is first called on the next run, and one removed still runs once.
void print_hooks_run(const Cell& text, bool newline);
void print_hooks_run_cstr(const char* bytes, size_t length, uint32_t extra);

// Capacities, for tests: lists start with room for 5 and grow by 5.
size_t print_hooks_string_capacity();
size_t print_hooks_byte_capacity();

}  // namespace qel
