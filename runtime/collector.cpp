// collector.cpp: one collection cycle in its order, the root tables, the enable and active
// flags, requests, safe points and the torture switch.
#include "runtime/collector.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

#include "runtime/collector-phases.h"
#include "runtime/extref.h"
#include "runtime/extres.h"
#include "runtime/gc-root.h"
#include "runtime/interrupt.h"
#include "runtime/memory.h"
#include "runtime/node-table.h"
#include "runtime/quit.h"
#include "runtime/root-block.h"
#include "runtime/services.h"

namespace qel {

alignas(std::atomic_ref<uint32_t>::required_alignment) uint32_t gc_pending = 0;
std::atomic<bool> gc_active{false};

namespace {

constexpr size_t kCallbackLimit = 100;

// Callbacks in registration order. Removal writes null (the table never shrinks); once the
// cursor is at the end, an addition takes the first null entry, and with none it is error 98.
struct CallbackTable {
  RootCallback entries[kCallbackLimit];
  size_t cursor;

  void add(RootCallback callback) {
    if (cursor < kCallbackLimit) {
      entries[cursor++] = callback;
      return;
    }
    for (RootCallback& entry : entries)
      if (!entry) {
        entry = callback;
        return;
      }
    fatal_assertion();
  }

  void remove(RootCallback callback) {
    for (size_t i = 0; i < cursor; ++i)
      if (entries[i] == callback) {
        entries[i] = nullptr;
        return;
      }
  }

  // Calls each, marking everything it reached before the next.
  void run() const {
    for (size_t i = 0; i < cursor; ++i)
      if (entries[i]) {
        entries[i]();
        mark_stack_drain();
      }
  }
};

CallbackTable roots;
CallbackTable post_marks;

bool enabled = false;
bool requested = false;
bool torture = false;
// While set, the torture mode waits (see collector_switch_torture).
bool torture_suspended = false;
uint32_t cycles = 0;

// Set by safepoint_signal; taken (and the hook run) by the next safe point.
std::atomic<bool> signalled{false};
void (*signal_hook)() = nullptr;

// A signal that lands between the load and the store below is not lost for good: the next
// refresh sees its flag again.
bool torturing() { return torture && !torture_suspended; }

void refresh_pending() { gc_pending = (requested || torturing() || signalled.load(std::memory_order_relaxed)) ? 1 : 0; }

bool may_collect() { return enabled && gc_hold_depth == 0 && !gc_active.load(); }

// Marks one fixed root and everything it leads to.
void mark_fixed_root(NodeId block) {
  collector_mark_block(block);
  mark_stack_drain();
}

// The roots, all explicit: the root block, the registered callbacks (the stacks, the symbol
// table, the global context ...), the lexer's state, the extref block, the guards.
void mark_roots() {
  mark_fixed_root(root_block());
  roots.run();
  services().lexer_mark();
  mark_stack_drain();
  mark_fixed_root(extref_block());
  gc_roots_mark();
  mark_stack_drain();
}

// One full cycle.
void collect() {
  memory_window_close();
  node_window_close();
  gc_active.store(true);
  mark_bits_prepare();
  mark_roots();
  post_marks.run();
  extres_sweep();
  if (torturing())
    evacuate_frames();
  else
    compact_frames();
  big_series_release_unmarked();
  heap_buffers_release_unmarked();
  mark_bits_clear();
  node_frames_release_empty(cycles + 1);
  memory_cycle_done();
  ++cycles;
  requested = false;
  refresh_pending();
  gc_active.store(false);
  memory_window_open();
}

}  // namespace

void collector_init() {
  cycles = 0;
  requested = false;  // a fresh heap has nothing to collect yet
  memory_window_open();  // past the budget, the next allocation asks again
  const char* setting = std::getenv("QEL_GC_TORTURE");
  collector_set_torture(setting && (std::string_view(setting) == "1" || std::string_view(setting) == "boot"));
}

bool collector_torture_at_boot() {
  const char* setting = std::getenv("QEL_GC_TORTURE");
  return setting && std::string_view(setting) == "boot";
}

void collector_enable(bool on) { enabled = on; }
bool collector_enabled() { return enabled; }
uint32_t collector_cycles() { return cycles; }
uint32_t collector_node_compactions() { return 0; }

void collector_request() {
  requested = true;
  refresh_pending();
}

bool collector_requested() { return requested; }

void gc_safepoint_collect() {
  if (signalled.exchange(false)) {
    refresh_pending();
    if (signal_hook) signal_hook();
    halt_if_interrupted();  // last: Ctrl+C's halt may unwind from here
  }
  if ((requested || torturing()) && may_collect()) collect();
}

void safepoint_set_signal_hook(void (*hook)()) { signal_hook = hook; }

void safepoint_signal() {
  signalled.store(true);
  std::atomic_ref<uint32_t>(gc_pending).store(1, std::memory_order_relaxed);
}

bool collect_now() {
  if (!may_collect()) {
    collector_request();
    return false;
  }
  collect();
  return true;
}

void collector_add_root(RootCallback callback) { roots.add(callback); }
void collector_remove_root(RootCallback callback) { roots.remove(callback); }
void collector_add_post_mark(RootCallback callback) { post_marks.add(callback); }
void collector_remove_post_mark(RootCallback callback) { post_marks.remove(callback); }

void collector_set_torture(bool on) {
  torture = on;
  refresh_pending();
}

bool collector_torture() { return torture; }

bool collector_switch_torture(bool on) {
  const bool was = !torture_suspended;
  torture_suspended = !on;
  refresh_pending();
  return was;
}

}  // namespace qel
