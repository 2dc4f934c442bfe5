// collector.h: the garbage collector: roots, marking primitives for other subsystems, safe
// points, and the torture mode. Root guards and NoGcScope are in runtime/gc-root.h.
//
// The rules every subsystem keeps:
// - Allocation never collects; it only requests a collection. Collections run at safe points
//   (gc_safepoint) and on collect_now, only while collection is enabled and no NoGcScope is open.
// - No Cell* or byte pointer into a series buffer survives a safe point or a call into the
//   evaluator: keep (node, index) and keep values on the value stack or in GcRoot guards.
//   Re-read buffer addresses after growing your own series.
// - Node ids never change: a collection moves buffers and re-points their nodes only.
// - Roots are explicit: the root block, the extref block, the lexer's state, the GcRoot guards
//   and the registered root callbacks. The machine stack is never scanned.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/cell.h"
#include "runtime/type-ids.h"

namespace qel {

// A root callback marks what its subsystem holds, through the marking primitives below.
using RootCallback = void (*)();
// Marks what a cell of one type refers to.
using TypeMarker = void (*)(const Cell& cell);
// Marks a hash table (the record's node and the series it refers to).
using TableMarker = void (*)(NodeId table);

// init-collector: both cycle counts to 0, no collection requested; the torture mode from
// QEL_GC_TORTURE=1 (or boot).
void collector_init();
// Whether the library's boot runs under torture too (QEL_GC_TORTURE=boot); with
// QEL_GC_TORTURE=1 the boot collects normally and torture starts at launch.
bool collector_torture_at_boot();

// The enable flag (0 until the entry body's enable-collection step).
void collector_enable(bool on);
bool collector_enabled();

// True while a collection runs (written with a full fence on both edges).
extern std::atomic<bool> gc_active;
inline bool collector_active() { return gc_active.load(); }

// Collections done so far; node compactions done so far (always 0: node ids never move).
uint32_t collector_cycles();
uint32_t collector_node_compactions();

// Asks for a collection at the next safe point.
void collector_request();
bool collector_requested();

// --- safe points -------------------------------------------------------------------------------

// Nonzero while a collection is requested or the torture mode is on: the safe point's fast test.
extern uint32_t gc_pending;
void gc_safepoint_collect();

// Collects when a collection is requested (or always, in torture mode), collection is enabled
// and no NoGcScope is open. Every Cell* and buffer address is stale afterwards.
inline void gc_safepoint() {
  if (gc_pending) [[unlikely]] gc_safepoint_collect();
}

// Work a signal handler cannot do itself (it may not allocate, lock or reach the language's
// state) runs at the next safe point on the language thread: the hook set here, once a handler
// has called safepoint_signal. The safe point's fast test stays the one load above.
void safepoint_set_signal_hook(void (*hook)());
// Async-signal-safe; callable from any thread.
void safepoint_signal();

// One collection now (the recycle native), under the same conditions except the request;
// answers whether it ran (when it could not, the request stays for the next safe point).
bool collect_now();

// --- roots ---------------------------------------------------------------------------------

// Appends a root callback (at most 100 at once; more is runtime error 98). A callback runs at
// every collection, after the root block, in registration order.
void collector_add_root(RootCallback callback);
// Stops calling it; removing one never added changes nothing.
void collector_remove_root(RootCallback callback);

// A callback run after marking and before anything is released, for tables that hold nodes
// without keeping them alive: they ask collector_is_marked and drop the dead entries.
void collector_add_post_mark(RootCallback callback);
void collector_remove_post_mark(RootCallback callback);

// --- marking primitives (only inside root callbacks and markers) ------------------------------

// Sets a buffer's mark; answers true when it was not marked yet. Ids that name no series in
// use (0, free, out of range) are passed over.
bool collector_mark_node(NodeId node);
// Marks a series and, when it is a cell series (unit 16), every value from its head to its tail.
void collector_mark_block(NodeId node);
// A context: its record series (context! cell and owner cell), once.
void collector_mark_context(NodeId node);
// Marks what the values of a cell range refer to.
void collector_mark_cells(const Cell* first, const Cell* end);
// True when the node's buffer is marked in the collection under way.
bool collector_is_marked(NodeId node);

// The marking of one datatype, for types whose subsystem marks them itself (image!, event!).
void collector_set_type_marker(Type type, TypeMarker marker);
// The marking of hash tables (hash! and map! tables, context word tables), by their subsystem;
// until one is set, a table's own node is marked.
void collector_set_table_marker(TableMarker marker);
void collector_mark_table(NodeId table);

// --- torture mode ------------------------------------------------------------------------------

// On: every safe point collects, and every collection moves every live frame buffer into fresh
// frames and makes the old range inaccessible, so a stale pointer faults at once.
void collector_set_torture(bool on);
bool collector_torture();
// Suspends (false) or resumes (true) the torture mode without changing it; answers whether it
// was resumed. The console runs its own steps between commands suspended, so that the torture's
// cost, a full collection at every safe point, goes to the code under test and not to the
// console's reading, checking and printing, which is the same code for every line.
bool collector_switch_torture(bool on);

}  // namespace qel
