#include "barcode/alloc.h"

namespace barcode {

namespace {
int g_failAfter = -1;
long long g_allocations = 0;
// Far above any buffer a real scan needs; a request beyond it is hostile.
constexpr size_t kMaxAllocation = size_t{1} << 31;
}  // namespace

void test_hooks::FailAllocationAfter(int n) {
  g_failAfter = n;
  g_allocations = 0;
}

long long test_hooks::AllocationsSincePlan() { return g_allocations; }

namespace {
// Counts the allocation for the test switch; false when it is to fail or the
// request is out of all proportion.
bool MayAllocate(size_t count, size_t size) {
  ++g_allocations;
  if (g_failAfter == 0) {
    g_failAfter = -1;
    return false;
  }
  if (g_failAfter > 0) --g_failAfter;
  return size == 0 || count <= kMaxAllocation / size;
}
}  // namespace

void* AllocZeroed(size_t count, size_t size) {
  return MayAllocate(count, size) ? std::calloc(count, size) : nullptr;
}

void* AllocUninitialized(size_t count, size_t size) {
  return MayAllocate(count, size) ? std::malloc(count * size) : nullptr;
}

}  // namespace barcode
