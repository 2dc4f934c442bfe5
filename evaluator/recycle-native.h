// recycle-native.h: recycle: a collection now, or the collector turned on or off.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// recycle /on /off: with /on or /off enables or disables the collector and answers unset; else
// collects now and answers the bytes in use (the figure stats gives).
Status native_recycle(const int32_t* refinements);

}  // namespace qel
