// Owned 8-bit images of the extended crop search (rows padded to 4 bytes)
// and the image steps it shares with label fitting: cutting, pasting,
// quarter turns and shrinking to a width.
#pragma once

#include <cstdint>

#include "barcode/alloc.h"
#include "crop/locate_barcodes.h"

namespace crop {

enum CropCode : int32_t {
  kCropOk = 0,
  kCropNoMemory = 3,
  kCropNothingFound = 4,
  kCropBadInput = 5,
  kCropTooSmall = 6,
  kCropStepFailed = 7,
};

constexpr int32_t kModuleRegion = 901000;
constexpr int32_t kModuleCropEntry = 777000;
constexpr int32_t kModuleImageOps = 2000;

// Pushes the failure onto the error trail and gives back the code.
int32_t CropFail(int32_t code, int32_t category, int32_t module, int32_t site);

struct OwnedImage {
  barcode::Buffer<uint8_t> pixels;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t stride = 0;
  uint32_t bytesPerPixel = 0;
  WorkImage View() const { return {pixels.get(), width, height, stride, bytesPerPixel}; }
};

// width x bpp rounded up to a multiple of 4; 0 when that does not fit 32 bits.
uint32_t PaddedStride(uint32_t width, uint32_t bytesPerPixel);
// A width x height image with padded rows, every byte set to fill. False when
// memory runs out or the size is out of reach.
bool MakeImage(OwnedImage* image, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
               uint8_t fill);
// Copies the rectangle (which must lie inside source) into an image of its own.
bool CutImage(const WorkImage& source, uint32_t left, uint32_t top, uint32_t width,
              uint32_t height, OwnedImage* out);
// Copies width x height pixels from (fromX, fromY) of source to (x, y) of
// target; the caller keeps both rectangles inside their images.
void PasteImage(const WorkImage& source, uint32_t fromX, uint32_t fromY, uint32_t width,
                uint32_t height, const WorkImage& target, uint32_t x, uint32_t y);

// The source turned by 90, 180 or 270 degrees into a new padded image:
// (x, y) of a W x H source lands at (y, W-1-x), (W-1-x, H-1-y) or (H-1-y, x).
// 3 when memory runs out, 5 for any other angle or sample size.
int32_t TurnImage(const WorkImage& source, int angle, OwnedImage* turned);
// Resamples the image bilinearly to the given width, keeping its proportions
// (at least one row). 3 when memory runs out, 5 for a zero width.
int32_t ShrinkToWidth(OwnedImage* image, uint32_t width);

}  // namespace crop
