// system-object.h: the C++ side of the system object: the routines the library's system module
// makes into its fields and start-up steps, and the services that read the object.
//
// The object itself is library source (boot/system-object.qel). What only the runtime knows
// (the build, the collector's counters, the call stack, the process's arguments and directory,
// the error layer's seed values) it asks of these routines, each found by its entry name.
#pragma once

#include "runtime/cell.h"

namespace qel {

// Adds the system module's routines to the routine table (each entry once per process).
void register_system_routines();

// At the end of the boot: the system object takes over the error layer's values and the
// services that read settings (script title, month names, currencies, money digits).
void system_object_take_over();

}  // namespace qel
