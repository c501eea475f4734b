// The basic crop search: a page that is a grid of equal labels, each with one
// horizontal linear barcode, becomes one page rectangle per label.
#pragma once

#include <cstdint>
#include <vector>

#include "crop/source_image.h"

namespace crop {

// A label's area of the page: byte offset of its top-left pixel from the
// first row (row x stride + column), width in pixels, height in rows.
struct CropRectangle {
  uint32_t offset;
  int32_t width;
  int32_t height;
};

enum CropSearchCode : int32_t {
  kSearchOk = 0,
  kSearchNoMemory = 3,
  kSearchNothingUsable = 4,
  kSearchBadImage = 5,
  kSearchStepFailed = 7,
};

// Rectangles in label order: column by column, each top to bottom. On any
// code but 0 the list is left empty.
int32_t BasicCropSearch(const SourceImage* image, std::vector<CropRectangle>* rectangles);

}  // namespace crop
