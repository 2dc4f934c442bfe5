// dir-listing.cpp: readdir's order varies between file systems, so a listing is sorted by the
// names' bytes before it becomes values.
#include "loader/dir-listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "datatypes/series/block-core.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/url.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"

namespace qel {

namespace {

struct CloseDirectory {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

// Whether the entry is a directory, following a link. The entry's own type says so for all but
// links and file systems that do not tell; only those cost a stat.
bool is_directory(DIR* directory, const dirent& entry) {
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return entry.d_type == DT_DIR;
  struct stat info {};
  return ::fstatat(::dirfd(directory), entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

// The entries' names, "/" after each directory's, sorted by their bytes; none when the directory
// cannot be opened.
std::optional<std::vector<std::string>> entry_names(const char* path) {
  std::unique_ptr<DIR, CloseDirectory> directory(::opendir(path));
  if (!directory) return std::nullopt;
  std::vector<std::pair<std::string, bool>> entries;  // name, directory
  while (const dirent* entry = ::readdir(directory.get())) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.emplace_back(std::move(name), is_directory(directory.get(), *entry));
  }
  std::sort(entries.begin(), entries.end());  // std::string orders by unsigned bytes
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (auto& [name, is_directory] : entries) names.push_back(is_directory ? std::move(name) + "/" : std::move(name));
  return names;
}

}  // namespace

bool dir_name(const Cell& file) {
  uint32_t length = string_length(file);
  auto from_end = [&](uint32_t n) { return n <= length ? string_char_at(file, length - n) : 0u; };
  if (length == 0) return false;
  if (from_end(1) == '/') return true;
  if (from_end(1) != '.') return false;
  if (length == 1 || from_end(2) == '/') return true;
  return from_end(2) == '.' && (length == 2 || from_end(3) == '/');
}

Cell os_read_dir(const Cell& file) {
  std::string path = file_to_os_path(file);
  std::optional<std::vector<std::string>> names = entry_names(path.c_str());
  if (!names) raise_error(error_id("access", "cannot-open"), file);
  return files_from_os_names(*names);
}

}  // namespace qel
