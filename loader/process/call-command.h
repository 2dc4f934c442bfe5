// call-command.h: the process service behind call: the values of its refinements as streams,
// and what the child wrote put into the caller's string! or binary!.
#pragma once

#include <cstdint>

#include "loader/process/pipe-pump.h"
#include "runtime/cell.h"
#include "runtime/services.h"

namespace qel {

// init-call: the process layer's start-up step: children left to run are reaped once they end.
void init_call();

// call-command: runs the request (see os_run_process). /console raises internal not-done. The
// input may be a string! (its UTF-8 from its index, line ends as they stand), a binary! (its
// bytes from its index) or a file! (read); output and error a string! or binary! (collected) or
// a file! (appended to); anything else raises script invalid-arg. All of that is checked before
// anything starts.
int32_t call_command(const CallRequest& request);

// insert-captured-output: a binary! takes the bytes at its index; a string! takes them as text
// at its tail (bytes outside UTF-8 as U+FFFD, line ends as a file's text reads them). More than
// the capture cap raises internal limit-hit naming the target.
void insert_captured_output(const Cell& target, const Capture& capture);

}  // namespace qel
