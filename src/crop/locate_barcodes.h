// The barcode location front-end: finds every barcode of the wanted types on
// a page image and returns upright boxes in page pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "barcode/types.h"
#include "crop/source_image.h"

namespace crop {

struct LocateOptions {
  int32_t regionLeft;
  int32_t regionTop;
  int32_t regionWidth;
  int32_t regionHeight;
  uint8_t types[200];    // 1 = SymbolType t wanted; the first 100 go to the scan
  uint32_t resolution;   // dots per inch
  uint8_t rotationMode;  // 0 upright and turned, 1 turned only, 2 turned for Data Matrix only
  uint8_t extraPasses;   // extra threshold passes, 0-3
  uint8_t maxResults;
  uint8_t reserved;
};
static_assert(sizeof(LocateOptions) == 224, "LocateOptions layout");
static_assert(offsetof(LocateOptions, resolution) == 216, "LocateOptions layout");
static_assert(offsetof(LocateOptions, rotationMode) == 220, "LocateOptions layout");

enum LocateCode : int32_t {
  kLocateOk = 0,
  kLocateNoMemory = 3,
  kLocateBadImage = 4,
  kLocateBadArgument = 5,
  kLocateStepFailed = 7,
};

// Allocates results->items (room for barcode::kMaxResults); the caller frees
// it with FreeLocateResults. On failure nothing is left allocated.
int32_t LocateBarcodes(const SourceImage* image, const LocateOptions* options,
                       barcode::SymbolResultList* results);
void FreeLocateResults(barcode::SymbolResultList* results);

// Image steps of the front-end, on 8-bit images.
struct WorkImage {
  uint8_t* pixels;
  uint32_t width;
  uint32_t height;
  uint32_t stride;
  uint32_t bytesPerPixel;
};
int32_t Binarize(const WorkImage& image, barcode::BinaryImage* binary, int threshold);
int32_t RotateImage(const WorkImage& source, WorkImage* target, int angle);
int32_t ResizeBilinear(const WorkImage& source, WorkImage* target);
// Set bits become 255, clear bits 0; target is width x height bytes.
void ExpandBilevel(const SourceImage& image, uint8_t* target);

namespace test_hooks {
// Quarter turns take the one-block path even where AVX2 is there, so that
// tests cover both.
void UseNarrowTurnsOnly(bool narrow);
}  // namespace test_hooks

// Result clean-up steps (exposed for tests).
void MergeSplitReads(barcode::SymbolResultList* results, bool* changed);
void FilterByType(barcode::SymbolResultList* results, const uint8_t* wanted);
void ToUprightBoxes(barcode::SymbolResultList* results, int32_t width, int32_t height,
                    double factor);

}  // namespace crop
