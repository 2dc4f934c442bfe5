// size-native.h: size? (the size of a file).
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_size(const int32_t* refinements);

}  // namespace qel
