// library-routines.h: the routines the library is built on, and `make-routine`, the boot-only
// maker that turns a spec and an entry name into a routine! value.
//
// The library's Qel source makes each routine with `make-routine spec "entry"`: the entry is
// found in the routine table by its name, and the return type code comes from the spec's
// `return:` block (logic! 4, integer! 11, anything else -1). `make-routine` lives only in the
// library's private context while the modules run, so no script ever sees it.
#pragma once

#include "runtime/cell.h"

namespace qel {

// Adds every library routine entry missing from the routine table (the table outlives no
// test, so each boot fills it again).
void register_library_routines();

// Puts `make-routine` into the library context (registering the entries first); the second
// takes it out again once the modules have run.
void open_routine_maker(NodeId library);
void close_routine_maker(NodeId library);

// The return type code a routine spec asks for.
int32_t routine_return_code(const Cell& spec);

}  // namespace qel
