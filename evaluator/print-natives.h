// print-natives.h: print and prin, their shared core and print buffer, and the last line flag.
//
// The print buffer is one block in the root block shared by every print: a print of a block
// reduces into it from its current tail and cuts it back to that point on every way out, so a
// print inside an expression being printed stacks its values above the outer ones and leaves
// them as they were.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/throw.h"

namespace qel {

// The start-up step: the print buffer (room for 32 cells) in the root block; no print yet.
void print_natives_init();

// The print core: a block reduced and formed (its values separated by spaces), a string! as it
// stands from its index, any other value formed; the text and the line flag go to every print
// hook. The value stack is left as it was.
Status print_value(const Cell& value, bool line);

// The line flag of the last print that reached the hooks: true after print, false after prin
// (and before anything was printed).
bool print_last_line_flag();
// Sets it: a console read ends the line its question stood on, as a print would.
void print_set_last_line_flag(bool line);

// The print service: print_value with a line end; a break, continue or throw from the printed
// block travels on as NonLocalExit.
void print_line_service(const Cell& value);

Status native_print(const int32_t* refinements);
Status native_prin(const int32_t* refinements);

}  // namespace qel
