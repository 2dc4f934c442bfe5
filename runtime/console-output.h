// console-output.h: the lowest output layer: diagnostics and printed text to standard output.
#pragma once

namespace qel {

// Notes whether standard output is a terminal and installs the exit flush.
void console_output_init();

// Writes out whatever is staged.
void console_flush();

}  // namespace qel
