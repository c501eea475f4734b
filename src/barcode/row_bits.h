// Rows of one-byte pixels as bit masks, sixty-four pixels a word, built with
// SSE2 (we build for x86-64 only, where it is always there). Runs then come
// from the bits where the mask changes, without a branch per pixel.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace barcode {

// Words needed for a row of width pixels, with one clear word behind.
inline size_t RowMaskWords(int64_t width) { return static_cast<size_t>(width / 64 + 2); }

// Bit x % 64 of words[x / 64] is set where row[x] == value, for the width
// pixels of the row; the bits past the row are clear. Writes every word up to
// and including the one holding pixel width - 1 (none for an empty row).
inline void EqualBits(const uint8_t* row, int64_t width, uint8_t value, uint64_t* words) {
  const __m128i v = _mm_set1_epi8(static_cast<char>(value));
  auto sixteen = [&](int64_t x) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    return uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, v)))};
  };
  int64_t x = 0;
  for (; x + 64 <= width; x += 64)
    words[x >> 6] =
        sixteen(x) | sixteen(x + 16) << 16 | sixteen(x + 32) << 32 | sixteen(x + 48) << 48;
  if (x < width) {
    uint64_t m = 0;
    int64_t k = x;
    for (; k + 16 <= width; k += 16) m |= sixteen(k) << (k - x);
    for (; k < width; ++k) m |= uint64_t{row[k] == value} << (k - x);
    words[x >> 6] = m;
  }
}

}  // namespace barcode
