// Planned failures of the host platform layer.
#include "platform/host/faults.h"

#include <algorithm>
#include <new>

namespace host {

Faults& TheFaults() {
  static Faults faults;
  return faults;
}

void ResetFaults() { TheFaults() = Faults{}; }

namespace {
// Counts one event and tells whether it is the planned one.
bool Hit(std::int64_t* counter, std::int64_t planned) {
  const bool hit = *counter == planned;
  ++*counter;
  if (hit) TheFaults().fired = true;
  return hit;
}
}  // namespace

bool AllocationFails() {
  Faults& f = TheFaults();
  if (f.allocations == f.throwAllocation) {
    ++f.allocations;
    f.fired = true;
    throw std::bad_alloc();
  }
  return Hit(&f.allocations, f.failAllocation);
}

bool OpenFails() {
  Faults& f = TheFaults();
  return Hit(&f.opens, f.failOpen);
}

std::size_t WritableBytes(std::size_t size) {
  Faults& f = TheFaults();
  std::size_t allowed = Hit(&f.writes, f.shortWrite) ? size / 2 : size;
  if (f.diskSpace != Faults::kNever) {
    const std::int64_t left = std::max<std::int64_t>(f.diskSpace - f.bytesWritten, 0);
    if (static_cast<std::int64_t>(allowed) > left) {
      allowed = static_cast<std::size_t>(left);
      f.fired = true;
    }
  }
  f.bytesWritten += static_cast<std::int64_t>(allowed);
  return allowed;
}

bool RegistryValueFails(const std::u16string& name) {
  Faults& f = TheFaults();
  const bool fails = f.unreadableValues.count(name) != 0;
  if (fails) f.fired = true;
  return fails;
}

}  // namespace host
