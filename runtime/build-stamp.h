// build-stamp.h: the build's date and time in the language's date notation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

// "9-Dec-2024/9:05:07": day-month-year/hours:minutes:seconds, UTC.
const char* build_stamp();

// The build's version, as major.minor.patch.
const char* build_version();

// The build's moment as seconds since 1970 (UTC).
int64_t build_epoch();

// Whether this is a debug build (assertions on).
bool build_debug();

// The source's commit when the build was configured: its branch, the latest tag reachable from
// it (empty without one) and how many commits it is ahead of that tag (of the start without
// one), its commit time, id and message.
struct BuildGit {
  std::string_view branch;
  std::string_view tag;
  int32_t ahead;
  int64_t commit_seconds;
  std::string_view commit;
  std::string_view message;
};
// nullopt when the build was configured outside a git checkout.
std::optional<BuildGit> build_git();

// The same notation for any moment given as seconds since 1970 (UTC).
std::string format_date_stamp(int64_t epoch_seconds);

}  // namespace qel
