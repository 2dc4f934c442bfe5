// Fast paths: an integer add in place against the same add through a native frame and the add
// action's entry (a plain integer add registered for the run).
#include <benchmark/benchmark.h>

#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/fast-paths.h"
#include "runtime/startup.h"
#include "runtime/value-stack.h"

namespace qel {
namespace {

Cell integer(int32_t n) { return make_cell(Type::integer, 0, static_cast<uint32_t>(n)); }

// integer! add, as the action route would find it: the frame's two cells, the sum in the first.
void integer_add() {
  Cell* base = stack_base();
  base[0] = integer(static_cast<int32_t>(base[0].w2 + base[1].w2));
}

Cell prepare() {
  restart_memory();
  datatype_tables_init();
  register_datatype(Type::integer, Type::none_id, "integer!", ActionRow().set<Act::Add>(integer_add));
  init_action_entries();
  return word_from_c_string("+");
}

void int_add_qel(benchmark::State& state) {
  const Cell op = prepare();
  int32_t x = 0;
  for (auto _ : state) {
    fast_arith_int(op, kOpAdd, integer(x), 1);
    x = static_cast<int32_t>(stack_last_value()->w2) & 0xFFFF;
    stack_drop(1);
  }
  benchmark::DoNotOptimize(x);
}

void int_add_action_route(benchmark::State& state) {
  const Cell op = prepare();
  const int32_t none[1] = {-1};
  int32_t x = 0;
  for (auto _ : state) {
    stack_open_native_frame(op);
    stack_push_value(integer(x));
    stack_push_value(integer(1));
    action_entry(Act::Add)(none);
    stack_close_frame();
    x = static_cast<int32_t>(stack_last_value()->w2) & 0xFFFF;
    stack_drop(1);
  }
  benchmark::DoNotOptimize(x);
}

const bool registered = [] {
  benchmark::RegisterBenchmark("fast-int-add/qel", int_add_qel);
  benchmark::RegisterBenchmark("fast-int-add/action-route", int_add_action_route);
  return true;
}();

}  // namespace
}  // namespace qel
