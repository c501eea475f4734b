// Image steps of the location front-end: thresholding, quarter turns,
// bilinear shrinking and one-bit expansion.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "barcode/error_trail.h"
#include "crop/locate_barcodes.h"

namespace crop {

namespace {
constexpr int32_t kModuleBinarize = 3000;
constexpr int32_t kModuleRotate = 2000;

// Quarter and half turns of one-byte pixels, in square tiles so that the
// rows written and the columns read both stay in the cache.
void TurnBytes(const WorkImage& source, const WorkImage& target, int angle) {
  constexpr uint32_t kTile = 64;
  const uint32_t w = source.width, h = source.height;
  const size_t from = source.stride, to = target.stride;
  const uint8_t* const in = source.pixels;
  uint8_t* const out = target.pixels;
  for (uint32_t top = 0; top < h; top += kTile) {
    const uint32_t bottom = std::min(top + kTile, h);
    for (uint32_t left = 0; left < w; left += kTile) {
      const uint32_t right = std::min(left + kTile, w);
      for (uint32_t y = top; y < bottom; ++y) {
        const uint8_t* row = in + y * from;
        if (angle == 270) {  // the upright column x becomes row x, read right to left
          uint8_t* column = out + (h - 1 - y);
          for (uint32_t x = left; x < right; ++x) column[x * to] = row[x];
        } else if (angle == 90) {
          uint8_t* column = out + y;
          for (uint32_t x = left; x < right; ++x) column[(w - 1 - x) * to] = row[x];
        } else {
          uint8_t* line = out + (h - 1 - y) * to;
          for (uint32_t x = left; x < right; ++x) line[w - 1 - x] = row[x];
        }
      }
    }
  }
}
}  // namespace

int32_t Binarize(const WorkImage& image, barcode::BinaryImage* binary, int threshold) {
  if (image.bytesPerPixel != 1 && image.bytesPerPixel != 3) {
    barcode::PushErrorTrail(barcode::kCategoryBadArgument, kModuleBinarize, 1);
    return 5;
  }
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.pixels + static_cast<size_t>(y) * image.stride;
    uint8_t* out = binary->pixels + static_cast<size_t>(y) * binary->stride;
    if (binary->stride > image.width)
      std::memset(out + image.width, 0, binary->stride - image.width);
    if (image.bytesPerPixel == 1) {
      for (uint32_t x = 0; x < image.width; ++x) out[x] = row[x] < threshold;
    } else {
      for (uint32_t x = 0; x < image.width; ++x) {
        const uint8_t* p = row + x * 3;
        int value = (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
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
