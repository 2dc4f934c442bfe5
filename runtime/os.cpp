// os.cpp: process start-up of the OS side: the standard handles and the command line.
#include "runtime/os.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "runtime/heap.h"
#include "runtime/runtime-record.h"

namespace qel {

namespace {

// A standard handle the process was started without is opened on the null device, so no file
// the runtime opens later takes its number and receives printed text by mistake.
void open_missing_standard_handles() {
  for (int fd : {kStandardInput, kStandardOutput, kStandardError}) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = open("/dev/null", O_RDWR);
    if (opened != -1 && opened != fd) close(opened);  // only after a lower one failed
  }
}

// Releases a vector stored by an earlier command_line_init (blocks the heap did not hand out are
// ignored by heap_release).
void release_argument_vector() {
  if (!runtime.argument_vector) return;
  for (int i = 0; i < runtime.argument_count; ++i) heap_release(runtime.argument_vector[i]);
  heap_release(runtime.argument_vector);
}

char* copy_argument(const char* argument) {
  size_t length = std::strlen(argument);
  auto* copy = static_cast<char*>(heap_allocate_checked(length + 1));
  std::memcpy(copy, argument, length + 1);
  return copy;
}

}  // namespace

void os_start(int argc, char** argv) {
  open_missing_standard_handles();
  command_line_init(argc, argv);
}

void command_line_init(int argc, char** argv) {
  release_argument_vector();
  int count = argc > 0 ? argc : 0;
  auto** vector = static_cast<char**>(heap_allocate_checked((static_cast<size_t>(count) + 1) * sizeof(char*)));
  for (int i = 0; i < count; ++i) vector[i] = copy_argument(argv[i]);
  vector[count] = nullptr;
  runtime.argument_count = count;
  runtime.argument_vector = vector;
  runtime.environment_vector = nullptr;
}

int os_write_all(int fd, const void* bytes, size_t length) {
  const auto* at = static_cast<const char*>(bytes);
  while (length > 0) {
    const ssize_t n = ::write(fd, at, length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    at += n;
    length -= static_cast<size_t>(n);
  }
  return 0;
}

void write_standard_error(std::string_view text) { os_write_all(kStandardError, text.data(), text.size()); }

}  // namespace qel
