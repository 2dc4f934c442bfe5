// stdout-print-hook.h: the print hook of the text console: printed text goes to standard output.
#pragma once

#include "runtime/cell.h"

namespace qel {

// Writes a text value from its index to standard output, then a line end when asked.
void stdout_print_hook(const Cell& text, bool newline);

// Registers the hook once; later calls change nothing.
void stdout_print_hook_install();

}  // namespace qel
