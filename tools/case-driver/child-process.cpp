// child-process.cpp: fork and exec with pipes, a poll loop over them, and the time limit; the live
// child on pipes or a pseudo-terminal.
#include "tools/case-driver/child-process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <tuple>

extern char** environ;

namespace qel::cases {

namespace {

// The environment the child gets: ours with the changes applied.
std::vector<std::string> child_environment(const EnvironmentChanges& changes) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string text(*entry);
    size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : changes) {
    if (value) variables[name] = *value;
    else variables.erase(name);
  }
  std::vector<std::string> result;
  for (const auto& [name, value] : variables) result.push_back(name + "=" + value);
  return result;
}

// Pointers to NUL-terminated texts, ending in a null pointer.
std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

void close_if_open(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Writes a message on standard error from the forked child, where only async-signal-safe calls
// may run.
void child_complain(const char* what, const char* detail) {
  for (const char* text : {what, ": ", detail, "\n"}) {
    [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
  }
}

// In the child: the pipes become standard input, output and error, the working directory is
// entered, then the program runs.
[[noreturn]] void exec_child(int in, int out, int err, const char* directory, std::vector<char*>& argv,
                             std::vector<char*>& envp) {
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  if (*directory && ::chdir(directory) != 0) {
    child_complain("cannot enter working directory", directory);
    ::_exit(127);
  }
  ::execve(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

}  // namespace

ChildResult run_child(const ChildRun& run) {
  ChildResult result;
  std::vector<std::string> arguments = run.arguments;
  std::vector<std::string> environment = child_environment(run.environment);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    result.failure = std::string("pipe: ") + std::strerror(errno);
    return result;
  }
  pid_t pid = ::fork();
  if (pid == 0) exec_child(in[0], out[1], err[1], run.working_directory.c_str(), argv, envp);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  int to_child = in[1], from_out = out[0], from_err = err[0];
  if (pid < 0) {
    result.failure = std::string("fork: ") + std::strerror(errno);
    close_if_open(to_child), close_if_open(from_out), close_if_open(from_err);
    return result;
  }
  ::fcntl(to_child, F_SETFL, O_NONBLOCK);
  ::signal(SIGPIPE, SIG_IGN);  // a child that ends early must not end the caller on its next write
  size_t written = 0;
  if (run.input.empty()) close_if_open(to_child);
  auto deadline = std::chrono::steady_clock::now() + run.time_limit;
  while (from_out >= 0 || from_err >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3] = {{to_child, POLLOUT, 0}, {from_out, POLLIN, 0}, {from_err, POLLIN, 0}};
    if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    if (to_child >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = ::write(to_child, run.input.data() + written, run.input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 && errno != EAGAIN) written = run.input.size();
      if (written == run.input.size()) close_if_open(to_child);
    }
    for (auto [fd, text, poll_index] : {std::tuple{&from_out, &result.output, 1}, std::tuple{&from_err, &result.errors, 2}}) {
      if (*fd < 0 || !(fds[poll_index].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char chunk[65536];
      ssize_t n = ::read(*fd, chunk, sizeof chunk);
      if (n > 0) text->append(chunk, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR) close_if_open(*fd);
    }
  }
  close_if_open(to_child), close_if_open(from_out), close_if_open(from_err);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}


// --- The live child ------------------------------------------------------------------------------

LiveChild::LiveChild(const LiveStart& start) {
  std::vector<std::string> arguments = start.arguments;
  std::vector<std::string> environment = child_environment(start.environment);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);
  ::signal(SIGPIPE, SIG_IGN);
  if (start.terminal) {
    int terminal = -1;
    winsize size{24, 80, 0, 0};
    if (::openpty(&input_, &terminal, nullptr, nullptr, &size) != 0) return;
    ::fcntl(input_, F_SETFD, FD_CLOEXEC);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setsid();  // a session of its own, whose controlling terminal the pseudo-terminal becomes
      ::ioctl(terminal, TIOCSCTTY, 0);
      exec_child(terminal, terminal, terminal, "", argv, envp);
    }
    ::close(terminal);
    output_fd_ = input_;
    return;
  }
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) exec_child(in[0], out[1], err[1], "", argv, envp);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  input_ = in[1];
  output_fd_ = out[0];
  errors_fd_ = err[0];
}

LiveChild::~LiveChild() {
  if (pid_ > 0 && !ended_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (input_ != output_fd_) close_if_open(input_);
  close_if_open(output_fd_);
  close_if_open(errors_fd_);
}

void LiveChild::type(std::string_view text) {
  for (size_t written = 0; written < text.size();) {
    const ssize_t n = ::write(input_, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    written += static_cast<size_t>(n);
  }
}

bool LiveChild::answer(std::string_view question, std::string_view line) {
  if (!await(question)) return false;
  type(line);
  type("\n");
  return true;
}

void LiveChild::close_input() {
  if (input_ == output_fd_) {
    type("\x04");  // end of input, as the terminal's user types it at the start of a line
    return;
  }
  close_if_open(input_);
}

void LiveChild::send_signal(int number) {
  if (pid_ > 0) ::kill(pid_, number);
}

// Reads what the child has written, waiting at most `timeout` for it; answers whether anything
// came or a stream ended.
bool LiveChild::read_some(std::chrono::milliseconds timeout) {
  pollfd fds[2] = {{output_fd_, POLLIN, 0}, {errors_fd_, POLLIN, 0}};
  if (::poll(fds, 2, static_cast<int>(timeout.count())) <= 0) return false;
  for (auto [fd, text, index] : {std::tuple{&output_fd_, &output_, 0}, std::tuple{&errors_fd_, &errors_, 1}}) {
    if (*fd < 0 || !(fds[index].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char chunk[65536];
    const ssize_t n = ::read(*fd, chunk, sizeof chunk);
    if (n > 0) {
      text->append(chunk, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {  // a pseudo-terminal whose child is gone reads EIO
      if (*fd == input_) {
        echoed_at_end_ = terminal_echoes();
        input_ = -1;
      }
      close_if_open(*fd);
    }
  }
  return true;
}

bool LiveChild::terminal_echoes() const {
  termios modes{};
  if (input_ < 0 || input_ != output_fd_ || ::tcgetattr(input_, &modes) != 0) return echoed_at_end_;
  return (modes.c_lflag & ECHO) != 0;
}

bool LiveChild::await(std::string_view text, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const size_t found = output_.find(text, mark_);
    if (found != std::string::npos) {
      mark_ = found + text.size();
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || (output_fd_ < 0 && errors_fd_ < 0)) return false;
    read_some(left);
  }
}

int LiveChild::finish(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() >= deadline) return -1;  // the destructor kills it
    if (!read_some(std::chrono::milliseconds(20))) ::usleep(1000);
  }
  ended_ = true;
  while ((output_fd_ >= 0 || errors_fd_ >= 0) && read_some(std::chrono::milliseconds(100))) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qel-case-XXXXXX").string();
  if (::mkdtemp(pattern.data())) path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

EnvironmentChanges console_test_environment(long columns, const TemporaryDirectory& home) {
  return {{"COLUMNS", std::to_string(columns)},
          {"HOME", home.path()},
          {"XDG_CACHE_HOME", home.path() + "/.cache"},
          {"DISPLAY", std::nullopt},
          {"WAYLAND_DISPLAY", std::nullopt}};
}

}  // namespace qel::cases
