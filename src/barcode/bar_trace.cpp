#include "barcode/bar_trace.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace barcode {

namespace {

constexpr int kMaxFitPoints = 100;

struct Fit {
  double sx = 0, sy = 0, sxy = 0, syy = 0;
  int n = 0;
  void Add(double x, double y) {
    if (n >= kMaxFitPoints) return;
    sx += x, sy += y, sxy += x * y, syy += y * y;
    ++n;
  }
};

// Follows the run from row y0 in direction dir, feeding the fit.
void Follow(const DarkPixels& img, int32_t x0, int32_t w0, int64_t y0, int dir, int maxGap,
            Fit* fit) {
  const int64_t tolerance = static_cast<int64_t>(w0 * 0.25);
  const double centre0 = x0 + (w0 - 1) / 2.0;
  double left = x0, right = static_cast<double>(x0) + w0 - 1, slope = 0;
  int misses = 0;
  for (int64_t r = y0 + dir; r >= 0 && r < img.h; r += dir) {
    int64_t from = std::max<int64_t>(0, std::llround(left));
    int64_t to = std::min<int64_t>(img.w - 1, std::llround(right));
    int64_t hit = -1;
    for (int64_t x = from; x <= to; ++x)
      if (img.Dark(x, r)) {
        hit = x;
        break;
      }
    bool found = false;
    if (hit >= 0) {
      int64_t a = hit, b = hit;
      while (img.Dark(a - 1, r) && from - a < w0 + 2) --a;
      while (img.Dark(b + 1, r) && b - to < w0 + 2) ++b;
      if (std::llabs((b - a + 1) - w0) <= tolerance) {
        double centre = (a + b) / 2.0;
        fit->Add(centre, static_cast<double>(r));
        slope = (centre - centre0) / static_cast<double>(r - y0) * dir;
        left = static_cast<double>(a);
        right = static_cast<double>(b);
        misses = 0;
        found = true;
      }
    }
    if (found) continue;
    if (++misses > maxGap) break;
    left += slope, right += slope;
  }
}

// Last dark row along the line from y0 in direction dir.
int64_t LineEnd(const DarkPixels& img, const BarLine& line, int64_t y0, int dir, int maxGap) {
  int64_t lastDark = y0;
  int light = 0;
  for (int64_t r = y0; r >= 0 && r < img.h; r += dir) {
    if (img.Dark(line.Column(r), r)) {
      lastDark = r;
      light = 0;
    } else if (++light > maxGap) {
      break;
    }
  }
  return lastDark;
}

}  // namespace

int64_t BarLine::Column(int64_t row) const { return std::llround(a + b * row); }

bool TraceBar(const BinaryImage& image, int32_t x, int32_t width, int64_t y, int maxGap,
              BarLine* line) {
  const DarkPixels img(image);
  Fit fit;
  fit.Add(x + (width - 1) / 2.0, static_cast<double>(y));
  Follow(img, x, width, y, -1, maxGap, &fit);
  Follow(img, x, width, y, +1, maxGap, &fit);
  const double den = fit.n * fit.syy - fit.sy * fit.sy;
  if (den < 1e-10) return false;
  line->b = (fit.n * fit.sxy - fit.sx * fit.sy) / den;
  line->a = (fit.sx - line->b * fit.sy) / fit.n;
  line->topRow = LineEnd(img, *line, y, -1, maxGap);
  line->bottomRow = LineEnd(img, *line, y, +1, maxGap);
  return true;
}

}  // namespace barcode
