// value-natives.h: the natives that ask about a value: same? (identity), not (logic complement)
// and type? (datatype).
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/throw.h"

namespace qel {

// Whether two values have the same identity: never for two types; otherwise by the type's rule
// (the same series at the same index, the same context, bit-identical numbers ...).
bool values_same(const Cell& value1, const Cell& value2);

Status native_same(const int32_t* refinements);
Status native_not(const int32_t* refinements);
Status native_type(const int32_t* refinements);

}  // namespace qel
