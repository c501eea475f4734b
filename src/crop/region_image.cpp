// Image steps shared by the extended crop search and label fitting.
#include "crop/region_image.h"

#include <cstring>

#include "barcode/error_trail.h"

namespace crop {

int32_t CropFail(int32_t code, int32_t category, int32_t module, int32_t site) {
  barcode::PushErrorTrail(category, module, site);
  return code;
}

uint32_t PaddedStride(uint32_t width, uint32_t bytesPerPixel) {
  const uint64_t bytes = (uint64_t{width} * bytesPerPixel + 3) / 4 * 4;
  return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

bool MakeImage(OwnedImage* image, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
               uint8_t fill) {
  const uint32_t stride = PaddedStride(width, bytesPerPixel);
  if (stride == 0 || height == 0) return false;
  const size_t bytes = size_t{stride} * height;
  image->pixels = barcode::AllocUninitializedArray<uint8_t>(bytes);
  if (!image->pixels) return false;
  std::memset(image->pixels.get(), fill, bytes);
  image->width = width;
  image->height = height;
  image->stride = stride;
  image->bytesPerPixel = bytesPerPixel;
  return true;
}

bool CutImage(const WorkImage& source, uint32_t left, uint32_t top, uint32_t width,
              uint32_t height, OwnedImage* out) {
  if (!MakeImage(out, width, height, source.bytesPerPixel, 255)) return false;
  PasteImage(source, left, top, width, height, out->View(), 0, 0);
  return true;
}

void PasteImage(const WorkImage& source, uint32_t fromX, uint32_t fromY, uint32_t width,
                uint32_t height, const WorkImage& target, uint32_t x, uint32_t y) {
  const size_t bpp = source.bytesPerPixel;
  for (uint32_t r = 0; r < height; ++r) {
    std::memcpy(target.pixels + size_t{y + r} * target.stride + x * bpp,
                source.pixels + size_t{fromY + r} * source.stride + fromX * bpp, width * bpp);
  }
}

int32_t TurnImage(const WorkImage& source, int angle, OwnedImage* turned) {
  if ((angle != 90 && angle != 180 && angle != 270) || source.bytesPerPixel == 0)
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleImageOps, 11);
  const bool quarter = angle != 180;
  const uint32_t w = quarter ? source.height : source.width;
  const uint32_t h = quarter ? source.width : source.height;
  OwnedImage out;
  if (!MakeImage(&out, w, h, source.bytesPerPixel, 255))
    return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleImageOps, 13);
  // The front-end's turn writes packed rows; they are then spread to their
  // padded places from the last row up, so no row overwrites one not yet moved.
  WorkImage packed{out.pixels.get(), 0, 0, 0, source.bytesPerPixel};
  if (RotateImage(source, &packed, angle) != 0)
    return CropFail(kCropBadInput, barcode::kCategoryStepFailed, kModuleImageOps, 15);
  if (packed.stride != out.stride) {
    for (uint32_t y = h; y-- > 1;)
      std::memmove(out.pixels.get() + size_t{y} * out.stride,
                   out.pixels.get() + size_t{y} * packed.stride, packed.stride);
  }
  *turned = std::move(out);
  return kCropOk;
}

int32_t ShrinkToWidth(OwnedImage* image, uint32_t width) {
  if (width == 0 || image->width == 0)
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleImageOps, 21);
  uint64_t height = uint64_t{image->height} * width / image->width;
  // A strip too thin to keep a row at the new width keeps one.
  if (height == 0) height = 1;
  OwnedImage out;
  if (height > UINT32_MAX ||
      !MakeImage(&out, width, static_cast<uint32_t>(height), image->bytesPerPixel, 255))
    return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleImageOps, 23);
  WorkImage target = out.View();
  ResizeBilinear(image->View(), &target);
  *image = std::move(out);
  return kCropOk;
}

}  // namespace crop
