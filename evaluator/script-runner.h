// script-runner.h: running a script file: its text after the header, or all of it when it has
// none; errors are printed as the console prints them.
#pragma once

#include <cstddef>
#include <string_view>

namespace qel {

// Where the script header starts: the first "Qel" (case-sensitive), optionally followed by
// "/System", then any blanks (space, tab, CR, LF), then "["; npos when there is none.
size_t find_script_header(std::string_view text);

// Runs the script at the path and answers the process's exit status: 0 when it ran to its
// end, 1 when it could not be read or loaded, is no Qel program, or stopped on an error.
int run_script_file(const char* path);

}  // namespace qel
