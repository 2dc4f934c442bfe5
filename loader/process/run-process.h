// run-process.h: os-run-process: one command run with its standard streams redirected to
// memory or files, waited for or left to run.
#pragma once

#include <cstdint>
#include <string>

#include "loader/process/pipe-pump.h"

namespace qel {

enum class StreamKind : uint8_t {
  none,    // the null device
  memory,  // input: `input` is sent; output and error: collected into `captured`
  file,    // input read from `path`; output and error appended to it (made when missing)
};

struct StreamRedirect {
  StreamKind kind = StreamKind::none;
  std::string path;   // file: its OS path
  std::string input;  // memory input: the bytes sent
  Capture captured;   // memory output or error: the bytes that came
};

struct ProcessRequest {
  std::string command;  // UTF-8, no U+0000
  bool wait = false;
  bool shell = false;   // through the command interpreter whatever the command holds
  StreamRedirect input, output, error;
};

// Starts the command: directly when it is one program with plain words, else through
// /bin/sh -c, and through it too when no such program is found (the interpreter's own commands,
// or its "not found" and status 127). Waits when asked or when any stream is redirected, feeding
// and collecting the streams meanwhile, and answers the exit status (128 + n after signal n);
// otherwise answers the child's id at once and reaps it later. -1 when a redirect file cannot be
// opened, a pipe cannot be made or nothing could be started: nothing runs then.
int32_t os_run_process(ProcessRequest& request);

}  // namespace qel
