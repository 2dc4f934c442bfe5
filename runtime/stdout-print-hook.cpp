// stdout-print-hook.cpp: printed text to standard output through the console output layer.
#include "runtime/stdout-print-hook.h"

#include "runtime/console-output.h"
#include "runtime/print-hooks.h"
#include "runtime/series.h"

namespace qel {

void stdout_print_hook(const Cell& text, bool newline) {
  SeriesBuffer* buffer = series_buffer(text.w2);
  uint32_t unit = buffer->unit();
  uint32_t length = series_buffer_length(text.w2);
  uint32_t index = text.w1 < length ? text.w1 : length;
  console_write_units(buffer->head_address() + uint64_t{index} * unit, length - index, static_cast<int>(unit), newline);
}

void stdout_print_hook_install() {
  print_hooks_remove(stdout_print_hook, nullptr);
  print_hooks_add(stdout_print_hook, nullptr);
}

}  // namespace qel
