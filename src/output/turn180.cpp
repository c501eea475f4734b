#include "output/turn180.h"

#include <cstring>
#include <new>
#include <vector>

#include "output/bit_tables.h"
#include "output/page_memory.h"

namespace output {

namespace {

void MirrorRow(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t n, int s,
               const std::uint8_t* shiftReverse, const std::uint8_t* bitReversal) {
  if (s == 8) {
    for (std::uint32_t k = 0; k < n; ++k) dst[k] = bitReversal[src[n - 1 - k]];
    return;
  }
  for (std::uint32_t k = 0; k < n; ++k) {
    dst[k] = shiftReverse[src[n - 1 - k] + 256u * src[n - k]];
  }
  dst[n] = bitReversal[src[0] >> s];
}

}  // namespace

bool Turn180(std::uint8_t* pixels, std::uint32_t width, std::uint32_t stride, std::uint32_t rows,
             const std::uint8_t* shiftReverse, const std::uint8_t* bitReversal) {
  const std::uint32_t n = width / 8;
  const int s = 8 - static_cast<int>(width % 8);
  const std::uint32_t rowBytes = (width + 7) / 8;
  if (pixels == nullptr || bitReversal == nullptr || stride < rowBytes) return false;
  if (s != 8 && shiftReverse == nullptr) return false;
  if (rows == 0 || width == 0) return true;
  PageVector<std::uint8_t> aside;
  try {
    aside.resize(rowBytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::uint32_t i = 0; i < rows / 2; ++i) {
    std::uint8_t* top = pixels + std::size_t{i} * stride;
    std::uint8_t* bottom = pixels + std::size_t{rows - 1 - i} * stride;
    std::memcpy(aside.data(), top, rowBytes);
    MirrorRow(bottom, top, n, s, shiftReverse, bitReversal);
    MirrorRow(aside.data(), bottom, n, s, shiftReverse, bitReversal);
  }
  if (rows % 2 == 1) {
    std::uint8_t* middle = pixels + std::size_t{rows / 2} * stride;
    std::memcpy(aside.data(), middle, rowBytes);
    MirrorRow(aside.data(), middle, n, s, shiftReverse, bitReversal);
  }
  return true;
}

bool Turn180(std::uint8_t* pixels, std::uint32_t width, std::uint32_t stride, std::uint32_t rows) {
  return Turn180(pixels, width, stride, rows, ShiftReverseTable(8 - static_cast<int>(width % 8)),
                 BitReversalTable());
}

}  // namespace output
