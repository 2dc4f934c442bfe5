// transcode-native.h: the transcode native: text or UTF-8 bytes to values through the lexer.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// transcode src /next /one /prescan /scan /part length /into dst /trace callback
Status native_transcode(const int32_t* refinements);

}  // namespace qel
