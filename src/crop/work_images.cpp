#include "crop/work_images.h"

#include <atomic>
#include <cstdlib>

#include "barcode/alloc.h"

namespace crop {

namespace {

// A kept buffer: its capacity, then the bytes.
struct alignas(16) Block {
  size_t capacity;
};

uint8_t* BytesOf(Block* block) { return reinterpret_cast<uint8_t*>(block + 1); }
Block* BlockOf(uint8_t* bytes) { return reinterpret_cast<Block*>(bytes) - 1; }

struct Keep {
  std::atomic<Block*> slots[kWorkUses] = {};
  ~Keep() { ReleaseWorkImages(); }
};
Keep g_keep;

std::atomic<Block*>& Slot(WorkUse use) { return g_keep.slots[static_cast<int>(use)]; }

}  // namespace

uint8_t* WorkLease::Take(WorkUse use, size_t bytes) {
  if (data_ != nullptr) return data_;
  Block* block = Slot(use).exchange(nullptr, std::memory_order_acquire);
  if (block != nullptr && block->capacity < bytes) {
    std::free(block);
    block = nullptr;
  }
  if (block == nullptr) {
    if (bytes > SIZE_MAX - sizeof(Block)) return nullptr;
    block = static_cast<Block*>(barcode::AllocUninitialized(sizeof(Block) + bytes, 1));
    if (block == nullptr) return nullptr;
    block->capacity = bytes;
  }
  use_ = use;
  data_ = BytesOf(block);
  return data_;
}

WorkLease::~WorkLease() {
  if (data_ == nullptr) return;
  Block* block = BlockOf(data_);
  if (block->capacity > kKeptLimit) {
    std::free(block);
    return;
  }
  std::free(Slot(use_).exchange(block, std::memory_order_acq_rel));
}

void ReleaseWorkImages() {
  for (std::atomic<Block*>& slot : g_keep.slots)
    std::free(slot.exchange(nullptr, std::memory_order_acq_rel));
}

size_t test_hooks::KeptWorkBytes() {
  size_t kept = 0;
  for (std::atomic<Block*>& slot : g_keep.slots) {
    const Block* block = slot.load(std::memory_order_acquire);
    kept += block != nullptr ? block->capacity : 0;
  }
  return kept;
}

}  // namespace crop
