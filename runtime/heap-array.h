// heap-array.h: a growable array of plain records on the runtime heap, for the runtime's own
// tables (frame lists, the mark stack, resource slots).
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "runtime/heap.h"

namespace qel {

// Constant-initialised, so a global one needs no start-up order; its block goes back to the heap
// when it is destroyed or released (a block the heap already let go of at exit is ignored).
// Growth failure is runtime error 94 (the heap's).
template <class T>
class HeapArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  constexpr HeapArray() = default;
  ~HeapArray() { release(); }
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;

  T* data() { return items_; }
  const T* data() const { return items_; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }
  T* begin() { return items_; }
  T* end() { return items_ + size_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }
  T& back() { return items_[size_ - 1]; }

  // Makes room for n records in all (never shrinks).
  void reserve(size_t n) {
    if (n <= capacity_) return;
    items_ = static_cast<T*>(heap_resize(items_, n * sizeof(T)));
    capacity_ = n;
  }

  // Sets the size; new records are zero-filled.
  void resize(size_t n) {
    reserve(n);
    if (n > size_) std::memset(static_cast<void*>(items_ + size_), 0, (n - size_) * sizeof(T));
    size_ = n;
  }

  void push_back(const T& item) {
    if (size_ == capacity_) reserve(capacity_ ? capacity_ * 2 : 16);
    items_[size_++] = item;
  }

  void pop_back() { --size_; }

  void insert(size_t at, const T& item) {
    if (size_ == capacity_) reserve(capacity_ ? capacity_ * 2 : 16);
    std::memmove(static_cast<void*>(items_ + at + 1), items_ + at, (size_ - at) * sizeof(T));
    items_[at] = item;
    ++size_;
  }

  void erase(size_t at) {
    std::memmove(static_cast<void*>(items_ + at), items_ + at + 1, (size_ - at - 1) * sizeof(T));
    --size_;
  }

  void clear() { size_ = 0; }

  void release() {
    heap_release(items_);
    items_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  T* items_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace qel
