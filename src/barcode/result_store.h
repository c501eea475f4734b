// Storing a decoded symbol: every reader ends in this one helper.
#pragma once

#include <cstdint>

#include "barcode/scan.h"
#include "barcode/types.h"

namespace barcode {

enum class Erase { kYes, kNo };

// Writes what the reader put in out (texts cut to the result's size, Codabar
// characters, module size, reader position) with the given type and
// rectangle into the next free result, counts it and, unless told not to,
// clears its rectangle from the image. Null when the list is full.
SymbolResult* StoreResult(BinaryImage* image, SymbolResultList* results, uint32_t type,
                          const ReaderOutput& out, const SymbolRect& rect, double angleDegrees,
                          Erase erase = Erase::kYes);

}  // namespace barcode
