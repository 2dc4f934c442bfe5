// shared-library.h: system libraries that only some programs need, loaded at their first use.
//
// Linking a library makes every start-up pay for loading it and for its own dependencies (the
// HTTP library alone brings some twenty more); loading it when a program first needs it keeps a
// trivial script's start-up to what the runtime itself uses.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <span>

namespace qel {

// Loads the library by its file name (a library already in the process answers at once) and
// fills `functions` with the addresses of the named functions, in their order. Answers false
// and leaves every pointer null when the library or one of the functions is missing.
bool shared_library_load(const char* file, std::span<const char* const> names, std::span<void*> functions);

// A library and the functions a client takes from it, loaded once, at the first `loaded()`.
template <size_t Count>
class SharedLibrary {
 public:
  constexpr SharedLibrary(const char* file, const std::array<const char*, Count>& names) : file_(file), names_(names) {}

  // Loads the library the first time (from any thread); answers whether its functions are there.
  bool loaded() {
    std::call_once(once_, [this] { ok_ = shared_library_load(file_, names_, functions_); });
    return ok_;
  }

  // The function in the slot (its name's index), typed as its declaration: call only once
  // loaded() has answered true.
  template <typename Declared>
  Declared* function(size_t slot) const {
    return reinterpret_cast<Declared*>(functions_[slot]);
  }

 private:
  const char* file_;
  std::array<const char*, Count> names_;
  std::array<void*, Count> functions_{};
  std::once_flag once_;
  bool ok_ = false;
};

}  // namespace qel
