// Failures the host platform can be told to produce, so that tests can walk
// every failure path the system defines: the n-th allocation, the n-th file
// opened, the n-th write cut short, a disk that fills up, registry values
// that cannot be read. Counts start at 0 after ResetFaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace host {

struct Faults {
  static constexpr std::int64_t kNever = -1;
  // This allocation (0-based) returns null: process heap, page memory,
  // C runtime buffers (os::CrtAlloc) and engine surfaces count alike.
  std::int64_t failAllocation = kNever;
  // This allocation throws std::bad_alloc instead, as a container deep in
  // the plug-in would; counted with the others.
  std::int64_t throwAllocation = kNever;
  std::int64_t failOpen = kNever;        // this file open or temporary name fails
  std::int64_t shortWrite = kNever;      // this write stores half of its bytes
  std::int64_t diskSpace = kNever;       // bytes all writes together may store
  std::set<std::u16string> unreadableValues;  // registry value names, exact

  // What happened so far.
  std::int64_t allocations = 0, opens = 0, writes = 0;
  std::int64_t bytesWritten = 0;
  bool fired = false;  // a planned failure has happened
};

Faults& TheFaults();
void ResetFaults();

// Hooks of the host platform layer. AllocationFails throws at the planned
// throwing allocation.
bool AllocationFails();
bool OpenFails();
// How many of `size` bytes the next write may store.
std::size_t WritableBytes(std::size_t size);
bool RegistryValueFails(const std::u16string& name);

}  // namespace host
