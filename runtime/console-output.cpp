// console-output.cpp: standard output writers.
#include "runtime/console-output.h"

#include "runtime/quit.h"

namespace qel {

void console_output_init() { set_exit_flush(console_flush); }

void console_flush() {}

}  // namespace qel
