#include <algorithm>
#include <cmath>
#include <cstring>

#include "barcode/scan.h"

namespace barcode {

namespace {

// Whether x = trunc(u cos - t), t = v sin, moves by at most 2 from u to
// u + 2 along one row, for |u|, |v| < magnitude, given slack = 1 - |cos|.
// Each value rounds by under 2 magnitude epsilon. With slack well above that
// the step, 2 |cos|, stays below 2. With |cos| exactly 1 the exact values of
// the row share one fraction, that of t, and the step is exactly 2 unless
// rounding can carry a value to the integer next to it: never when t is an
// integer, nor when its fraction is farther than rounding from the integers.
bool StepsJoin(double slack, double t, double magnitude) {
  constexpr double kEpsilon = 2.220446049250313e-16;
  if (slack > 16 * magnitude * kEpsilon) return true;
  if (slack != 0) return false;
  const double d = std::fabs(t - std::round(t));
  return d == 0 || d > 4 * magnitude * kEpsilon;
}

}  // namespace

int32_t EraseSymbolArea(BinaryImage* image, const SymbolRect& rect, double angleDegrees) {
  if (image == nullptr || image->pixels == nullptr) return 0;
  const double a = angleDegrees * 3.1415926535897 / 180.0;
  const double ca = std::cos(a), sa = std::sin(a);
  if (!std::isfinite(ca) || !std::isfinite(sa)) return 0;
  const int64_t w = image->width, h = image->height, stride = image->stride;
  // Half-sizes are taken in 64 bits: a hostile rectangle cannot overflow.
  int64_t uFrom = -(static_cast<int64_t>(rect.width) / 2);
  int64_t uTo = static_cast<int64_t>(rect.width) - rect.width / 2;
  int64_t vFrom = -(static_cast<int64_t>(rect.height) / 2);
  int64_t vTo = static_cast<int64_t>(rect.height) - rect.height / 2;
  // Points farther from the centre than every image corner cannot land in
  // the image, so the loops are bounded by the image, not the rectangle.
  const double dx = std::fmax(std::fabs(double(rect.centreX)), std::fabs(double(rect.centreX) - w));
  const double dy = std::fmax(std::fabs(double(rect.centreY)), std::fabs(double(rect.centreY) - h));
  const double nearX =
      rect.centreX < 0 ? -double(rect.centreX) : (rect.centreX > w ? rect.centreX - w : 0);
  const double nearY =
      rect.centreY < 0 ? -double(rect.centreY) : (rect.centreY > h ? rect.centreY - h : 0);
  const double reach = std::sqrt(double(uTo) * uTo + double(vTo) * vTo) + 2;
  if (std::sqrt(nearX * nearX + nearY * nearY) > reach) return 0;
  const int64_t far = static_cast<int64_t>(std::sqrt(dx * dx + dy * dy)) + 2;
  if (uFrom < -far) uFrom = -far - ((-far - uFrom) & 1);
  if (uTo > far) uTo = far;
  if (vFrom < -far) vFrom = -far;
  if (vTo > far) vTo = far;
  // Each lattice point clears three pixels of its row and two of the row
  // below. trunc(t) + centre is computed as int64(t) + centre: the same
  // integer for every t in range, the sign of a zero aside, which cannot
  // matter.
  uint8_t* const pixels = image->pixels;
  const int64_t cx0 = rect.centreX, cy0 = rect.centreY;
  const int64_t uSteps = uTo >= uFrom ? (uTo - uFrom) / 2 : -1;  // u = uFrom + 2k
  auto x = [&](int64_t u, int64_t v) { return static_cast<int64_t>(u * ca - v * sa) + cx0; };
  auto y = [&](int64_t u, int64_t v) { return static_cast<int64_t>(v * ca + u * sa) + cy0; };
  auto inside = [&](int64_t px, int64_t py) {
    return px >= 0 && py >= 0 && px < w - 2 && py <= h - 2;
  };

  // Lines of points along the rectangle side nearer the image rows: on each
  // line both coordinates move monotonically, so the points inside the image
  // on one image row are a range of the line, found by galloping and halving.
  // Their footprints join into one span when x moves at most 2 per point:
  // always along v (|sin| <= 1 per point); along u (2 cos per point) when
  // StepsJoin says so, else that row's points are cleared one by one.
  auto walkLine = [&](int64_t count, auto xAt, auto yAt) {
    int64_t guess = 1;
    for (int64_t k = 0; k < count;) {
      const int64_t row = yAt(k);
      if (!inside(xAt(k), row)) {  // outside points lie only near the image edges
        ++k;
        continue;
      }
      auto same = [&](int64_t j) { return yAt(j) == row && inside(xAt(j), row); };
      int64_t last = k, step = guess;
      while (last + step < count && same(last + step)) last += step, step *= 2;
      for (step /= 2; step > 0; step /= 2)
        if (last + step < count && same(last + step)) last += step;
      guess = std::max<int64_t>(1, (last - k + 1) / 2);
      const int64_t a = std::min(xAt(k), xAt(last)), b = std::max(xAt(k), xAt(last));
      std::memset(pixels + row * stride + a, 0, static_cast<size_t>(b - a + 3));
      std::memset(pixels + (row + 1) * stride + a, 0, static_cast<size_t>(b - a + 2));
      k = last + 1;
    }
  };
  const double magnitude =
      double(std::max({std::llabs(uFrom), std::llabs(uTo), std::llabs(vFrom), std::llabs(vTo)})) +
      1;
  const double slack = 1 - std::fabs(ca);
  const bool alongU = std::fabs(sa) <= std::fabs(ca);
  if (!alongU) {
    for (int64_t k = 0; k <= uSteps; ++k) {
      const int64_t u = uFrom + 2 * k;
      walkLine(
          vTo - vFrom + 1, [&](int64_t j) { return x(u, vFrom + j); },
          [&](int64_t j) { return y(u, vFrom + j); });
    }
  } else {
    for (int64_t v = vFrom; v <= vTo; ++v) {
      if (StepsJoin(slack, v * sa, magnitude)) {
        walkLine(
            uSteps + 1, [&](int64_t k) { return x(uFrom + 2 * k, v); },
            [&](int64_t k) { return y(uFrom + 2 * k, v); });
        continue;
      }
      for (int64_t u = uFrom; u <= uTo; u += 2) {
        const int64_t px = x(u, v), py = y(u, v);
        if (!inside(px, py)) continue;
        uint8_t* p = pixels + py * stride + px;
        p[0] = p[1] = p[2] = p[stride] = p[stride + 1] = 0;
      }
    }
  }
  return 0;
}

}  // namespace barcode
