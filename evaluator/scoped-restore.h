// scoped-restore.h: puts a variable back as it was when a scope ends, however it ends: the
// interpreter's globals (the current expression, the tracing flag) are restored this way on
// every exit, error and throw included.
#pragma once

#include <cstring>
#include <type_traits>

namespace qel {

template <class T>
class ScopedRestore {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  // The value is kept as bytes: a cell is then saved and put back whole, not field by field.
  explicit ScopedRestore(T& variable) : variable_(variable) { std::memcpy(saved_, &variable, sizeof(T)); }
  ~ScopedRestore() { std::memcpy(&variable_, saved_, sizeof(T)); }
  ScopedRestore(const ScopedRestore&) = delete;
  ScopedRestore& operator=(const ScopedRestore&) = delete;

 private:
  T& variable_;
  alignas(T) unsigned char saved_[sizeof(T)];
};

}  // namespace qel
