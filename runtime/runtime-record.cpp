// runtime-record.cpp: the one runtime record.
#include "runtime/runtime-record.h"

namespace qel {

RuntimeRecord runtime;

}  // namespace qel
