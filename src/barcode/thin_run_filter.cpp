// Pre-pass that closes short runs of one colour which end as holes below,
// so that print noise does not break the runs the row stages follow.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

// Mask tables by run length and window shift (64 entries, index 0 first).
const uint8_t kMask3s0[64] = {
    0xfe, 0xfc, 0xfe, 0xfc, 0x7e, 0x7c, 0x7e, 0x00, 0xf2, 0xf0, 0xf2, 0xf0, 0x72, 0x70, 0x02, 0x00,
    0xee, 0xe0, 0xee, 0xe0, 0x0e, 0x00, 0x0e, 0x00, 0xe2, 0xe0, 0xe2, 0xe0, 0x02, 0x00, 0x02, 0x00,
    0x9e, 0x9c, 0x9e, 0x80, 0x1e, 0x1c, 0x1e, 0x00, 0x92, 0x90, 0x82, 0x80, 0x12, 0x10, 0x02, 0x00,
    0x8e, 0x80, 0x8e, 0x80, 0x0e, 0x00, 0x0e, 0x00, 0x82, 0x80, 0x82, 0x80, 0x02, 0x00, 0x02, 0x00};
const uint8_t kMask2s0[64] = {
    0xfe, 0xfc, 0xfe, 0x00, 0x7e, 0x7c, 0x7e, 0x00, 0xf2, 0xf0, 0x02, 0x00, 0x72, 0x70, 0x02, 0x00,
    0xee, 0xe0, 0x0e, 0x00, 0x0e, 0x00, 0x0e, 0x00, 0xe2, 0xe0, 0x02, 0x00, 0x02, 0x00, 0x02, 0x00,
    0x9e, 0x9c, 0x1e, 0x00, 0x1e, 0x1c, 0x1e, 0x00, 0x92, 0x90, 0x02, 0x00, 0x12, 0x10, 0x02, 0x00,
    0x8e, 0x80, 0x0e, 0x00, 0x0e, 0x00, 0x0e, 0x00, 0x82, 0x80, 0x02, 0x00, 0x02, 0x00, 0x02, 0x00};
const uint8_t kMask2sm1[64] = {
    0xfe, 0xfc, 0xfc, 0xfc, 0x7e, 0x7c, 0x00, 0x00, 0xf2, 0xf0, 0xf0, 0xf0, 0x72, 0x70, 0x00, 0x00,
    0xee, 0xe0, 0xe0, 0xe0, 0x0e, 0x00, 0x00, 0x00, 0xe2, 0xe0, 0xe0, 0xe0, 0x02, 0x00, 0x00, 0x00,
    0x9e, 0x9c, 0x80, 0x80, 0x1e, 0x1c, 0x00, 0x00, 0x92, 0x90, 0x80, 0x80, 0x12, 0x10, 0x00, 0x00,
    0x8e, 0x80, 0x80, 0x80, 0x0e, 0x00, 0x00, 0x00, 0x82, 0x80, 0x80, 0x80, 0x02, 0x00, 0x00, 0x00};
const uint8_t kMask1s0Open[64] = {
    0xfe, 0x00, 0xfe, 0x00, 0x7e, 0x00, 0x7e, 0x00, 0xf2, 0x00, 0x02, 0x00, 0x72, 0x00, 0x02, 0x00,
    0xee, 0x00, 0x0e, 0x00, 0x0e, 0x00, 0x0e, 0x00, 0xe2, 0x00, 0x02, 0x00, 0x02, 0x00, 0x02, 0x00,
    0x9e, 0x00, 0x1e, 0x00, 0x1e, 0x00, 0x1e, 0x00, 0x92, 0x00, 0x02, 0x00, 0x12, 0x00, 0x02, 0x00,
    0x8e, 0x00, 0x0e, 0x00, 0x0e, 0x00, 0x0e, 0x00, 0x82, 0x00, 0x02, 0x00, 0x02, 0x00, 0x02, 0x00};
const uint8_t kMask1sm1[64] = {
    0xfe, 0xfc, 0x00, 0x00, 0x7e, 0x7c, 0x00, 0x00, 0xf2, 0xf0, 0x00, 0x00, 0x72, 0x70, 0x00, 0x00,
    0xee, 0xe0, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00, 0xe2, 0xe0, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x9e, 0x9c, 0x00, 0x00, 0x1e, 0x1c, 0x00, 0x00, 0x92, 0x90, 0x00, 0x00, 0x12, 0x10, 0x00, 0x00,
    0x8e, 0x80, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00, 0x82, 0x80, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00};
const uint8_t kMask1sm2Open[64] = {
    0xfe, 0xfc, 0xfc, 0xfc, 0x00, 0x00, 0x00, 0x00, 0xf2, 0xf0, 0xf0, 0xf0, 0x00, 0x00, 0x00, 0x00,
    0xee, 0xe0, 0xe0, 0xe0, 0x00, 0x00, 0x00, 0x00, 0xe2, 0xe0, 0xe0, 0xe0, 0x00, 0x00, 0x00, 0x00,
    0x9e, 0x9c, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x92, 0x90, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00,
    0x8e, 0x80, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x82, 0x80, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00};
const uint8_t kMask1Closed[64] = {
    0xfe, 0xfc, 0xfe, 0xfc, 0x7e, 0x00, 0x7e, 0x00, 0xf2, 0xf0, 0xf2, 0xf0, 0x72, 0x00, 0x02, 0x00,
    0xee, 0xe0, 0xee, 0xe0, 0x0e, 0x00, 0x0e, 0x00, 0xe2, 0xe0, 0xe2, 0xe0, 0x02, 0x00, 0x02, 0x00,
    0x9e, 0x9c, 0x9e, 0x80, 0x1e, 0x00, 0x1e, 0x00, 0x92, 0x90, 0x82, 0x80, 0x12, 0x00, 0x02, 0x00,
    0x8e, 0x80, 0x8e, 0x80, 0x0e, 0x00, 0x0e, 0x00, 0x82, 0x80, 0x82, 0x80, 0x02, 0x00, 0x02, 0x00};

struct Filter {
  BinaryImage* image;
  uint8_t fg;
  bool Fg(int64_t x, int64_t y) const { return image->pixels[y * image->stride + x] == fg; }
  const uint8_t* Table(int n, int s, int64_t x, int64_t y) const {
    if (n == 3) return kMask3s0;
    if (n == 2) return s == 0 ? kMask2s0 : kMask2sm1;
    if (s == -1) return kMask1sm1;
    // The row pixel at the far side of the window from the run decides.
    int64_t px = (s == 0) ? x + 2 : x - 2;
    bool open = px < 0 || px >= image->width || !Fg(px, y);
    if (open) return s == 0 ? kMask1s0Open : kMask1sm2Open;
    return kMask1Closed;
  }
  // True when the window at (x0, y) passes, i.e. the run is a closed hole.
  bool WindowPasses(const uint8_t* table, int64_t x0, int64_t y) const {
    int index = 0;
    for (int k = 0; k < 3; ++k) {
      if (!Fg(x0 + k, y + 1)) index |= 1 << k;
      if (!Fg(x0 + k, y + 2)) index |= 1 << (3 + k);
    }
    uint8_t mask = table[index];
    if (mask == 0) return true;
    for (int bit = 0; bit < 8; ++bit) {
      if (!(mask & (1 << bit))) continue;
      int64_t bx, by, ox, oy;
      if (bit < 3) {
        bx = x0, by = y + bit, ox = x0 - 1, oy = by;
      } else if (bit < 6) {
        bx = x0 + (bit - 3), by = y + 2, ox = bx, oy = y + 3;
      } else {
        bx = x0 + 2, by = (bit == 6) ? y + 2 : y + 1, ox = x0 + 3, oy = by;
      }
      if (Fg(bx, by) && Fg(ox, oy)) return false;
    }
    return true;
  }
};

// Rows as bit masks, bit x of word x / 64 for pixel x: where the row has the
// filter's colour, and where the filter flipped it.
struct RowBits {
  Buffer<uint64_t> fg, flipped;
};

// The n (1 to 3) bits of words from bit x on, lowest first.
inline uint64_t BitsAt(const uint64_t* words, int64_t x, int n) {
  const int64_t w = x >> 6;
  const int shift = static_cast<int>(x & 63);
  uint64_t bits = words[w] >> shift;
  if (shift > 64 - n) bits |= words[w + 1] << (64 - shift);
  return bits & ((uint64_t{1} << n) - 1);
}

inline void SetBitsAt(uint64_t* words, int64_t x, int n) {
  for (int k = 0; k < n; ++k) words[(x + k) >> 6] |= uint64_t{1} << ((x + k) & 63);
}

// Bit x set where row[x] == fg; the words past the row stay clear.
void MaskRow(const uint8_t* row, int64_t width, uint8_t fg, uint64_t* words) {
  const __m128i v = _mm_set1_epi8(static_cast<char>(fg));
  int64_t x = 0;
  for (; x + 64 <= width; x += 64) {
    uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 16 * k));
      m |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, v)))} << (16 * k);
    }
    words[x >> 6] = m;
  }
  if (x < width) {
    uint64_t m = 0;
    int64_t k = x;
    for (; k + 16 <= width; k += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k));
      m |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, v)))} << (k - x);
    }
    for (; k < width; ++k) m |= uint64_t{row[k] == fg} << (k - x);
    words[x >> 6] = m;
  }
}

}  // namespace

// Only runs of one to three pixels can flip. A short run keeps its colour when
// it touches a kept run of the row above, flips when it touches only flipped
// ones, and otherwise flips when one of its windows below shows a hole. The
// row above is kept as bit masks: its pixels of the colour are exactly its
// kept runs (flipped ones no longer have it), and a second mask holds where
// it was flipped.
int32_t ThinRunFilter(BinaryImage* image, int colour) {
  if (image == nullptr || image->pixels == nullptr || image->width == 0 || image->height == 0 ||
      image->stride < image->width)
    return 0;
  const int64_t width = image->width, height = image->height;
  const size_t words = static_cast<size_t>(width / 64 + 2);
  RowBits above{AllocArray<uint64_t>(words), AllocArray<uint64_t>(words)};
  RowBits here{AllocArray<uint64_t>(words), AllocArray<uint64_t>(words)};
  if (!above.fg || !above.flipped || !here.fg || !here.flipped) {
    PushErrorTrail(kCategoryMemory, kModuleScan, 73);
    return 1;
  }
  Filter f{image, static_cast<uint8_t>(colour != 0 ? 1 : 0)};
  const int64_t lastWord = (width - 1) >> 6;
  for (int64_t y = 0; y < height; ++y) {
    uint8_t* row = image->pixels + y * image->stride;
    uint64_t* fg = here.fg.get();
    uint64_t* flipped = here.flipped.get();
    MaskRow(row, width, f.fg, fg);
    std::memset(flipped, 0, words * sizeof(uint64_t));
    // The first row has no row above and no window, so nothing in it flips.
    if (y > 0) {
      uint64_t carry = 0;
      for (int64_t w = 0; w <= lastWord; ++w) {
        const uint64_t m = fg[w], next = fg[w + 1];
        const uint64_t starts = m & ~((m << 1) | carry);
        const uint64_t longRuns =
            m & ((m >> 1) | (next << 63)) & ((m >> 2) | (next << 62)) & ((m >> 3) | (next << 61));
        carry = m >> 63;
        for (uint64_t s = starts & ~longRuns; s != 0; s &= s - 1) {
          const int64_t start = w * 64 + __builtin_ctzll(s);
          const int n = BitsAt(fg, start + 1, 1) == 0 ? 1 : BitsAt(fg, start + 2, 1) == 0 ? 2 : 3;
          if (BitsAt(above.fg.get(), start, n) != 0) continue;
          bool flip = BitsAt(above.flipped.get(), start, n) != 0;
          for (int s0 = (n - 3 < 0 ? n - 3 : 0); s0 <= 0 && !flip; ++s0) {
            const int64_t x0 = start + s0;
            if (x0 < 1 || x0 + 3 > width - 1 || y + 3 > height - 1) continue;
            flip = f.WindowPasses(f.Table(n, s0, start, y), x0, y);
          }
          if (!flip) continue;
          for (int k = 0; k < n; ++k) row[start + k] ^= 1;
          SetBitsAt(flipped, start, n);
        }
      }
    }
    // What the next row sees: this row's kept runs and where it flipped.
    for (int64_t w = 0; w <= lastWord; ++w) fg[w] &= ~flipped[w];
    std::swap(above, here);
  }
  return 0;
}

}  // namespace barcode
