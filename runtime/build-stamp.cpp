// build-stamp.cpp: the build stamp, from the configure time the build passes in.
#include "runtime/build-stamp.h"

#include <chrono>

#include "build-git.h"

#ifndef QEL_BUILD_EPOCH
#define QEL_BUILD_EPOCH 0
#endif
#ifndef QEL_VERSION
#define QEL_VERSION "0.0.0"
#endif

namespace qel {

std::string format_date_stamp(int64_t epoch_seconds) {
  using namespace std::chrono;
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  sys_seconds moment{seconds{epoch_seconds}};
  auto day = floor<days>(moment);
  year_month_day date{day};
  hh_mm_ss time{moment - day};
  return std::to_string(static_cast<unsigned>(date.day())) + "-" +
         kMonths[static_cast<unsigned>(date.month()) - 1] + "-" + std::to_string(static_cast<int>(date.year())) +
         "/" + std::to_string(time.hours().count()) + ":" +
         (time.minutes().count() < 10 ? "0" : "") + std::to_string(time.minutes().count()) + ":" +
         (time.seconds().count() < 10 ? "0" : "") + std::to_string(time.seconds().count());
}

const char* build_stamp() {
  static const std::string stamp = format_date_stamp(QEL_BUILD_EPOCH);
  return stamp.c_str();
}

const char* build_version() { return QEL_VERSION; }

int64_t build_epoch() { return QEL_BUILD_EPOCH; }

bool build_debug() {
#ifdef NDEBUG
  return false;
#else
  return true;
#endif
}

std::optional<BuildGit> build_git() {
  if (!kBuildGitKnown) return std::nullopt;
  return BuildGit{kBuildGitBranch, kBuildGitTag, kBuildGitAhead, kBuildGitSeconds, kBuildGitCommit, kBuildGitMessage};
}

}  // namespace qel
