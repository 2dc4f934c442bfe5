// http-fixture.cpp: the server is a Python script; its first output line is its port.
#include "tools/case-driver/http-fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace qel::cases {

namespace {

// Only a server that never starts meets it: a loaded machine can take many seconds to start Python.
constexpr int kStartLimitMs = 60000;

// Reads the first line the server writes, within the start limit; empty when none comes.
std::string first_line(int fd) {
  std::string line;
  char c;
  while (line.find('\n') == std::string::npos) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, kStartLimitMs) <= 0) return {};
    if (::read(fd, &c, 1) != 1) return {};
    line.push_back(c);
  }
  return line;
}

}  // namespace

HttpFixture::HttpFixture(const std::vector<std::string>& extra_arguments) {
  std::vector<std::string> arguments{"python3", QEL_HTTP_FIXTURE};
  arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(out[1], STDOUT_FILENO);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (pid_ > 0) port_ = std::atoi(first_line(out[0]).c_str());
  ::close(out[0]);
}

HttpFixture::~HttpFixture() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status;
  ::waitpid(pid_, &status, 0);
}

std::string HttpFixture::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void bypass_proxy_for_fixture() {
  ::setenv("NO_PROXY", "127.0.0.1", 1);
  ::setenv("no_proxy", "127.0.0.1", 1);
}

}  // namespace qel::cases
