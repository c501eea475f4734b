// Allocation that fails as a value, with a switch for tests to make the
// n-th allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace barcode {

namespace test_hooks {
// -1: never fail; n >= 0: the allocation after n more succeed fails.
// Either way the count of allocations starts again from 0.
void FailAllocationAfter(int n);
// Allocations asked for since the last FailAllocationAfter, the failed one
// included: a walk over every allocation knows when it has passed the last.
long long AllocationsSincePlan();
}  // namespace test_hooks

void* AllocZeroed(size_t count, size_t size);
// The same without clearing, for buffers that are written in full at once.
void* AllocUninitialized(size_t count, size_t size);

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

template <class T>
using Buffer = std::unique_ptr<T[], FreeDeleter>;

// Zeroed array of n elements, or null (also when n * sizeof(T) would wrap).
template <class T>
Buffer<T> AllocArray(size_t n) {
  return Buffer<T>(static_cast<T*>(AllocZeroed(n == 0 ? 1 : n, sizeof(T))));
}

// Array of n elements left as they come, or null.
template <class T>
Buffer<T> AllocUninitializedArray(size_t n) {
  return Buffer<T>(static_cast<T*>(AllocUninitialized(n == 0 ? 1 : n, sizeof(T))));
}

}  // namespace barcode
