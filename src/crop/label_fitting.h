// Makes one region of the page into a label image for the media: a region
// wider than the printable width is shrunk as a picture, while its barcodes
// are cut out, shrunk by whole dots per module and put back in their rooms.
#pragma once

#include <cstdint>

#include "barcode/types.h"
#include "crop/fit_by_modules.h"
#include "crop/region_image.h"

namespace crop {

// Shares out the overlap of rooms that run into each other (in place).
void SeparateRooms(Room* rooms, int32_t count);

// The region (turned upright when it must be) becomes *label. On return each
// barcode's box (its first four fields) says where the barcode lies in the
// label, and its anti-aliased and re-rendered flags are set. 0, or 3 memory,
// 4 a box outside the image, 5 bad input or module size, 6 a barcode that
// cannot keep the least module, 7 a step failed.
int32_t FitRegion(OwnedImage* region, barcode::SymbolResultList* barcodes,
                  uint32_t printableWidth, bool is203, OwnedImage* label);

}  // namespace crop
