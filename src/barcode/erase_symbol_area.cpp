#include <cmath>

#include "barcode/scan.h"

namespace barcode {

int32_t EraseSymbolArea(BinaryImage* image, const SymbolRect& rect, double angleDegrees) {
  if (image == nullptr || image->pixels == nullptr) return 0;
  const double a = angleDegrees * 3.1415926535897 / 180.0;
  const double ca = std::cos(a), sa = std::sin(a);
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
  // Every point clears the same small footprint, so the order of the points
  // does not matter: rows of the rectangle go outside, which walks along the
  // image rows for the near-upright symbols that are the common case.
  uint8_t* const pixels = image->pixels;
  const double cx0 = rect.centreX, cy0 = rect.centreY;
  const double right = static_cast<double>(w - 2), bottom = static_cast<double>(h - 2);
  for (int64_t v = vFrom; v <= vTo; ++v) {
    const double vs = v * sa, vc = v * ca;
    for (int64_t u = uFrom; u <= uTo; u += 2) {
      const double cx = std::trunc(u * ca - vs) + cx0;
      const double cy = std::trunc(vc + u * sa) + cy0;
      if (cx < 0 || cy < 0 || cx >= right || cy > bottom) continue;
      uint8_t* p = pixels + static_cast<int64_t>(cy) * stride + static_cast<int64_t>(cx);
      p[0] = p[1] = p[2] = 0;
      p[stride] = p[stride + 1] = 0;
    }
  }
  return 0;
}

}  // namespace barcode
