// quit.h: the ways the process ends: numbered runtime errors and the plain quit.
#pragma once

#include <cstdint>

namespace qel {

// Runtime error numbers used by name in the code.
enum : int {
  kErrorAccessViolation = 1,
  kErrorStackOverflow = 19,
  kErrorOutOfMemory = 94,
  kErrorNoCatchForThrow = 95,
  kErrorAssertionFailed = 98,
  kErrorUnknown = 99,
  kErrorNoMatchInCase = 100,
  kErrorNoMatchInSwitch = 101,
};

// The message of a runtime error number, verbatim ("unknown error code!" beyond the table).
const char* runtime_error_message(int number);

// POSIX keeps 8 bits of an exit status: a non-zero status whose low byte is 0 becomes 255.
int process_exit_status(int64_t status);

// The "at" figure of a report: low 32 bits of a code address less the executable's load address.
uint32_t code_offset(uintptr_t code_address);

// Reports "*** Runtime Error N: message\n*** at: XXXXXXXXh" on stderr (and in the message-box
// service), releases the runtime heap and exits with the number. Number 0 reports nothing.
[[noreturn]] void quit_with_runtime_error(int number, uintptr_t code_address);

// The same report from a signal handler: only async-signal-safe calls, no message box.
[[noreturn]] void quit_with_runtime_error_from_signal(int number, uintptr_t code_address);

// Ends the process with a status and no report: flush output, release the heap, exit.
[[noreturn]] void quit_return(int64_t status);

// The same from a signal handler (termination, a second Ctrl+C): the staged output written, the
// terminal's echo back on when a hidden read had turned it off, then the exit. The language's
// state is out of reach here, so nothing of it is saved (the console's history among it).
[[noreturn]] void quit_from_signal(int status);

// Ends the process when a branch over a closed set of values meets none of them.
[[noreturn]] void fatal_no_match_switch();  // 101, at the caller
[[noreturn]] void fatal_no_match_case();    // 100, at the caller
[[noreturn]] void fatal_assertion();        // 98, at the caller

// Where quit looks for pending output to flush; the console writer installs its flush.
void set_exit_flush(void (*flush)());

}  // namespace qel
