// settings-file.h: the routines under the console's settings file: whether standard input is a
// terminal (only such runs keep a history), and writing the file whole or not at all.
#pragma once

namespace qel {

// Adds console-terminal? and settings-save to the routine table.
void register_settings_routines();

}  // namespace qel
