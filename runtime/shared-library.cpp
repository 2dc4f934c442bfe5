// shared-library.cpp: loading a system library on first use through the dynamic loader.
#include "runtime/shared-library.h"

#include <dlfcn.h>

#include <algorithm>

namespace qel {

bool shared_library_load(const char* file, std::span<const char* const> names, std::span<void*> functions) {
  std::fill(functions.begin(), functions.end(), nullptr);
  // Never closed: the process keeps what it loaded, as it would a linked library.
  void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr || names.size() != functions.size()) return false;
  for (size_t k = 0; k < names.size(); ++k) {
    functions[k] = dlsym(handle, names[k]);
    if (functions[k] == nullptr) {
      std::fill(functions.begin(), functions.end(), nullptr);
      return false;
    }
  }
  return true;
}

}  // namespace qel
