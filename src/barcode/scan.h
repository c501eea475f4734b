// Public entry points of the barcode reading library.
#pragma once

#include <cstdint>

#include "barcode/types.h"

namespace barcode {

// Scans every step-th row of a one-channel 0/1 image, reads the symbols of
// the enabled groups and appends them to results (at most kMaxResults).
// Found symbols are erased from the image. 0 on success, else a stage's code.
int32_t ScanSymbols(BinaryImage* image, int step, SymbolResultList* results,
                    const ScanOptions* options);

// Pre-pass: flips short light (colour 0) or dark (colour 1) runs that close
// up as holes. 0, or 1 when memory runs out.
int32_t ThinRunFilter(BinaryImage* image, int colour);

// Clears the rotated rectangle rect (centre, width, height) turned by
// angleDegrees. Always 0.
struct SymbolRect {
  int32_t centreX;
  int32_t centreY;
  int32_t width;
  int32_t height;
};
int32_t EraseSymbolArea(BinaryImage* image, const SymbolRect& rect, double angleDegrees);

SymbolType SymbolTypeFromName(const char* name);

// Engine form: lower is better; 65536 means not this pattern.
int32_t PatternVariance(const uint32_t* runs, int n, const int32_t* pattern, int modules,
                        int maxVariance);

}  // namespace barcode
