// pipe-pump.h: feeding a child's input and collecting its output and error together, so that
// no side waits on a full pipe the other is not emptying.
#pragma once

#include <cstdint>
#include <string_view>

#include "loader/file-bytes.h"
#include "loader/file-descriptor.h"

namespace qel {

// What came through an output pipe: at most the cap; more is read and dropped, and marked.
struct Capture {
  FileBytes bytes;
  bool overflowed = false;
};

// This process's ends of a child's pipes, non-blocking; each may be closed (not piped).
struct ParentEnds {
  FileDescriptor input;   // the child reads what is written here
  FileDescriptor output;  // what the child writes to its output
  FileDescriptor error;   // what it writes to its error
};

// Writes the input as the pipe takes it and reads both outputs as they come, until the input
// is all written (or the child stopped reading it: no error) and both outputs reach their end.
// Every end is closed on return.
void pump_pipes(ParentEnds& ends, std::string_view input, Capture& output, Capture& error, uint64_t cap);

}  // namespace qel
