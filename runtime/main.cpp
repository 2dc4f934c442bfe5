// main.cpp: the process entry: fault handlers, then the entry body on the language thread.
#include "runtime/fault-signals.h"
#include "runtime/language-thread.h"
#include "runtime/startup.h"

int main(int argc, char** argv) {
  qel::install_fault_handlers();
  return qel::run_on_language_thread([argc, argv]() -> int { qel::program_entry(argc, argv); });
}
