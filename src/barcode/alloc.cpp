#include "barcode/alloc.h"

namespace barcode {

namespace {
int g_failAfter = -1;
// Far above any buffer a real scan needs; a request beyond it is hostile.
constexpr size_t kMaxAllocation = size_t{1} << 31;
}  // namespace

void test_hooks::FailAllocationAfter(int n) { g_failAfter = n; }

void* AllocZeroed(size_t count, size_t size) {
  if (g_failAfter == 0) {
    g_failAfter = -1;
    return nullptr;
  }
  if (g_failAfter > 0) --g_failAfter;
  if (size != 0 && count > kMaxAllocation / size) return nullptr;
  return std::calloc(count, size);
}

}  // namespace barcode
