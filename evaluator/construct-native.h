// construct-native.h: construct (/with, /only): an object from a spec that is never evaluated.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

Status native_construct(const int32_t* refinements);

}  // namespace qel
