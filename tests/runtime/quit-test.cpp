// Numbered runtime errors: report text, exit statuses, the plain quit.
#include <gtest/gtest.h>

#include "runtime/fault-signals.h"
#include "runtime/quit.h"
#include "runtime/services.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace qel {
namespace {

const char* const kAt = "\n\\*\\*\\* at: [0-9A-F]{8}h\n";

TEST(QuitDeathTest, ReportsTheNumberAndItsMessage) {
  struct Row {
    int number;
    const char* message;
    int status;
  };
  const Row rows[] = {
      {13, "integer divide by zero", 13},
      {6, "float denormal operan", 6},
      {77, "unknown error code!", 77},
      {50, "unknown error code!", 50},
      {512, "unknown error code!", 255},
      {-1, "unknown error code!", 255},
  };
  for (const auto& row : rows) {
    std::string pattern = "^\\*\\*\\* Runtime Error " + std::to_string(row.number) + ": " + row.message + kAt + "$";
    EXPECT_EXIT(quit_with_runtime_error(row.number, reinterpret_cast<uintptr_t>(&quit_return)),
                ::testing::ExitedWithCode(row.status), pattern);
  }
}

TEST(QuitDeathTest, NumberZeroAndQuitReturnReportNothing) {
  EXPECT_EXIT(quit_with_runtime_error(0, 0), ::testing::ExitedWithCode(0), "^$");
  EXPECT_EXIT(quit_return(42), ::testing::ExitedWithCode(42), "^$");
  EXPECT_EXIT(quit_return(4), ::testing::ExitedWithCode(4), "^$");  // never "single step"
  EXPECT_EXIT(quit_return(256), ::testing::ExitedWithCode(255), "^$");
}

const char* last_caption = nullptr;
void remember_caption(const char* caption, const char*) {
  last_caption = caption;
  fprintf(stderr, "[box: %s]", caption);
}

TEST(QuitDeathTest, ShowsTheMessageBoxService) {
  services().show_message_box = remember_caption;
  EXPECT_EXIT(quit_with_runtime_error(98, 0), ::testing::ExitedWithCode(98), "assertion failed.*\\[box: Qel App Error\\]");
  reset_services();
}

TEST(QuitDeathTest, UnmatchedBranchesEndWithTheirNumbers) {
  EXPECT_EXIT(fatal_no_match_switch(), ::testing::ExitedWithCode(101), "101: no value matched in SWITCH");
  EXPECT_EXIT(fatal_no_match_case(), ::testing::ExitedWithCode(100), "100: no value matched in CASE");
}

// One SIGINT is a halt request (interrupt.h); a second before it is taken ends the run.
TEST(QuitDeathTest, InterruptAndTerminateAreNoSuccess) {
  EXPECT_EXIT({ install_fault_handlers(); raise(SIGINT); raise(SIGINT); }, ::testing::ExitedWithCode(130), "^$");
  for (int signal_number : {SIGHUP, SIGQUIT, SIGTERM})
    EXPECT_EXIT({ install_fault_handlers(); raise(signal_number); }, ::testing::ExitedWithCode(128 + signal_number), "^$");
}

// The staged output a signal's exit writes: to standard error, where the death test sees it, or to
// a pipe filled up beforehand, which takes none of it.
constexpr char kStaged[] = "staged text";
int staged_fd = STDERR_FILENO;
StagedOutput take_test_output() {
  return {staged_fd, reinterpret_cast<const uint8_t*>(kStaged), sizeof kStaged - 1};
}

void fill_pipe_for_output() {
  int ends[2];
  if (::pipe(ends) != 0) return;
  const int flags = ::fcntl(ends[1], F_GETFL);
  ::fcntl(ends[1], F_SETFL, flags | O_NONBLOCK);
  static const char block[4096] = {};
  while (::write(ends[1], block, sizeof block) > 0) {
  }
  ::fcntl(ends[1], F_SETFL, flags);  // full, and a write to it would wait
  staged_fd = ends[1];
}

// The exit a signal takes writes what the output can take at once and never waits for the rest:
// a full pipe (nobody reading) must not hold it up. The alarm ends a run that hangs.
TEST(QuitDeathTest, ASignalsExitWritesStagedOutputWithoutWaiting) {
  set_exit_output(take_test_output);
  EXPECT_EXIT({ install_fault_handlers(); raise(SIGTERM); }, ::testing::ExitedWithCode(143), "^staged text$");
  EXPECT_EXIT(
      {
        install_fault_handlers();
        fill_pipe_for_output();
        ::alarm(10);
        raise(SIGTERM);
      },
      ::testing::ExitedWithCode(143), "^$");
  set_exit_output(nullptr);
}

TEST(Quit, ExitStatusKeepsEightBits) {
  EXPECT_EQ(process_exit_status(0), 0);
  EXPECT_EQ(process_exit_status(13), 13);
  EXPECT_EQ(process_exit_status(256), 255);
  EXPECT_EQ(process_exit_status(-1), 255);
  EXPECT_EQ(process_exit_status(-2), 254);
  EXPECT_EQ(process_exit_status(257), 1);
}

TEST(FaultSignals, MapToRuntimeErrorNumbers) {
  struct Row {
    int signal_number, signal_code, number;
  };
  const Row rows[] = {
      {SIGSEGV, SEGV_MAPERR, 1}, {SIGBUS, BUS_ADRALN, 2},   {SIGBUS, BUS_OBJERR, 34},
      {SIGFPE, FPE_INTDIV, 13},  {SIGFPE, FPE_INTOVF, 14},  {SIGFPE, FPE_FLTDIV, 7},
      {SIGFPE, FPE_FLTOVF, 10},  {SIGFPE, FPE_FLTUND, 12},  {SIGFPE, FPE_FLTRES, 8},
      {SIGFPE, FPE_FLTINV, 9},   {SIGFPE, FPE_FLTSUB, 5},   {SIGILL, ILL_PRVOPC, 15},
      {SIGILL, ILL_ILLOPN, 23},  {SIGILL, ILL_ILLADR, 24},  {SIGILL, ILL_ILLTRP, 25},
      {SIGILL, ILL_COPROC, 26},  {SIGILL, ILL_PRVREG, 31},  {SIGILL, ILL_ILLOPC, 17},
      {SIGTRAP, TRAP_BRKPT, 3},  {SIGTRAP, TRAP_TRACE, 4},  {SIGSYS, 0, 99},
  };
  for (const auto& row : rows)
    EXPECT_EQ(runtime_error_of_signal(row.signal_number, row.signal_code), row.number)
        << row.signal_number << "/" << row.signal_code;
}

}  // namespace
}  // namespace qel
