// quit.cpp: numbered runtime errors, the report text and the process exit.
#include "runtime/quit.h"

#include <unistd.h>

#include <cstring>

#include "runtime/console-input.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/os.h"
#include "runtime/services.h"

extern "C" char __executable_start;  // the executable's load address, set by the linker

namespace qel {

namespace {

struct RuntimeErrorText {
  int number;
  const char* message;
};

// The messages as the reports have always shown them ("operan" included).
constexpr RuntimeErrorText kRuntimeErrors[] = {
    {1, "access violation"},
    {2, "invalid alignment"},
    {3, "breakpoint"},
    {4, "single step"},
    {5, "bounds exceeded"},
    {6, "float denormal operan"},
    {7, "float divide by zero"},
    {8, "float inexact result"},
    {9, "float invalid operation"},
    {10, "float overflow"},
    {11, "float stack check"},
    {12, "float underflow"},
    {13, "integer divide by zero"},
    {14, "integer overflow"},
    {15, "privileged instruction"},
    {16, "invalid virtual address"},
    {17, "illegal instruction"},
    {18, "non-continuable exception"},
    {19, "stack error or overflow"},
    {20, "invalid disposition"},
    {21, "guard page"},
    {22, "invalid handle"},
    {23, "illegal operand"},
    {24, "illegal addressing mode"},
    {25, "illegal trap"},
    {26, "coprocessor error"},
    {27, "non-existent physical address"},
    {28, "object specific hardware error"},
    {29, "hardware memory error consumed AR"},
    {30, "hardware memory error consumed AO"},
    {31, "privileged register"},
    {32, "segmentation fault"},
    {33, "FPU error"},
    {34, "Bus error"},
    {94, "out of memory"},
    {95, "no CATCH for THROW"},
    {98, "assertion failed"},
    {99, "unknown error"},
    {100, "no value matched in CASE"},
    {101, "no value matched in SWITCH"},
};

void (*exit_flush)() = nullptr;

// A fixed buffer that formats without locale, allocation or non-reentrant calls.
class ReportBuffer {
 public:
  void text(const char* s) {
    while (*s && length_ < sizeof(bytes_)) bytes_[length_++] = *s++;
  }
  void decimal(int value) {
    char digits[12];
    int n = 0;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
      digits[n++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[n++] = '-';
    while (n && length_ < sizeof(bytes_)) bytes_[length_++] = digits[--n];
  }
  void hex8(uint32_t value) {
    for (int shift = 28; shift >= 0 && length_ < sizeof(bytes_); shift -= 4)
      bytes_[length_++] = "0123456789ABCDEF"[(value >> shift) & 0xF];
  }
  void write_to(int fd) const { os_write_all(fd, bytes_, length_); }  // a failure has nowhere to go
  const char* c_str() {
    bytes_[length_ < sizeof(bytes_) ? length_ : sizeof(bytes_) - 1] = 0;
    return bytes_;
  }

 private:
  char bytes_[1024];
  size_t length_ = 0;
};

void format_report(ReportBuffer& report, int number, uintptr_t code_address) {
  report.text("*** Runtime Error ");
  report.decimal(number);
  report.text(": ");
  report.text(runtime_error_message(number));
  report.text("\n*** at: ");
  report.hex8(code_offset(code_address));
  report.text("h\n");
}

// What any end of the process owes the user: the staged output written and the terminal as it
// was before a hidden read. Both are async-signal-safe: write(2) from a fixed buffer, tcsetattr.
void leave_console() {
  if (exit_flush) exit_flush();
  console_restore_terminal();
}

[[noreturn]] void exit_process(int number) {
  heap_release_all();
  ::_exit(process_exit_status(number));
}

}  // namespace

const char* runtime_error_message(int number) {
  for (const auto& entry : kRuntimeErrors)
    if (entry.number == number) return entry.message;
  return "unknown error code!";
}

int process_exit_status(int64_t status) {
  int low = static_cast<int>(status & 0xFF);
  return (status != 0 && low == 0) ? 255 : low;
}

uint32_t code_offset(uintptr_t code_address) {
  if (code_address == 0) return 0;
  return static_cast<uint32_t>(code_address - reinterpret_cast<uintptr_t>(&__executable_start));
}

void set_exit_flush(void (*flush)()) { exit_flush = flush; }

void quit_with_runtime_error(int number, uintptr_t code_address) {
  leave_console();
  if (number != 0) {
    ReportBuffer report;
    format_report(report, number, code_address);
    report.write_to(STDERR_FILENO);
    services().show_message_box("Qel App Error", report.c_str());
  }
  exit_process(number);
}

void quit_with_runtime_error_from_signal(int number, uintptr_t code_address) {
  console_restore_terminal();  // the staged output stays: after a fault it may be half made
  ReportBuffer report;
  format_report(report, number, code_address);
  report.write_to(STDERR_FILENO);
  ::_exit(process_exit_status(number));
}

void quit_return(int64_t status) {
  leave_console();
  memory_release_all();
  heap_release_all();
  ::_exit(process_exit_status(status));
}

void quit_from_signal(int status) {
  leave_console();
  ::_exit(process_exit_status(status));
}

[[gnu::noinline]] void fatal_no_match_switch() {
  quit_with_runtime_error(kErrorNoMatchInSwitch, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

[[gnu::noinline]] void fatal_no_match_case() {
  quit_with_runtime_error(kErrorNoMatchInCase, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

[[gnu::noinline]] void fatal_assertion() {
  quit_with_runtime_error(kErrorAssertionFailed, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

}  // namespace qel
