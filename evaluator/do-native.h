// do-native.h: do: blocks, parens and hashes (whole, or one expression with /next), paths,
// source text, script files and urls (the library's do-file), error! values (raised again) and
// any other value as one expression.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// do value /expand /args arg /next position /trace callback
Status native_do(const int32_t* refinements);

}  // namespace qel
