// compose-native.h: compose (/deep, /only, /into): a block with its parens replaced by their
// values.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_compose(const int32_t* refinements);

}  // namespace qel
