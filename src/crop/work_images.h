// Page-sized work buffers of the location front-end, kept from one call to
// the next. Crop print calls the front-end once a page, and a fresh
// page-sized buffer costs a page fault for every 4 KB its first writes touch,
// on some machines more than the whole scan. So the buffers a call is done
// with stay for the next call: one per use, up to kKeptLimit bytes each, until
// ReleaseWorkImages or the module's unload. Concurrent calls each get their
// own buffers; whichever returns last keeps its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crop {

// The basic crop search takes the binary page again, after the front-end is
// done with it, and the label map of its labelling.
enum class WorkUse { kBinary, kTurned, kTurnedResults, kLabelMap };
constexpr int kWorkUses = 4;
// The largest buffer kept: a 300-dpi page of 13 x 13 inches.
constexpr size_t kKeptLimit = size_t{16} << 20;

// A buffer of at least the asked size, kept or new, handed back to the keep
// when the lease ends. Its contents are whatever the last user left.
class WorkLease {
 public:
  WorkLease() = default;
  WorkLease(const WorkLease&) = delete;
  WorkLease& operator=(const WorkLease&) = delete;
  ~WorkLease();

  // Null when memory runs out; a lease already held is kept as it is.
  uint8_t* Take(WorkUse use, size_t bytes);
  uint8_t* data() const { return data_; }

 private:
  WorkUse use_ = WorkUse::kBinary;
  uint8_t* data_ = nullptr;
};

// Frees every kept buffer (at the end of a job, and for tests).
void ReleaseWorkImages();

namespace test_hooks {
size_t KeptWorkBytes();
}  // namespace test_hooks

}  // namespace crop
