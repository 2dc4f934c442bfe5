// file-entries.cpp: POSIX rename replaces its target; renameat2 with RENAME_NOREPLACE does not,
// and where a file system refuses that flag a plain rename runs only while the target is absent.
#include "loader/file-entries.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "datatypes/scalars/date.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/url.h"
#include "loader/dir-listing.h"
#include "runtime/gc-root.h"
#include "runtime/os-environment.h"

namespace qel {

namespace {

constexpr int64_t kSecondsPerDayWhole = 86400;

// A UTC date! with time from seconds and nanoseconds since 1970, to the millisecond.
Cell utc_date(int64_t seconds, int64_t nanoseconds) {
  int64_t days = floor_div(seconds, kSecondsPerDayWhole);
  CivilDate civil = civil_from_days(days + kEpochDays);
  double time = static_cast<double>(floor_mod(seconds, kSecondsPerDayWhole)) +
                static_cast<double>(nanoseconds / 1000000) / 1000.0;
  Cell date;
  date_set(date, date_pack(civil.year, civil.month, civil.day, 0, true), time);
  return date;
}

}  // namespace

Cell os_query_file(const Cell& file) {
  std::string path = file_to_os_path(file);
  struct stat info {};
  bool slash = !path.empty() && path.back() == '/';
  if (::stat(path.c_str(), &info) != 0 || (slash && !S_ISDIR(info.st_mode))) return make_cell(Type::none);
  int64_t year = civil_from_days(floor_div(info.st_mtim.tv_sec, kSecondsPerDayWhole) + kEpochDays).year;
  if (year < kDateYearMin || year > kDateYearMax) return make_cell(Type::none);
  return utc_date(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

bool os_delete(const Cell& file) {
  std::string path = file_to_os_path(file);
  return (dir_name(file) ? ::rmdir(path.c_str()) : ::unlink(path.c_str())) == 0;
}

bool os_rename(const Cell& file, const Cell& new_name) {
  std::string from = file_to_os_path(file);
  std::string to = file_to_os_path(new_name);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  struct stat info {};
  return ::lstat(to.c_str(), &info) != 0 && errno == ENOENT && ::rename(from.c_str(), to.c_str()) == 0;
}

bool os_make_dir(const Cell& file) { return ::mkdir(file_to_os_path(file).c_str(), 0777) == 0; }

bool os_file_exists(const Cell& file) {
  std::string path = file_to_os_path(file);
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 || ::lstat(path.c_str(), &info) == 0;
}

Cell current_dir_file() {
  std::optional<std::string> directory = os_get_current_dir();
  if (!directory) return make_cell(Type::none);
  if (directory->empty() || directory->back() != '/') directory->push_back('/');
  return file_from_os_name(*directory);
}

bool change_current_dir(const Cell& file) { return os_set_current_dir(file_to_os_path(file)); }

}  // namespace qel
