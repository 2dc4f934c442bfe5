// settings-file.cpp: the settings file's routines: the terminal test, the warnings, and a write
// that makes the missing folders private to the user and replaces the file (a link's target) by
// renaming a complete copy over it.
#include "console/settings-file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
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

// The most links followed to the file a path names, as the kernel follows at most.
constexpr int kMostLinks = 40;

// Follows the path, link by link, to the file it names: a settings file that is a link to
// another is written there, and the link stays. Answers 0, or errno's reason.
int follow_links(std::string& path) {
  for (int hops = 0; hops < kMostLinks; ++hops) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n < 0) return errno == EINVAL || errno == ENOENT ? 0 : errno;  // no link: the file itself
    if (static_cast<size_t>(n) == sizeof target) return ENAMETOOLONG;
    const std::string_view link(target, static_cast<size_t>(n));
    path = link.front() == '/' ? std::string(link) : path.substr(0, path.rfind('/') + 1).append(link);
  }
  return ELOOP;
}

// Writes the bytes to a fresh file beside the target and renames it over the target, so that
// the target is the old file or the new one, whole; answers errno's reason, 0 on success.
int replace_file(std::string path, const std::vector<uint8_t>& bytes) {
  if (const int reason = follow_links(path)) return reason;
  if (!make_folders(path)) return errno;
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return errno;
  int reason = os_write_all(fd, bytes.data(), bytes.size());
  if (reason == 0 && ::fsync(fd) != 0) reason = errno;
  if (::close(fd) != 0 && reason == 0) reason = errno;
  if (reason == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) reason = errno;
  if (reason != 0) ::unlink(temporary.c_str());
  return reason;
}

// One warning line on standard error about the settings file.
void warn(const std::string& text) { write_standard_error("*** Warning: the console settings " + text + "\n"); }

// settings-save file data: the file becomes the bytes; when it cannot, one warning line goes to
// standard error and the answer is false. Saving never stops the program: quit goes on.
RoutineResult settings_save(Arguments arguments) {
  const std::string path = file_to_os_path(*arguments[0].cell);
  const int reason = replace_file(path, binary_copy_bytes(*arguments[1].cell));
  if (reason == 0) return {1, 0};
  warn("could not be saved in " + path + ": " + std::strerror(reason));
  return {0, 0};
}

// settings-unloadable file: tells that the file cannot be loaded and is left as it is.
RoutineResult settings_unloadable(Arguments arguments) {
  warn("in " + file_to_os_path(*arguments[0].cell) + " could not be loaded; the file is left as it is");
  return {};
}

constexpr NamedRoutine kSettingsRoutines[] = {
    {"console-terminal?", console_terminal},
    {"settings-save", settings_save},
    {"settings-unloadable", settings_unloadable},
};

}  // namespace

void register_settings_routines() {
  for (const NamedRoutine& routine : kSettingsRoutines) register_routine_once(routine.name, routine.function);
}

}  // namespace qel
