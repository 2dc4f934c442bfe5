// scoped-restore.h: puts a variable back as it was when a scope ends, however it ends: the
// interpreter's globals (the current expression, the tracing flag) are restored this way on
// every exit, error and throw included.
#pragma once

namespace qel {

template <class T>
class ScopedRestore {
 public:
  explicit ScopedRestore(T& variable) : variable_(variable), saved_(variable) {}
  ~ScopedRestore() { variable_ = saved_; }
  ScopedRestore(const ScopedRestore&) = delete;
  ScopedRestore& operator=(const ScopedRestore&) = delete;

 private:
  T& variable_;
  T saved_;
};

}  // namespace qel
