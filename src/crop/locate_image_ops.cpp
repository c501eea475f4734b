// Image steps of the location front-end: thresholding, quarter turns,
// bilinear shrinking and one-bit expansion.
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "barcode/error_trail.h"
#include "crop/locate_barcodes.h"

namespace crop {

namespace {
constexpr int32_t kModuleBinarize = 3000;
constexpr int32_t kModuleRotate = 2000;

// Transposes a 16 x 16 block of one-byte pixels with SSE2 (we build for
// x86-64 only): out[c][r] = in[r][c] for the block's rows in[] and its
// turned rows out[].
constexpr uint32_t kBlock = 16;

inline void TransposeBlock(const uint8_t* const in[kBlock], uint8_t* const out[kBlock]) {
  __m128i a[16], b[16];
  for (int r = 0; r < 16; ++r) a[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in[r]));
  // Each round interleaves pairs of registers in units twice as wide as the
  // round before: bytes, then 2, 4 and 8 bytes. Afterwards register c holds
  // column c, rows in order.
  for (int i = 0; i < 8; ++i) {
    b[2 * i] = _mm_unpacklo_epi8(a[2 * i], a[2 * i + 1]);
    b[2 * i + 1] = _mm_unpackhi_epi8(a[2 * i], a[2 * i + 1]);
  }
  for (int q = 0; q < 16; q += 4) {
    a[q] = _mm_unpacklo_epi16(b[q], b[q + 2]);
    a[q + 1] = _mm_unpackhi_epi16(b[q], b[q + 2]);
    a[q + 2] = _mm_unpacklo_epi16(b[q + 1], b[q + 3]);
    a[q + 3] = _mm_unpackhi_epi16(b[q + 1], b[q + 3]);
  }
  for (int h = 0; h < 16; h += 8) {
    for (int i = 0; i < 4; ++i) {
      b[h + 2 * i] = _mm_unpacklo_epi32(a[h + i], a[h + 4 + i]);
      b[h + 2 * i + 1] = _mm_unpackhi_epi32(a[h + i], a[h + 4 + i]);
    }
  }
  for (int m = 0; m < 8; ++m) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2 * m]), _mm_unpacklo_epi64(b[m], b[m + 8]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2 * m + 1]),
                     _mm_unpackhi_epi64(b[m], b[m + 8]));
  }
}

// The same for two blocks side by side, 32 pixels wide, with AVX2: the
// interleaving rounds work within each 128-bit half, so the left block
// turns in the low halves and the right one in the high halves. out[0..15]
// are the left block's turned rows, out[16..31] the right one's.
__attribute__((target("avx2"))) void TransposeBlockPair(const uint8_t* const in[kBlock],
                                                        uint8_t* const out[2 * kBlock]) {
  __m256i a[16], b[16];
  for (int r = 0; r < 16; ++r) a[r] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in[r]));
  for (int i = 0; i < 8; ++i) {
    b[2 * i] = _mm256_unpacklo_epi8(a[2 * i], a[2 * i + 1]);
    b[2 * i + 1] = _mm256_unpackhi_epi8(a[2 * i], a[2 * i + 1]);
  }
  for (int q = 0; q < 16; q += 4) {
    a[q] = _mm256_unpacklo_epi16(b[q], b[q + 2]);
    a[q + 1] = _mm256_unpackhi_epi16(b[q], b[q + 2]);
    a[q + 2] = _mm256_unpacklo_epi16(b[q + 1], b[q + 3]);
    a[q + 3] = _mm256_unpackhi_epi16(b[q + 1], b[q + 3]);
  }
  for (int h = 0; h < 16; h += 8) {
    for (int i = 0; i < 4; ++i) {
      b[h + 2 * i] = _mm256_unpacklo_epi32(a[h + i], a[h + 4 + i]);
      b[h + 2 * i + 1] = _mm256_unpackhi_epi32(a[h + i], a[h + 4 + i]);
    }
  }
  for (int m = 0; m < 8; ++m) {
    const __m256i even = _mm256_unpacklo_epi64(b[m], b[m + 8]);
    const __m256i odd = _mm256_unpackhi_epi64(b[m], b[m + 8]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2 * m]), _mm256_castsi256_si128(even));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2 * m + 1]), _mm256_castsi256_si128(odd));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[kBlock + 2 * m]),
                     _mm256_extracti128_si256(even, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out[kBlock + 2 * m + 1]),
                     _mm256_extracti128_si256(odd, 1));
  }
}

// The sixteen bytes of v in reverse order (SSE2 only): the four dwords
// reversed, then the words in each dword, then the bytes in each word.
inline __m128i Reversed(__m128i v) {
  v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
  v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
  return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

// Whether quarter turns take two blocks at a time: when the processor and
// the system have AVX2, unless a test asks for the one-block path.
bool g_narrowTurnsOnly = false;

bool WideTurns() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available && !g_narrowTurnsOnly;
}

// Where source pixel (x, y) of a w x h image lands in a quarter-turned image.
inline size_t TurnedOffset(uint32_t x, uint32_t y, uint32_t w, uint32_t h, size_t to, int angle) {
  if (angle == 270) return size_t{x} * to + (h - 1 - y);  // column x becomes row x, bottom first
  return size_t{w - 1 - x} * to + y;
}

// Quarter and half turns of one-byte pixels. Quarter turns move whole square
// blocks through a register transpose; the edges that do not fill a block go
// pixel by pixel.
void TurnBytes(const WorkImage& source, const WorkImage& target, int angle) {
  const uint32_t w = source.width, h = source.height;
  const size_t from = source.stride, to = target.stride;
  const uint8_t* const in = source.pixels;
  uint8_t* const out = target.pixels;
  if (angle == 180) {
    // Sixteen pixels a step, reversed in a register; the rest one by one.
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t* row = in + y * from;
      uint8_t* line = out + (h - 1 - y) * to;
      uint32_t x = 0;
      for (; x + kBlock <= w; x += kBlock) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + (w - kBlock - x)), Reversed(v));
      }
      for (; x < w; ++x) line[w - 1 - x] = row[x];
    }
    return;
  }
  // Strips of blocks across the page: the block rows read are streams the
  // prefetcher follows, and the turned rows written (one cache line for
  // several strips) stay in the second-level cache.
  const uint32_t wb = w / kBlock * kBlock, hb = h / kBlock * kBlock;
  const bool wide = WideTurns();
  const uint8_t* rows[kBlock];
  uint8_t* turned[2 * kBlock];
  // A 270 turn reads the block's rows bottom up so that each turned row comes
  // out in its final order; a 90 turn reverses the rows written.
  auto aim = [&](uint32_t y0, uint32_t x0, uint32_t columns) {
    for (uint32_t r = 0; r < kBlock; ++r)
      rows[r] = in + (angle == 270 ? y0 + kBlock - 1 - r : y0 + r) * from + x0;
    for (uint32_t c = 0; c < columns; ++c) {
      turned[c] = angle == 270 ? out + size_t{x0 + c} * to + (h - kBlock - y0)
                               : out + size_t{w - 1 - x0 - c} * to + y0;
    }
  };
  for (uint32_t y0 = 0; y0 < hb; y0 += kBlock) {
    uint32_t x0 = 0;
    for (; wide && x0 + 2 * kBlock <= wb; x0 += 2 * kBlock) {
      aim(y0, x0, 2 * kBlock);
      TransposeBlockPair(rows, turned);
    }
    for (; x0 < wb; x0 += kBlock) {
      aim(y0, x0, kBlock);
      TransposeBlock(rows, turned);
    }
  }
  // The right columns and bottom rows that do not fill a block.
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = in + y * from;
    for (uint32_t x = y < hb ? wb : 0; x < w; ++x)
      out[TurnedOffset(x, y, w, h, to, angle)] = row[x];
  }
}
}  // namespace

void test_hooks::UseNarrowTurnsOnly(bool narrow) { g_narrowTurnsOnly = narrow; }

int32_t Binarize(const WorkImage& image, barcode::BinaryImage* binary, int threshold) {
  if (image.bytesPerPixel != 1 && image.bytesPerPixel != 3) {
    barcode::PushErrorTrail(barcode::kCategoryBadArgument, kModuleBinarize, 1);
    return 5;
  }
  // Locals, so that the byte stores cannot be taken to change them and the
  // row loops vectorise.
  const uint32_t width = image.width, height = image.height;
  const size_t from = image.stride, to = binary->stride;
  const uint8_t* const in = image.pixels;
  uint8_t* const pixels = binary->pixels;
  const bool grey = image.bytesPerPixel == 1;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = in + y * from;
    uint8_t* out = pixels + y * to;
    if (to > width) std::memset(out + width, 0, to - width);
    if (grey && (threshold <= 0 || threshold > 255)) {
      std::memset(out, threshold > 255, width);
    } else if (grey) {
      // A byte compare against threshold - 1 does 16 or 32 pixels a step.
      const uint8_t lightestDark = static_cast<uint8_t>(threshold - 1);
      for (uint32_t x = 0; x < width; ++x) out[x] = row[x] <= lightestDark;
    } else {
      for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + x * 3;
        const int value = (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
        out[x] = value < threshold;
      }
    }
  }
  return 0;
}

int32_t RotateImage(const WorkImage& source, WorkImage* target, int angle) {
  const uint32_t bpp = source.bytesPerPixel;
  if (bpp == 0 || (angle != 90 && angle != 180 && angle != 270)) {
    barcode::PushErrorTrail(barcode::kCategoryBadArgument, kModuleRotate, 1);
    return 5;
  }
  const uint32_t w = source.width, h = source.height;
  const bool quarter = angle != 180;
  target->width = quarter ? h : w;
  target->height = quarter ? w : h;
  target->bytesPerPixel = bpp;
  target->stride = target->width * bpp;
  if (bpp == 1) {
    TurnBytes(source, *target, angle);
    return 0;
  }
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = source.pixels + static_cast<size_t>(y) * source.stride;
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t tx, ty;
      if (angle == 270) {  // the upright column x becomes row x, read right to left
        tx = h - 1 - y, ty = x;
      } else if (angle == 90) {
        tx = y, ty = w - 1 - x;
      } else {
        tx = w - 1 - x, ty = h - 1 - y;
      }
      std::memcpy(target->pixels + static_cast<size_t>(ty) * target->stride + tx * bpp,
                  row + x * bpp, bpp);
    }
  }
  return 0;
}

int32_t ResizeBilinear(const WorkImage& source, WorkImage* target) {
  const uint32_t bpp = source.bytesPerPixel;
  const double sy = target->height > 1 ? double(source.height - 1) / (target->height - 1) : 0;
  const double sx = target->width > 1 ? double(source.width - 1) / (target->width - 1) : 0;
  for (uint32_t i = 0; i < target->height; ++i) {
    const double fy = i * sy;
    const uint32_t y0 = static_cast<uint32_t>(fy);
    const uint32_t y1 = y0 + 1 < source.height ? y0 + 1 : y0;
    const double wy = fy - y0;
    const uint8_t* r0 = source.pixels + static_cast<size_t>(y0) * source.stride;
    const uint8_t* r1 = source.pixels + static_cast<size_t>(y1) * source.stride;
    uint8_t* out = target->pixels + static_cast<size_t>(i) * target->stride;
    for (uint32_t j = 0; j < target->width; ++j) {
      const double fx = j * sx;
      const uint32_t x0 = static_cast<uint32_t>(fx);
      const uint32_t x1 = x0 + 1 < source.width ? x0 + 1 : x0;
      const double wx = fx - x0;
      for (uint32_t c = 0; c < bpp; ++c) {
        double top = r0[x0 * bpp + c] * (1 - wx) + r0[x1 * bpp + c] * wx;
        double bottom = r1[x0 * bpp + c] * (1 - wx) + r1[x1 * bpp + c] * wx;
        out[j * bpp + c] = static_cast<uint8_t>(top * (1 - wy) + bottom * wy);
      }
    }
  }
  return 0;
}

void ExpandBilevel(const SourceImage& image, uint8_t* target) {
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.pixels + static_cast<size_t>(y) * image.stride;
    uint8_t* out = target + static_cast<size_t>(y) * image.width;
    for (uint32_t x = 0; x < image.width; ++x) out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
  }
}

}  // namespace crop
