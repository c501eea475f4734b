#include "output/bit_tables.h"

#include <array>
#include <vector>

namespace output {

namespace {

constexpr std::array<std::uint8_t, 256> BuildBitReversal() {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    int reversed = 0;
    for (int bit = 0; bit < 8; ++bit) {
      if (b & (1 << bit)) reversed |= 0x80 >> bit;
    }
    table[b] = static_cast<std::uint8_t>(reversed);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kBitReversal = BuildBitReversal();

// 7 x 64 KB: too much for compile-time evaluation on every compiler we use.
std::vector<std::uint8_t> BuildShiftReverse() {
  std::vector<std::uint8_t> tables(7 * kShiftReverseTableSize);
  for (int s = 1; s <= 7; ++s) {
    std::uint8_t* table = tables.data() + (s - 1) * kShiftReverseTableSize;
    for (unsigned hi = 0; hi < 256; ++hi) {
      for (unsigned lo = 0; lo < 256; ++lo) {
        table[lo + 256 * hi] = kBitReversal[((hi >> s) | (lo << (8 - s))) & 0xFF];
      }
    }
  }
  return tables;
}

}  // namespace

const std::uint8_t* BitReversalTable() { return kBitReversal.data(); }

const std::uint8_t* ShiftReverseTable(int s) {
  if (s < 1 || s > 7) return nullptr;
  static const std::vector<std::uint8_t> tables = BuildShiftReverse();
  return tables.data() + (s - 1) * kShiftReverseTableSize;
}

}  // namespace output
