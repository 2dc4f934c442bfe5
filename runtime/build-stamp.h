// build-stamp.h: the build's date and time in the language's date notation.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

// "9-Dec-2024/9:05:07": day-month-year/hours:minutes:seconds, UTC.
const char* build_stamp();

// The build's version, as major.minor.patch.
const char* build_version();

// The same notation for any moment given as seconds since 1970 (UTC).
std::string format_date_stamp(int64_t epoch_seconds);

}  // namespace qel
