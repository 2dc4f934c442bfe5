// qelbin-routines.cpp: the serialized-value codec's routines.
#include "loader/qelbin/qelbin-routines.h"

#include "datatypes/series/block-core.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// An image is at least its header: a shorter binary is no image at all.
constexpr uint32_t kShortestImage = 10;
constexpr size_t kReadBinary = refinement_position(Act::Read, "binary");

// The routine's result goes into its frame's result cell.
void set_result(const Cell& value) { *value_stack.base = value; }

}  // namespace

RoutineResult qelbin_encode_routine(std::span<const RoutineArgument> arguments) {
  const Cell data = *arguments[0].cell;
  const bool compact = arguments[1].integer != 0;
  set_result(compact ? qelbin_encode_compact(data) : qelbin_encode_records(data));
  return {};
}

RoutineResult qelbin_decode_routine(std::span<const RoutineArgument> arguments) {
  const Cell payload = *arguments[0].cell;
  GcRoot<Cell> bytes(payload);
  const Type type = cell_type(payload);
  if (type == Type::file || type == Type::url) {
    Cell* top = value_stack.top;
    bytes.get() = call_action(Act::Read, std::array{payload}, {Refinement{kReadBinary}});
    value_stack.top = top;
  } else if (type != Type::binary) {
    raise_error(error_id("script", "invalid-data"), payload);
  }
  const Cell binary = bytes.get();
  const uint32_t length = series_buffer_length(binary.w2) - std::min(binary.w1, series_buffer_length(binary.w2));
  if (cell_type(binary) != Type::binary || length <= kShortestImage)
    raise_error(error_id("script", "invalid-data"), payload);
  GcRoot<Cell> block;
  block_make_at(block.get(), 1);
  // The binary's bytes stay in place while the decoder reads them: it holds collection off.
  qelbin_decode({series_buffer(binary.w2)->head_address() + binary.w1, length}, block.get(), true, payload);
  set_result(series_buffer_length(block->w2) == 1 ? series_buffer(block->w2)->head_cell()[0] : block.get());
  return {};
}

void register_qelbin_routines() {
  register_routine_once("qelbin-encode*", qelbin_encode_routine);
  register_routine_once("qelbin-decode", qelbin_decode_routine);
}

}  // namespace qel
