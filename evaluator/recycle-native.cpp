// recycle-native.cpp: recycle over the collector and the memory figures.
#include "evaluator/recycle-native.h"

#include "runtime/action-entries.h"
#include "runtime/collector.h"
#include "runtime/memory-stats.h"
#include "runtime/value-stack.h"

namespace qel {

Status native_recycle(const int32_t* refinements) {
  const bool on = refinement_flag(refinements[0]);
  const bool off = refinement_flag(refinements[1]);
  if (on || off) {
    collector_enable(on);
    stack_set_result_only(make_cell(Type::unset));
    return {};
  }
  collect_now();
  stack_set_result_only(memory_stats_figure(memory_bytes_in_use()));
  return {};
}

}  // namespace qel
