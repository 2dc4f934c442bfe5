// interrupt.h: Ctrl+C. SIGINT only records a halt request (an atomic flag and a byte on a
// self-pipe); the language thread acts on it at the next safe point, where Ctrl+C's halt unwinds
// to the console's catch (exits.h), or in a wait or a read that watches the pipe. A second
// SIGINT while one is still pending ends the process with 130, so a run that reaches no safe
// point can still be stopped.
#pragma once

namespace qel {

// Installs the SIGINT handler and makes the self-pipe (once; again changes nothing more).
void install_interrupt_handler();

// Whether a halt request waits to be taken.
bool interrupt_pending();

// Takes the pending request, if any, and empties the pipe; answers whether one was pending. A
// read that woke on the pipe and gets false here met a byte of a request taken before: it reads
// on.
bool interrupt_take();

// The pipe's read end, for poll(2) beside other descriptors; -1 before the handler is installed.
int interrupt_fd();

// At a safe point (the collector calls it once a signal has come): with a request pending and
// the console's catch open, takes the request and unwinds to that catch (Ctrl+C's halt); with no
// catch open the request stays for the next such catch or a read, and safe points pay nothing
// for it meanwhile.
void halt_if_interrupted();

// A catch named console ends, by Ctrl+C's halt or otherwise; `nested`: another one was open
// below it. Ctrl+C's halt marks the run as stopped; a nested catch that ends otherwise unmarks it
// (the code around it took the halt and went on). The outermost is the console's own, whose end
// leaves the mark as the catches inside it left it.
void interrupt_note_catch_end(bool by_halt, bool nested);

// Whether Ctrl+C's halt stopped the run (forgotten once asked): a script it stopped ends with
// 130, not with a halt's 0; one that took the halt in a catch of its own and went on does not.
bool interrupt_halted();

// Sleeps as os_sleep does, ending early when a halt request comes; answers whether one is
// pending.
bool interrupt_wait(double seconds);

}  // namespace qel
