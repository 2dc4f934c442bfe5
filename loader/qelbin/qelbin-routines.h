// qelbin-routines.h: the serialized-value codec's two C++ routines, as the library's codec object
// calls them: encoding a value into an image of either variant and decoding an image.
#pragma once

#include <span>

#include "evaluator/routine.h"

namespace qel {

// qelbin-encode* [data [any-type!] compact? [logic!]]: a new binary! holding a compact image
// when compact? is true, a record-variant image when it is false.
RoutineResult qelbin_encode_routine(std::span<const RoutineArgument> arguments);
// qelbin-decode [payload [any-type!]]: a file! or url! is read as binary first; a binary! of more
// than 10 bytes is decoded in codec mode; the one value it holds, or the block of several.
// Any other payload, or 10 bytes or fewer, is script invalid-data naming the payload.
RoutineResult qelbin_decode_routine(std::span<const RoutineArgument> arguments);

// Adds both to the routine table under the entry names qelbin-encode* and qelbin-decode (once).
void register_qelbin_routines();

}  // namespace qel
