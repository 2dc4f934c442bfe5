// console-launch.h: the text console's start: a script named on the command line runs and the
// process ends with its status; otherwise ("qel" or "qel --cli") the console's loop runs.
#pragma once

namespace qel {

// The launch service: installs the standard output print hook, then runs the script or the loop.
void console_launch();

}  // namespace qel
