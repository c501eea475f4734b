// Shrinking a barcode by whole printer dots per module, so that its bars stay
// sharp, and placing it in the room it had on the page.
#pragma once

#include <cstdint>

#include "crop/region_image.h"

namespace crop {

// An upright rectangle of free space around a barcode.
struct Room {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

// Least module (dots) a shrunk barcode must stay above, and the padding
// around a two-dimensional barcode, by type and printer resolution.
int32_t LeastModule(uint32_t type, bool is203);
int32_t MatrixPadding(uint32_t type, bool is203);
bool IsTwoDimensional(uint32_t type);
// Within `tolerance` degrees of horizontal, reading either way.
bool NearHorizontal(double angle, double tolerance);

// Finds the largest whole number of dots per module, below the barcode's own,
// at which it fits the room along its bars' axis (for two-dimensional
// barcodes the tighter axis). On 0 *newWidth is the barcode's new width;
// 6 when that would take the module down to the least module, 5 for a
// module size that rounds to no dot or exceeds the reader's range.
int32_t FitByModules(const Room& room, uint32_t imageWidth, uint32_t imageHeight,
                     double moduleSize, double angle, bool twoDimensional, int32_t leastModule,
                     uint32_t* newWidth);

// Nearest-neighbour resampling: target pixel t takes source pixel
// trunc(t x (S - 1) / (T - 1)) per axis. 3 when memory runs out.
int32_t ShrinkNearest(const WorkImage& source, uint32_t width, uint32_t height,
                      OwnedImage* target);

// Where a box of size n starting at p (page pixels) lands at scale s inside
// the room [r, r + length) of the shrunk label: its scaled centre, pushed
// back inside the room.
int32_t PlaceInRoom(int32_t p, int32_t n, int32_t r, int32_t length, double s);

}  // namespace crop
