// Finder patterns of QR Code: confirmed while the rows go by, paired into
// symbols afterwards, and the crop around a paired symbol.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "barcode/bar_trace.h"
#include "barcode/qr.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

const int32_t kFinderPattern[5] = {1, 1, 3, 1, 1};
constexpr int kCrossCheckMaxVariance = 204;
constexpr int kCrossCheckLimit = 500;
constexpr double kTraceGapPerWidth = 0.14;
constexpr double kSquareTolerance = 0.25;
constexpr double kPi = 3.1415926535897;

// Length of the run of pixels of one colour from (x, y) going dir (not
// counting (x, y) itself) until the colour changes or the image ends.
uint32_t RunFrom(const DarkPixels& img, int64_t x, int64_t y, int dir, bool dark) {
  uint32_t n = 0;
  for (int64_t r = y + dir; r >= 0 && r < img.h && img.Dark(x, r) == dark; r += dir) ++n;
  return n;
}

// The five runs down a column around (x, y), its run in the middle.
bool VerticalFinder(const DarkPixels& img, int64_t x, int64_t y) {
  if (x < 0 || x >= img.w || y < 0 || y >= img.h || !img.Dark(x, y)) return false;
  uint32_t runs[5];
  const uint32_t up = RunFrom(img, x, y, -1, true), down = RunFrom(img, x, y, +1, true);
  runs[2] = up + down + 1;
  int64_t above = y - up - 1, below = y + down + 1;
  for (int k = 0; k < 2; ++k) {
    const bool dark = k == 1;
    if (above < 0 || below >= img.h) return false;
    runs[1 - k] = RunFrom(img, x, above, -1, dark) + 1;
    runs[3 + k] = RunFrom(img, x, below, +1, dark) + 1;
    above -= runs[1 - k];
    below += runs[3 + k];
  }
  return PatternVariance(runs, 5, kFinderPattern, 7, kCrossCheckMaxVariance) < kCrossCheckLimit;
}

double Distance(const FinderPoint& p, const FinderPoint& q) {
  return std::hypot(p.x - q.x, p.y - q.y);
}

}  // namespace

bool ConfirmQrFinder(const BinaryImage& image, const RowTrack& track, int32_t row,
                     FinderPoint* point) {
  const DarkPixels img(image);
  const int64_t column = static_cast<int64_t>(track.x) + track.width / 2;
  if (!VerticalFinder(img, column, static_cast<int64_t>(track.firstRow) + track.span))
    return false;
  BarLine line;
  const int gap = static_cast<int>(track.width * kTraceGapPerWidth);
  if (!TraceBar(image, track.x, track.width, row, gap, &line)) return false;
  // Centre kept to the half pixel: at two pixels a module, the half that
  // integer halving drops is a quarter module of grid error.
  const double topX = line.a + line.b * static_cast<double>(line.topRow);
  const double bottomX = line.a + line.b * static_cast<double>(line.bottomRow);
  const int64_t dx = AwayFromZero(std::llround(topX) - std::llround(bottomX));
  const int64_t dy = AwayFromZero(line.topRow - line.bottomRow);
  point->x = (topX + bottomX) / 2;
  point->y = static_cast<double>(line.topRow + line.bottomRow) / 2;
  point->size = std::trunc(std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5);
  point->orientation = 0;
  // A finder's centre is square: as tall as the row run is wide.
  return std::fabs(point->size - track.width) <= kSquareTolerance * track.width + 1;
}

bool TestFinderTriple(const FinderPoint& a, const FinderPoint& b, const FinderPoint& c,
                      FinderTriple* triple) {
  const FinderPoint* p[3] = {&a, &b, &c};
  const double d1 = Distance(a, b), d2 = Distance(b, c), d3 = Distance(a, c);
  const double e12 = std::fabs(d1 - d2), e13 = std::fabs(d1 - d3), e23 = std::fabs(d2 - d3);
  // Legs d1 and d2 meet at b, d1 and d3 at a, d2 and d3 at c.
  double leg, other, third;
  int corner, firstEnd, secondEnd;
  if (e12 <= e13 && e12 <= e23) {
    leg = d1, other = d2, third = d3, corner = 1, firstEnd = 0, secondEnd = 2;
  } else if (e13 <= e23) {
    leg = d1, other = d3, third = d2, corner = 0, firstEnd = 1, secondEnd = 2;
  } else {
    leg = d2, other = d3, third = d1, corner = 2, firstEnd = 1, secondEnd = 0;
  }
  const double tol = 0.06 * std::max(d1, std::min(d2, d3));
  if (std::fabs(leg - other) > tol + 5.0) return false;
  if (std::trunc(std::fabs(std::sqrt(2.0) * leg - third)) > tol) return false;
  triple->corner = corner;
  triple->ends[0] = firstEnd;
  triple->ends[1] = secondEnd;
  triple->leg = leg;
  triple->centreX = (p[firstEnd]->x + p[secondEnd]->x) / 2;
  triple->centreY = (p[firstEnd]->y + p[secondEnd]->y) / 2;
  double angle = std::atan2(p[firstEnd]->y - p[corner]->y, p[firstEnd]->x - p[corner]->x) * 180 / kPi;
  if (angle < 0) angle += 360;
  triple->angle = angle >= 360 ? 0 : angle;
  return true;
}

bool CropImage(const BinaryImage& image, double centreX, double centreY, int64_t side,
               Buffer<uint8_t>* pixels, BinaryImage* crop, int32_t* originX, int32_t* originY,
               bool* outOfMemory) {
  *outOfMemory = false;
  if (!(side > 0) || !std::isfinite(centreX) || !std::isfinite(centreY)) return false;
  const int64_t w = image.width, h = image.height;
  const double half = static_cast<double>(side) / 2;
  const int64_t x0 = std::max<int64_t>(1, static_cast<int64_t>(std::max(-1.0, centreX - half)));
  const int64_t y0 = std::max<int64_t>(1, static_cast<int64_t>(std::max(-1.0, centreY - half)));
  const int64_t x1 = std::min<int64_t>(w - 2, static_cast<int64_t>(std::min(1e12, centreX + half)));
  const int64_t y1 = std::min<int64_t>(h - 2, static_cast<int64_t>(std::min(1e12, centreY + half)));
  if (x1 < x0 || y1 < y0) return false;
  const int64_t cw = x1 - x0 + 1, ch = y1 - y0 + 1;
  *pixels = AllocUninitializedArray<uint8_t>(static_cast<size_t>(cw * ch * 3));
  if (!*pixels) {
    *outOfMemory = true;
    return false;
  }
  // The crop lies inside the image (x0, y0 >= 1, x1 < w - 1, y1 < h - 1).
  for (int64_t y = 0; y < ch; ++y) {
    const uint8_t* in = image.pixels + (y0 + y) * static_cast<int64_t>(image.stride) + x0;
    uint8_t* out = pixels->get() + y * cw * 3;
    for (int64_t x = 0; x < cw; ++x) {
      const uint8_t v = in[x] != 0 ? 0 : 255;
      out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v;
    }
  }
  *crop = BinaryImage{static_cast<uint32_t>(cw), static_cast<uint32_t>(cw * 3),
                      static_cast<uint32_t>(ch), 3, 8, pixels->get()};
  *originX = static_cast<int32_t>(x0);
  *originY = static_cast<int32_t>(y0);
  return true;
}

}  // namespace barcode
