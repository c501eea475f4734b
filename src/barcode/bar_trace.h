// Following a dark run of the scan image from row to row: the linear stage
// frames bars with it, the finder confirmations measure finders with it.
#pragma once

#include <cstdint>

#include "barcode/types.h"

namespace barcode {

// The scan image as dark/light pixels; outside it everything is light.
struct DarkPixels {
  const BinaryImage& b;
  int64_t w, h;
  explicit DarkPixels(const BinaryImage& img) : b(img), w(img.width), h(img.height) {}
  bool Dark(int64_t x, int64_t y) const {
    return x >= 0 && y >= 0 && x < w && y < h && b.pixels[y * b.stride + x] != 0;
  }
};

// A traced run: its centres fitted as column = a + b * row, and the rows where
// the run ends above and below along that line.
struct BarLine {
  double a = 0, b = 0;
  int64_t topRow = 0, bottomRow = 0;
  int64_t Column(int64_t row) const;
};

// Traces the run [x, x + width) of row y up and then down: in each row the
// run is looked for under the previous one's columns and kept while its width
// is within a quarter of width. Up to maxGap rows without it are bridged (the
// window drifting by the slope seen so far), and an end is where more than
// maxGap light pixels follow the last dark one along the fitted line.
// False when the centres give no line (all in one row).
bool TraceBar(const BinaryImage& image, int32_t x, int32_t width, int64_t y, int maxGap,
              BarLine* line);

// v moved one further from 0 (0 stays 0): the ends of a traced run are pixel
// centres, so a length between them counts both end pixels.
inline int64_t AwayFromZero(int64_t v) { return v > 0 ? v + 1 : (v < 0 ? v - 1 : 0); }

}  // namespace barcode
