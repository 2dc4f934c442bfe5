// type-predicates.h: the entries of the library's type predicates (`block?`, `series?` ...),
// routines whose answer is one type-id comparison, or one typeset word read and one bit test.
//
// A typeset predicate reads its typeset word in the global context at every call, so a script
// that redefines `series!` changes what `series?` answers.
#pragma once

namespace qel {

// Adds the predicates' entries missing from the routine table (under the predicates' names) and
// binds the typeset words they read to the global context of this run.
void register_type_predicates();

}  // namespace qel
