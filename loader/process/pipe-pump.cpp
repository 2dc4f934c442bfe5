// pipe-pump.cpp: one poll(2) loop over the open ends.
#include "loader/process/pipe-pump.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>


namespace qel {

uint64_t process_capture_cap = kSeriesByteCeiling;

namespace {

constexpr size_t kReadStep = 65536;
constexpr size_t kWriteStep = 1 << 20;

bool interrupted_or_busy() { return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK; }

// Writes what the pipe takes now; closes the end once all is written or the reader is gone.
void feed(FileDescriptor& end, std::string_view input, size_t& sent) {
  ssize_t done = ::write(end.get(), input.data() + sent, std::min(input.size() - sent, kWriteStep));
  if (done > 0) sent += static_cast<size_t>(done);
  if ((done < 0 && !interrupted_or_busy()) || sent == input.size()) end.close();
}

// Reads what the pipe holds now; closes the end at its end (or on a failure).
void drain(FileDescriptor& end, Capture& capture) {
  static uint8_t dropped[kReadStep];
  for (;;) {
    size_t room = static_cast<size_t>(std::min<uint64_t>(kReadStep, capture.cap - std::min<uint64_t>(capture.cap, capture.bytes.size)));
    uint8_t* into = room ? capture.bytes.room(room) : dropped;
    ssize_t got = ::read(end.get(), into, room ? room : kReadStep);
    if (got > 0 && room) capture.bytes.took(static_cast<size_t>(got));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && interrupted_or_busy()) return;
    if (got <= 0) {
      end.close();
      return;
    }
    if (!room) capture.overflowed = true;
  }
}

}  // namespace

void pump_pipes(ParentEnds& ends, std::string_view input, Capture& output, Capture& error) {
  size_t sent = 0;
  if (input.empty()) ends.input.close();
  for (;;) {
    pollfd watched[3];
    nfds_t count = 0;
    if (ends.input.is_open()) watched[count++] = {ends.input.get(), POLLOUT, 0};
    if (ends.output.is_open()) watched[count++] = {ends.output.get(), POLLIN, 0};
    if (ends.error.is_open()) watched[count++] = {ends.error.get(), POLLIN, 0};
    if (count == 0) return;
    if (::poll(watched, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (nfds_t k = 0; k < count; ++k) {
      if (!watched[k].revents) continue;
      int fd = watched[k].fd;
      if (fd == ends.input.get()) feed(ends.input, input, sent);
      else if (fd == ends.output.get()) drain(ends.output, output);
      else drain(ends.error, error);
    }
  }
  ends.input.close();
  ends.output.close();
  ends.error.close();
}

}  // namespace qel
