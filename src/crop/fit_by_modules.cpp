// Whole-module shrinking and placement of one barcode.
#include "crop/fit_by_modules.h"

#include <cmath>
#include <cstring>

#include "barcode/error_trail.h"

namespace crop {

namespace {
// Beyond this the reader's module estimate is not a module any more.
constexpr double kLargestModule = 100;
}  // namespace

bool IsTwoDimensional(uint32_t type) {
  return type == barcode::kQrCode || type == barcode::kDataMatrix || type == barcode::kPdf417 ||
         type == barcode::kPdf417Flagged || type == barcode::kHxCode ||
         type == barcode::kMaxiCodeLocated;
}

int32_t LeastModule(uint32_t type, bool is203) {
  if (type == barcode::kMaxiCodeLocated) return is203 ? 6 : 9;
  return is203 ? 1 : 2;
}

int32_t MatrixPadding(uint32_t type, bool is203) {
  if (type == barcode::kMaxiCodeLocated) return is203 ? 2 : 4;
  return is203 ? 7 : 10;
}

bool NearHorizontal(double a, double tolerance) {
  return (a > -tolerance && a <= tolerance) || (a > 180 - tolerance && a <= 180 + tolerance);
}

int32_t FitByModules(const Room& room, uint32_t imageWidth, uint32_t imageHeight,
                     double moduleSize, double angle, bool twoDimensional, int32_t leastModule,
                     uint32_t* newWidth) {
  // A module estimate under half a dot rounds to no dot: as unusable as one
  // outside the reader's range.
  if (!(moduleSize > 0 && moduleSize <= kLargestModule) || std::trunc(moduleSize + 0.5) < 1)
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleRegion, 41);
  const int64_t m = static_cast<int64_t>(moduleSize + 0.5);
  int64_t size = imageHeight, limit = room.height;
  if (twoDimensional) {
    // The axis with the larger size-to-room ratio; a tie takes the height.
    if (uint64_t{imageWidth} * room.height > uint64_t{imageHeight} * room.width)
      size = imageWidth, limit = room.width;
  } else if (NearHorizontal(angle, 10)) {
    size = imageWidth, limit = room.width;
  }
  for (int64_t k = m;; --k) {
    if (k <= leastModule)
      return CropFail(kCropTooSmall, barcode::kCategoryNotFound, kModuleRegion, 43);
    if (size * k / m <= limit) {
      *newWidth = static_cast<uint32_t>(imageWidth * k / m);
      return kCropOk;
    }
  }
}

int32_t ShrinkNearest(const WorkImage& source, uint32_t width, uint32_t height,
                      OwnedImage* target) {
  if (!MakeImage(target, width, height, source.bytesPerPixel, 255))
    return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 45);
  const size_t bpp = source.bytesPerPixel;
  auto pick = [](uint64_t t, uint32_t from, uint32_t to) {
    return to > 1 ? static_cast<uint32_t>(t * (from - 1) / (to - 1)) : 0;
  };
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = source.pixels + size_t{pick(y, source.height, height)} * source.stride;
    uint8_t* out = target->pixels.get() + size_t{y} * target->stride;
    for (uint32_t x = 0; x < width; ++x)
      std::memcpy(out + x * bpp, row + pick(x, source.width, width) * bpp, bpp);
  }
  return kCropOk;
}

int32_t PlaceInRoom(int32_t p, int32_t n, int32_t r, int32_t length, double s) {
  int64_t position = static_cast<int64_t>((p + n / 2) * s) - n / 2;
  if (position + n >= int64_t{r} + length) position = int64_t{r} + length - n;
  if (position < r) position = r;
  return static_cast<int32_t>(position);
}

}  // namespace crop
