// main.cpp: the process entry: fault handlers, the linked boot image, then the entry body on
// the language thread.
#include "runtime/boot-image.h"
#include "runtime/fault-signals.h"
#include "runtime/language-thread.h"
#include "runtime/startup.h"

int main(int argc, char** argv) {
  qel::install_fault_handlers();
  qel::carry_linked_boot_image();
  return qel::run_on_language_thread([argc, argv]() -> int { qel::program_entry(argc, argv); });
}
