// checksum-native.h: the checksum native and its method words.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// The start-up step: interns the method words (tcp md5 sha1 crc32 adler32 sha256 sha384 sha512
// hash), which a method argument matches up to letter case.
void init_checksum_methods();

// checksum data method /with spec: a CRC-32, Adler-32 or internet checksum as an integer!, a
// digest or (with a string or binary key) an HMAC as a new binary!.
Status native_checksum(const int32_t* refinements);

}  // namespace qel
