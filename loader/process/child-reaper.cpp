// child-reaper.cpp: the kept ids, the non-blocking reaping pass, and the signal that schedules
// one at a safe point.
#include "loader/process/child-reaper.h"

#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <vector>

#include "runtime/collector.h"

namespace qel {

namespace {

std::vector<pid_t> unwaited;

// Whether the child has ended and is reaped now (or is no child of ours any more).
bool reaped(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) != 0;
}

void on_child_signal(int) { safepoint_signal(); }

}  // namespace

void keep_unwaited_child(pid_t pid) { unwaited.push_back(pid); }

void reap_exited_children() { std::erase_if(unwaited, reaped); }

size_t unwaited_children() { return unwaited.size(); }

void install_child_signal() {
  safepoint_set_signal_hook(reap_exited_children);
  struct sigaction action {};
  action.sa_handler = on_child_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  ::sigaction(SIGCHLD, &action, nullptr);
}

}  // namespace qel
