// break-natives.cpp: break and continue hand over to the loop unwinder.
#include "evaluator/break-natives.h"

#include "runtime/exits.h"

namespace qel {

// The /return value, when given, is the frame's first cell.
Status native_break(const int32_t* refinements) { return unwind_break(refinements[0] >= 0, false); }

Status native_continue(const int32_t*) { return unwind_break(false, true); }

}  // namespace qel
