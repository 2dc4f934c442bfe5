// size-native.cpp: size? file: the size in bytes of a regular file, found by stat(2) without
// opening it; none for a missing file and for anything that is not a regular file (a directory
// would otherwise report the size of its own listing). A size past the integer! range is a
// float!, never a wrapped integer.
#include "evaluator/size-native.h"

#include <sys/stat.h>

#include <climits>
#include <string>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/series/url.h"
#include "runtime/value-stack.h"

namespace qel {

Status native_size(const int32_t*) {
  const std::string path = file_to_os_path(value_stack.base[0]);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    stack_set_result_only(make_cell(Type::none));
    return {};
  }
  if (status.st_size > INT32_MAX)
    float_box(static_cast<double>(status.st_size));
  else
    integer_box(static_cast<int32_t>(status.st_size));
  stack_keep_first();
  return {};
}

}  // namespace qel
