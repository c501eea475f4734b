// The extended crop search: a page carrying up to five labels of any layout
// becomes finished label images, one per label, each fitted to the printable
// width of the media.
#pragma once

#include <cstdint>

#include "crop/label_images.h"
#include "crop/region_image.h"
#include "crop/source_image.h"

namespace crop {

// Up to this many labels come from one page.
constexpr int32_t kMaxLabels = 5;

// Least blank gaps, in dots, between bands (columns) and regions (rows).
int32_t LeastColumnGap(bool is203);
int32_t LeastRowGap(bool is203);

struct Span {
  int32_t start;
  int32_t length;
};
// The stretches between blank gaps of a profile of dark-pixel counts: a gap
// at either end always separates, an inner one only when it is at least
// leastGap long. Gives the number of stretches (at most `room` are written).
int32_t SplitAtGaps(const uint32_t* profile, int32_t size, int32_t leastGap, Span* spans,
                    int32_t room);

// A region without barcodes: turned when it is a landscape strip wider than
// the media, then shrunk to the printable width if still too wide.
int32_t BareRegionImage(OwnedImage* region, uint32_t printableWidth);

// 0, or 3 memory, 4 nothing usable (no barcode, a full barcode list, too many
// bands or regions), 5 bad input, a blank band or more than nine barcodes,
// 6 a barcode that cannot be shrunk enough, 7 a step failed. On failure the
// list is left empty.
int32_t ExtendedCropSearch(const SourceImage* source, uint32_t printableWidth, uint32_t is203,
                           LabelImageList* labels);

}  // namespace crop
