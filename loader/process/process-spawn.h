// process-spawn.h: starting a program with chosen standard streams and default signals.
#pragma once

#include <sys/types.h>

#include <array>
#include <string>
#include <vector>

namespace qel {

// The descriptors a child gets as its standard input, output and error; -1: the null device.
using StandardStreams = std::array<int, 3>;

// Starts the program (argv[0], searched on PATH unless it holds a "/") with those streams, no
// other descriptor of this process, every signal at its default action and none blocked.
// Answers its id, or -1 with the reason in `error` (ENOENT: no such program).
pid_t spawn_program(const std::vector<std::string>& argv, const StandardStreams& streams, int& error);

// Starts the command interpreter on the command line.
pid_t spawn_shell(const std::string& command, const StandardStreams& streams, int& error);

}  // namespace qel
