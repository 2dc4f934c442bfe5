// child-reaper.h: children started without waiting for them, reaped once they end so that none
// stays behind as a zombie.
//
// Only these children are waited for, each by its id: waiting for any child would take the
// exit status of a child some other part of the program waits for.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace qel {

// Keeps the child until it is reaped.
void keep_unwaited_child(pid_t pid);

// Reaps every kept child that has ended, without waiting for the others.
void reap_exited_children();

// The children kept and not yet reaped.
size_t unwaited_children();

// Installs the SIGCHLD handler (restarting interrupted calls, not told about stopped children):
// it only asks for reap_exited_children at the next safe point.
void install_child_signal();

}  // namespace qel
