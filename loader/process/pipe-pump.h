// pipe-pump.h: feeding a child's input and collecting its output and error together, so that
// no side waits on a full pipe the other is not emptying.
#pragma once

#include <cstdint>
#include <string_view>

#include "loader/file-bytes.h"
#include "loader/file-descriptor.h"

namespace qel {

// The most bytes one capture keeps by default (the series ceiling; tests lower it).
extern uint64_t process_capture_cap;

// What came through an output pipe: at most `cap` bytes; more is read and dropped, and marked.
// A binary! target's series may be set in `bytes` to take them straight at its tail.
struct Capture {
  FileBytes bytes;
  uint64_t cap = process_capture_cap;
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
void pump_pipes(ParentEnds& ends, std::string_view input, Capture& output, Capture& error);

}  // namespace qel
