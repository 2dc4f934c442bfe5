// size-native.cpp: size? file: the size in bytes of a regular file, found by stat(2) without
// opening it; none for a missing file and for anything that is not a regular file (a directory
// would otherwise report the size of its own listing). A size past the integer! range is a
// float!, never a wrapped integer.
#include "evaluator/size-native.h"

#include <climits>
#include <optional>
#include <string>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/series/url.h"
#include "loader/file-bytes.h"
#include "runtime/value-stack.h"

namespace qel {

Status native_size(const int32_t*) {
  const std::string path = file_to_os_path(value_stack.base[0]);
  std::optional<uint64_t> size = regular_file_size(path.c_str());
  if (!size) {
    stack_set_result_only(make_cell(Type::none));
    return {};
  }
  if (*size > INT32_MAX)
    float_box(static_cast<double>(*size));
  else
    integer_box(static_cast<int32_t>(*size));
  stack_keep_first();
  return {};
}

}  // namespace qel
