// settings-file.h: the routines under the console's settings file: whether standard input is a
// terminal (only such runs keep a history), writing the file whole or not at all, and telling
// that it cannot be loaded.
#pragma once

namespace qel {

// Adds console-terminal?, settings-save and settings-unloadable to the routine table.
void register_settings_routines();

}  // namespace qel
