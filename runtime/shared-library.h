// shared-library.h: system libraries that only some programs need, loaded at their first use.
//
// Linking a library makes every start-up pay for loading it and for its own dependencies (the
// HTTP library alone brings some twenty more); loading it when a program first needs it keeps a
// trivial script's start-up to what the runtime itself uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <span>

namespace qel {

// Loads the library by its file name (a library already in the process answers at once) and
// fills `functions` with the addresses of the named functions, in their order. Answers false
// and leaves every pointer null when the library or one of the functions is missing.
bool shared_library_load(const char* file, std::span<const char* const> names, std::span<void*> functions);

// A library whose functions fill a table of pointers typed as their declarations: a struct
// declaring one pointer per name, in the names' order, which C code can call through too.
template <typename Table>
class SharedLibraryTable {
 public:
  static constexpr size_t kCount = sizeof(Table) / sizeof(void*);

  constexpr SharedLibraryTable(const char* file, Table& table, const std::array<const char*, kCount>& names)
      : file_(file), names_(names), table_(table) {}

  // Loads the library the first time (from any thread); answers whether its functions are there.
  // Until then, and when they are not, every pointer in the table is null.
  bool loaded() {
    std::call_once(once_, [this] {
      std::array<void*, kCount> functions{};
      ok_ = shared_library_load(file_, names_, functions);
      std::memcpy(&table_, functions.data(), sizeof(Table));
    });
    return ok_;
  }

  const char* file() const { return file_; }

 private:
  const char* file_;
  std::array<const char*, kCount> names_;
  Table& table_;
  std::once_flag once_;
  bool ok_ = false;
};

// A library and the functions a client takes from it by their slots, loaded once, at the first
// `loaded()`.
template <size_t Count>
class SharedLibrary {
 public:
  constexpr SharedLibrary(const char* file, const std::array<const char*, Count>& names) : library_(file, functions_, names) {}

  bool loaded() { return library_.loaded(); }

  // The function in the slot (its name's index), typed as its declaration: call only once
  // loaded() has answered true.
  template <typename Declared>
  Declared* function(size_t slot) const {
    return reinterpret_cast<Declared*>(functions_[slot]);
  }

 private:
  std::array<void*, Count> functions_{};
  SharedLibraryTable<std::array<void*, Count>> library_;
};

}  // namespace qel
