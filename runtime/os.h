// os.h: the OS side of process start-up: the standard handles and the command line.
#pragma once

#include <cstddef>
#include <string_view>

namespace qel {

// The standard handles are the process's file descriptors 0, 1 and 2.
inline constexpr int kStandardInput = 0;
inline constexpr int kStandardOutput = 1;
inline constexpr int kStandardError = 2;

// Makes sure the standard handles are open, then runs command_line_init.
void os_start(int argc, char** argv);

// Copies every argument's bytes, as they are, into its own runtime-heap block and stores the
// count, the null-terminated vector and a null environment vector in the runtime record.
void command_line_init(int argc, char** argv);

// Writes all the bytes to the descriptor, on through short counts and interruptions; answers 0,
// or why it stopped as an errno value (EIO for a write that took nothing, which sets no errno).
// Async-signal-safe.
int os_write_all(int fd, const void* bytes, size_t length);

// Writes the text to standard error whole, straight to the descriptor (reports that must get
// out even when the console's buffers are in an unknown state); a failing write ends it.
void write_standard_error(std::string_view text);

}  // namespace qel
