// bench-runtime.h: the runtime the benchmarks that call actions run in.
#pragma once

#include "runtime/call-stack.h"
#include "runtime/cell.h"
#include "runtime/startup.h"

namespace qel::bench_support {

// Every datatype registered and a native frame open, once per process.
inline void start_runtime_once() {
  static bool started = false;
  if (started) return;
  started = true;
  restart_with_datatypes();
  set_frame_symbols(1, 2, 3);
  stack_open_native_frame(make_cell(Type::word, 0, 10, 0xFFFFFFFF));
}

}  // namespace qel::bench_support
