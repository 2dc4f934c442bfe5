// shortcuts.h: the switch of the shortcuts the interpreter and the lookups take for speed.
//
// Each shortcut gives exactly what the long way gives (values, errors, reports); the switch
// exists so that tests can run the same programs both ways and compare.
#pragma once

namespace qel {

// On: in-place integer arithmetic of infix operators, frameless simple set-words, remembered
// word finds, blocks' evaluation plans. Off: every expression, set and find takes the long way.
inline bool shortcuts_enabled = true;

}  // namespace qel
