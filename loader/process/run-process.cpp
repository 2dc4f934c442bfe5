// run-process.cpp: the streams opened first (so a failure starts nothing), the start with its
// fallback to the interpreter, the pump, the wait.
#include "loader/process/run-process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "loader/process/child-reaper.h"
#include "loader/process/command-words.h"
#include "loader/process/process-spawn.h"

namespace qel {

namespace {

constexpr int kSignalStatusBase = 128;

// A redirected stream's two ends: the child's (handed over at the start, then closed here) and
// this process's (a pipe's other end; closed for a file).
struct StreamEnds {
  FileDescriptor child;
  FileDescriptor parent;
};

// Opens the stream for standard descriptor `number` (0 input, 1 output, 2 error); false on
// failure.
bool open_stream(const StreamRedirect& redirect, int number, StreamEnds& ends) {
  if (redirect.kind == StreamKind::none) return true;
  if (redirect.kind == StreamKind::file) {
    int flags = number == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_APPEND;
    ends.child = FileDescriptor(::open(redirect.path.c_str(), flags | O_CLOEXEC, 0666));
    return ends.child.is_open();
  }
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return false;
  bool child_reads = number == 0;
  ends.child = FileDescriptor(pipe_ends[child_reads ? 0 : 1]);
  ends.parent = FileDescriptor(pipe_ends[child_reads ? 1 : 0]);
  return ::fcntl(ends.parent.get(), F_SETFL, O_NONBLOCK) == 0;
}

pid_t start(const ProcessRequest& request, const StandardStreams& streams) {
  int error = 0;
  if (!request.shell) {
    CommandWords words = command_words(request.command);
    if (!words.needs_shell()) {
      pid_t pid = spawn_program(words.words, streams, error);
      if (pid >= 0 || error != ENOENT) return pid;
    }
  }
  return spawn_shell(request.command, streams, error);
}

int32_t exit_status(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  if (WIFSIGNALED(status)) return kSignalStatusBase + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace

int32_t os_run_process(ProcessRequest& request) {
  reap_exited_children();
  StreamRedirect* redirects[3] = {&request.input, &request.output, &request.error};
  StreamEnds ends[3];
  StandardStreams streams{-1, -1, -1};
  bool redirected = false;
  for (int k = 0; k < 3; ++k) {
    if (!open_stream(*redirects[k], k, ends[k])) return -1;
    streams[k] = ends[k].child.get();
    redirected |= redirects[k]->kind != StreamKind::none;
  }
  pid_t pid = start(request, streams);
  for (StreamEnds& stream : ends) stream.child.close();
  if (pid < 0) return -1;
  if (!request.wait && !redirected) {
    keep_unwaited_child(pid);
    return pid;
  }
  ParentEnds parents{std::move(ends[0].parent), std::move(ends[1].parent), std::move(ends[2].parent)};
  pump_pipes(parents, request.input.input, request.output.captured, request.error.captured);
  return exit_status(pid);
}

}  // namespace qel
