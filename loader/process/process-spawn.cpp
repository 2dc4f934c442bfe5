// process-spawn.cpp: posix_spawn with file actions, so nothing runs between fork and exec in
// this process's code.
#include "loader/process/process-spawn.h"

#include <fcntl.h>
#include <spawn.h>

#include <csignal>

extern char** environ;

namespace qel {

namespace {

constexpr const char* kShellPath = "/bin/sh";
constexpr const char* kNullDevice = "/dev/null";

// The file actions and attributes of one start, released on every way out.
class SpawnSetup {
 public:
  explicit SpawnSetup(const StandardStreams& streams) {
    posix_spawn_file_actions_init(&actions_);
    for (int fd = 0; fd < 3; ++fd) {
      if (streams[fd] >= 0)
        posix_spawn_file_actions_adddup2(&actions_, streams[fd], fd);
      else
        posix_spawn_file_actions_addopen(&actions_, fd, kNullDevice, fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
    // This process ignores SIGPIPE (a failed write is an error here); a child must not inherit
    // that, nor whatever the starting thread blocks.
    posix_spawnattr_init(&attributes_);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes_, &signals);
    sigaddset(&signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes_, &signals);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  pid_t start(const std::vector<std::string>& argv, bool search_path, int& error) {
    std::vector<char*> pointers;
    for (const std::string& word : argv) pointers.push_back(const_cast<char*>(word.c_str()));
    pointers.push_back(nullptr);
    pid_t pid = -1;
    auto spawn = search_path ? posix_spawnp : posix_spawn;
    error = spawn(&pid, pointers[0], &actions_, &attributes_, pointers.data(), environ);
    return error == 0 ? pid : -1;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

pid_t spawn_program(const std::vector<std::string>& argv, const StandardStreams& streams, int& error) {
  return SpawnSetup(streams).start(argv, true, error);
}

pid_t spawn_shell(const std::string& command, const StandardStreams& streams, int& error) {
  return SpawnSetup(streams).start({kShellPath, "-c", command}, false, error);
}

}  // namespace qel
