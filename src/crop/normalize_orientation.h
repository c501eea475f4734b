// Turns a page or region so that most of its barcodes read upright, and maps
// the barcode boxes into the turned image.
#pragma once

#include <cstdint>

#include "barcode/types.h"
#include "crop/region_image.h"

namespace crop {

// Angle classes: 0 upright, 1 a quarter turn clockwise, 2 upside down,
// 3 a quarter turn anticlockwise, 4 none of these.
int AngleClass(double degrees);

// The quarter turn (0, 90, 180 or 270) that brings the barcodes upright.
// Trims each box by the reader's position value first (and clears it).
int ChooseTurn(barcode::SymbolResultList* barcodes, uint32_t width, uint32_t height,
               bool landscapeRule);

// Moves an upright box and angle into the image turned by angle, whose size
// is turnedWidth x turnedHeight.
void MapTurnedBox(barcode::SymbolResult* barcode, int angle, int32_t turnedWidth,
                  int32_t turnedHeight);

// Chooses the turn and makes it: when the image must turn, storage receives
// the turned copy and *image is pointed at it. 0, 3 memory, 5 a failed turn.
int32_t NormalizeOrientation(WorkImage* image, OwnedImage* storage,
                             barcode::SymbolResultList* barcodes, bool landscapeRule);

}  // namespace crop
