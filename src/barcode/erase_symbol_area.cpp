#include <algorithm>
#include <cmath>
#include <cstring>

#include "barcode/scan.h"

namespace barcode {

namespace {

// Pixels [from, to] of one image row, waiting to be cleared.
struct Span {
  uint8_t* pixels;
  int64_t stride;
  int64_t row = -1, from = 0, to = -1;
  void Add(int64_t y, int64_t a, int64_t b) {
    if (y == row && a <= to + 1 && b >= from - 1) {
      from = std::min(from, a);
      to = std::max(to, b);
      return;
    }
    Flush();
    row = y, from = a, to = b;
  }
  void Flush() {
    if (row >= 0) std::memset(pixels + row * stride + from, 0, static_cast<size_t>(to - from + 1));
    row = -1;
  }
};

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
  // below. The points of one rectangle row mostly fall next to each other,
  // so their footprints are gathered into spans per image row and cleared
  // span by span; a footprint that does not touch the current span flushes
  // it. The pixels cleared are exactly the union of the footprints.
  // trunc(t) + centre is computed as int64(t) + centre: the same integer
  // for every t in range, the sign of a zero aside, which cannot matter.
  uint8_t* const pixels = image->pixels;
  const int64_t cx0 = rect.centreX, cy0 = rect.centreY;
  Span top{pixels, stride}, below{pixels, stride};
  for (int64_t v = vFrom; v <= vTo; ++v) {
    const double vs = v * sa, vc = v * ca;
    for (int64_t u = uFrom; u <= uTo; u += 2) {
      const int64_t cx = static_cast<int64_t>(u * ca - vs) + cx0;
      const int64_t cy = static_cast<int64_t>(vc + u * sa) + cy0;
      if (cx < 0 || cy < 0 || cx >= w - 2 || cy > h - 2) continue;
      top.Add(cy, cx, cx + 2);
      below.Add(cy + 1, cx, cx + 1);
    }
    top.Flush();
    below.Flush();
  }
  return 0;
}

}  // namespace barcode
