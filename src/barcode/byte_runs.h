// Run ends in rows of one-byte pixels, sixteen bytes a step with SSE2 (we
// build for x86-64 only, where it is always there). Light runs on a label
// page are hundreds of pixels long.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace barcode {

// How many of the n bytes at p, from the first, equal value.
inline size_t EqualPrefix(const uint8_t* p, size_t n, uint8_t value) {
  size_t i = 0;
  const __m128i v = _mm_set1_epi8(static_cast<char>(value));
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, v)));
    if (equal != 0xFFFF) return i + static_cast<size_t>(__builtin_ctz(~equal));
  }
  while (i < n && p[i] == value) ++i;
  return i;
}

// How many of the n bytes at p, from the first, are not 0.
inline size_t NonZeroPrefix(const uint8_t* p, size_t n) {
  size_t i = 0;
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
    if (zeros != 0) return i + static_cast<size_t>(__builtin_ctz(zeros));
  }
  while (i < n && p[i] != 0) ++i;
  return i;
}

}  // namespace barcode
