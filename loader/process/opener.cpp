// opener.cpp: the opener as a child left to run.
#include "loader/process/opener.h"

#include "loader/process/child-reaper.h"
#include "loader/process/process-spawn.h"

namespace qel {

bool open_in_browser(const std::string& text) {
  reap_exited_children();
  int error = 0;
  pid_t pid = spawn_program({"xdg-open", text}, {-1, -1, -1}, error);
  if (pid < 0) return false;
  keep_unwaited_child(pid);
  return true;
}

}  // namespace qel
