// parse-native.h: the parse native: a series matched against a block of rules.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// parse input rules /case /part length /trace callback
Status native_parse(const int32_t* refinements);

}  // namespace qel
