// text-front-end.h: the console on standard input and output: the routines the engine reads
// answers and sets titles through, and the start that hands the process over to the engine.
//
// The text front end serves whenever no window does: until the GUI console exists, always.
#pragma once

#include <string>
#include <string_view>

namespace qel {

// The control sequence that sets a terminal's title to the text (UTF-8), its control characters
// (C0, DEL and C1) left out: no title can end the sequence early and start another.
std::string terminal_title_sequence(std::string_view title);

// Adds the front end's routine entries to the routine table.
void register_console_routines();

// The launch service: the standard output print hook, the console's size (kept current on
// terminal resizes), then system/console/launch. Answers when the engine returns: the process
// then ends with status 0.
void text_front_end_launch();

}  // namespace qel
