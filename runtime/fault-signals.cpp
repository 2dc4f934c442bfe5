// fault-signals.cpp: the fault handler: signal and code to runtime error number, then quit.
#include "runtime/fault-signals.h"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>

#include "runtime/interrupt.h"
#include "runtime/language-thread.h"
#include "runtime/quit.h"

namespace qel {

namespace {

struct SignalCodeNumber {
  int signal_number;
  int signal_code;  // 0 matches any code: the signal's fallback row
  int number;
};

// Rows with a code come before their signal's fallback row.
constexpr SignalCodeNumber kFaultNumbers[] = {
    {SIGSEGV, 0, 1},
    {SIGBUS, BUS_ADRALN, 2},
    {SIGBUS, 0, 34},
    {SIGFPE, FPE_INTDIV, 13},
    {SIGFPE, FPE_INTOVF, 14},
    {SIGFPE, FPE_FLTDIV, 7},
    {SIGFPE, FPE_FLTOVF, 10},
    {SIGFPE, FPE_FLTUND, 12},
    {SIGFPE, FPE_FLTRES, 8},
    {SIGFPE, FPE_FLTINV, 9},
    {SIGFPE, FPE_FLTSUB, 5},
    {SIGILL, ILL_PRVOPC, 15},
    {SIGILL, ILL_ILLOPN, 23},
    {SIGILL, ILL_ILLADR, 24},
    {SIGILL, ILL_ILLTRP, 25},
    {SIGILL, ILL_COPROC, 26},
    {SIGILL, ILL_PRVREG, 31},
    {SIGILL, 0, 17},
    {SIGTRAP, TRAP_BRKPT, 3},
    {SIGTRAP, TRAP_TRACE, 4},
};

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT};
// Signals that end the run from outside: a hang-up (the terminal closed), a quit key, a kill
// request. Each ends it as a termination, so staged output is written and the terminal restored.
constexpr int kTerminationSignals[] = {SIGHUP, SIGQUIT, SIGTERM};

void on_fault(int signal_number, siginfo_t* info, void* context) {
  int number = runtime_error_of_signal(signal_number, info->si_code);
  if (signal_number == SIGSEGV && in_stack_guard_zone(reinterpret_cast<uintptr_t>(info->si_addr)))
    number = kErrorStackOverflow;
  auto* machine = static_cast<ucontext_t*>(context);
  auto instruction = static_cast<uintptr_t>(machine->uc_mcontext.gregs[REG_RIP]);
  quit_with_runtime_error_from_signal(number, instruction);
}

// A terminated run is no success: the shell convention 128 + signal, no report.
void on_termination(int signal_number) { quit_from_signal(128 + signal_number); }

}  // namespace

int runtime_error_of_signal(int signal_number, int signal_code) {
  for (const auto& row : kFaultNumbers)
    if (row.signal_number == signal_number && (row.signal_code == signal_code || row.signal_code == 0))
      return row.number;
  return kErrorUnknown;
}

void install_fault_handlers() {
  struct sigaction fault {};
  fault.sa_sigaction = on_fault;
  fault.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&fault.sa_mask);
  for (int signal_number : kFaultSignals) sigaction(signal_number, &fault, nullptr);

  struct sigaction termination {};
  termination.sa_handler = on_termination;
  sigemptyset(&termination.sa_mask);
  for (int signal_number : kTerminationSignals) sigaction(signal_number, &termination, nullptr);
  install_interrupt_handler();

  signal(SIGPIPE, SIG_IGN);  // write failures are ignored, not fatal
}

}  // namespace qel
