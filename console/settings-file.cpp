// settings-file.cpp: the settings file's routines: the terminal test, and a write that makes the
// missing folders private to the user and replaces the file by renaming a complete copy over it.
#include "console/settings-file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "datatypes/series/binary.h"
#include "datatypes/series/url.h"
#include "evaluator/routine.h"
#include "runtime/console-input.h"
#include "runtime/os.h"

namespace qel {

namespace {

using Arguments = std::span<const RoutineArgument>;

// console-terminal?: whether a person types the answers.
RoutineResult console_terminal(Arguments) { return {console_input_is_terminal() ? 1 : 0, 0}; }

// Makes each missing folder of the path's directory part, readable by the user alone: the
// history is what the user typed.
bool make_folders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
  return true;
}

bool write_all(int fd, const std::vector<uint8_t>& bytes) {
  for (size_t written = 0; written < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

// Writes the bytes to a fresh file beside the target and renames it over the target, so that
// the target is the old file or the new one, whole; answers errno's reason, 0 on success.
int replace_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (!make_folders(path)) return errno;
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return errno;
  bool written = write_all(fd, bytes) && ::fsync(fd) == 0;
  int reason = written ? 0 : errno;
  if (::close(fd) != 0 && written) written = false, reason = errno;
  if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return 0;
  if (written) reason = errno;
  ::unlink(temporary.c_str());
  return reason;
}

// settings-save file data: the file becomes the bytes; when it cannot, one warning line goes to
// standard error and the answer is false. Saving never stops the program: quit goes on.
RoutineResult settings_save(Arguments arguments) {
  const std::string path = file_to_os_path(*arguments[0].cell);
  const int reason = replace_file(path, binary_copy_bytes(*arguments[1].cell));
  if (reason == 0) return {1, 0};
  write_standard_error("*** Warning: the console settings could not be saved in " + path + ": " +
                       std::strerror(reason) + "\n");
  return {0, 0};
}

constexpr NamedRoutine kSettingsRoutines[] = {
    {"console-terminal?", console_terminal},
    {"settings-save", settings_save},
};

}  // namespace

void register_settings_routines() {
  for (const NamedRoutine& routine : kSettingsRoutines) register_routine_once(routine.name, routine.function);
}

}  // namespace qel
