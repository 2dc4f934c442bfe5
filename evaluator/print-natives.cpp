// print-natives.cpp: print and prin over one core, the shared print buffer and the last line
// flag.
#include "evaluator/print-natives.h"

#include <algorithm>
#include <array>

#include "datatypes/series/block-core.h"
#include "evaluator/interpreter.h"
#include "evaluator/reduce-native.h"
#include "runtime/action-entries.h"
#include "runtime/print-hooks.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr int64_t kPrintBufferCells = 32;

uint32_t buffer_slot = 0;  // the print buffer's position in the root block
bool last_line_flag = false;

// The print buffer at its head.
Cell print_buffer() { return *root_slot(buffer_slot); }

// Cuts the print buffer back to the length it had when the print began, however the print
// ends (an error or a throw from the reduced block included).
class BufferCut {
 public:
  BufferCut() : start_(block_total_cells(print_buffer())) {}
  ~BufferCut() { block_truncate(print_buffer(), std::min(start_, block_total_cells(print_buffer()))); }
  BufferCut(const BufferCut&) = delete;
  BufferCut& operator=(const BufferCut&) = delete;
  int64_t start() const { return start_; }

 private:
  int64_t start_;
};

// The block reduced into the buffer from its tail, then formed: pushed.
Status push_reduced_text(const Cell& block, int64_t start) {
  Cell* out = stack_push_value(print_buffer());
  out->w1 = static_cast<uint32_t>(start);
  QEL_TRY(reduce_block_into(block, *out));
  Cell reduced = print_buffer();
  reduced.w1 = static_cast<uint32_t>(start);
  call_action(Act::Form, std::array{reduced});
  return {};
}

// The text a value prints as: pushed.
Status push_text(const Cell& value, int64_t start) {
  if (cell_type(value) == Type::block) return push_reduced_text(value, start);
  if (cell_type(value) != Type::string) {
    call_action(Act::Form, std::array{value});
    return {};
  }
  Cell* text = stack_push_value(value);
  text->w1 = std::min(text->w1, series_buffer_length(text->w2));
  return {};
}

}  // namespace

void print_natives_init() {
  Cell buffer;
  block_make_at(buffer, kPrintBufferCells);
  buffer_slot = root_slot_append(buffer);
  last_line_flag = false;
}

Status print_value(const Cell& value, bool line) {
  Cell* const top = value_stack.top;
  const Cell* held = stack_push_value(value);  // kept while the block is reduced
  const BufferCut cut;
  QEL_TRY(push_text(*held, cut.start()));
  print_hooks_run(*stack_last_value(), line);
  value_stack.top = top;
  last_line_flag = line;
  return {};
}

bool print_last_line_flag() { return last_line_flag; }
void print_set_last_line_flag(bool line) { last_line_flag = line; }

void print_line_service(const Cell& value) { throw_if_exit(print_value(value, true)); }

Status native_print(const int32_t*) {
  QEL_TRY(print_value(value_stack.base[0], true));
  stack_set_result(make_cell(Type::unset));
  return {};
}

Status native_prin(const int32_t*) {
  QEL_TRY(print_value(value_stack.base[0], false));
  stack_set_result(make_cell(Type::unset));
  return {};
}

}  // namespace qel
