// Finished label images, as the extended search hands them to the variants.
#pragma once

#include <cstdint>
#include <vector>

namespace crop {

// A barcode's box within its label image.
struct BarcodeBox {
  int32_t x, y, width, height;
};

struct LabelImage {
  std::vector<uint8_t> pixels;  // rows top to bottom, stride x height bytes
  uint32_t width = 0;
  uint32_t stride = 0;
  uint32_t height = 0;
  uint32_t pixelFormat = 6;  // the search's format code of the grey page
  uint32_t bytesPerPixel = 1;
  int32_t antiAliased = 0;  // some barcode has more than a tenth grey pixels
  int32_t reRendered = 0;   // some barcode was drawn again at a smaller module
  std::vector<BarcodeBox> barcodes;
};

using LabelImageList = std::vector<LabelImage>;

}  // namespace crop
