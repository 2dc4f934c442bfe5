// fault-signals.h: processor faults and termination signals become numbered runtime errors.
#pragma once

namespace qel {

// Installs the handlers for the whole process (once, before the language thread starts): faults,
// SIGHUP, SIGQUIT and SIGTERM (exit 128 + the signal's number), SIGINT (a halt request,
// interrupt.h), SIGPIPE ignored.
void install_fault_handlers();

// The runtime error number of a fault signal and its si_code (stack overflow aside).
int runtime_error_of_signal(int signal_number, int signal_code);

}  // namespace qel
