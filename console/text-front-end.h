// text-front-end.h: the console on standard input and output: the routines the engine reads
// answers and sets titles through, and the start that hands the process over to the engine.
//
// The text front end serves whenever no window does: until the GUI console exists, always.
#pragma once

namespace qel {

// Adds the front end's routine entries to the routine table.
void register_console_routines();

// The launch service: the standard output print hook, the console's size (kept current on
// terminal resizes), then system/console/launch. Answers when the engine returns: the process
// then ends with status 0.
void text_front_end_launch();

}  // namespace qel
