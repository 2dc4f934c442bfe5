// os.cpp: process start-up of the OS side.
#include "runtime/os.h"

#include "runtime/runtime-record.h"

namespace qel {

void os_start(int argc, char** argv) {
  runtime.argument_count = argc;
  runtime.argument_vector = argv;
  runtime.environment_vector = nullptr;
}

}  // namespace qel
