// Memory of the page writer's images and work rows. It comes from the
// platform's C runtime allocation, which the host can be told to fail, so
// that each "cannot be allocated" of the writer is reached by tests; a lack
// of memory arrives as std::bad_alloc where each step catches it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <vector>

#include "platform/os.h"

namespace output {

template <class T>
struct PageAllocator {
  using value_type = T;
  PageAllocator() = default;
  template <class U>
  PageAllocator(const PageAllocator<U>&) {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* block = os::CrtAlloc(n * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) { os::CrtFree(block); }
};

template <class T, class U>
bool operator==(const PageAllocator<T>&, const PageAllocator<U>&) {
  return true;
}
template <class T, class U>
bool operator!=(const PageAllocator<T>&, const PageAllocator<U>&) {
  return false;
}

template <class T>
using PageVector = std::vector<T, PageAllocator<T>>;

// Images are compared with plain vectors (decoded rasters, expected rows).
template <class T>
bool operator==(const PageVector<T>& a, const std::vector<T>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}
template <class T>
bool operator==(const std::vector<T>& a, const PageVector<T>& b) {
  return b == a;
}
template <class T>
bool operator!=(const PageVector<T>& a, const std::vector<T>& b) {
  return !(a == b);
}
template <class T>
bool operator!=(const std::vector<T>& a, const PageVector<T>& b) {
  return !(b == a);
}

}  // namespace output
