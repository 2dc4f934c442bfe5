// os.h: the thin layer between the runtime and the operating system.
#pragma once

namespace qel {

// The OS side of start-up: standard handles and the command line into the runtime record.
void os_start(int argc, char** argv);

}  // namespace qel
