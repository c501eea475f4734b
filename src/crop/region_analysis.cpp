// ExtendedCropSearch: finds the barcodes, turns the page upright, cuts it
// into bands along blank columns and regions along blank rows, and makes
// each region into a label image of the printable width.
#include "crop/region_analysis.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "barcode/error_trail.h"
#include "crop/label_fitting.h"
#include "crop/locate_barcodes.h"
#include "crop/normalize_orientation.h"

namespace crop {

namespace {

using barcode::SymbolResult;
using barcode::SymbolResultList;

constexpr int32_t kMaxBarcodesOnPage = 9;
constexpr uint32_t kLeastPageSide = 100;

struct LocatedList {
  SymbolResultList list{0, nullptr};
  ~LocatedList() { FreeLocateResults(&list); }
};

struct Region {
  Room box;
  OwnedImage image;
  barcode::Buffer<SymbolResult> barcodes;
  int32_t count = 0;
};

// Dark pixels per column of the page, and per row of one band.
void ColumnProfile(const uint8_t* ink, int32_t width, int32_t height, uint32_t* profile) {
  std::memset(profile, 0, sizeof(uint32_t) * size_t(width));
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = ink + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) profile[x] += row[x];
  }
}

void RowProfile(const uint8_t* ink, int32_t width, int32_t height, const Span& band,
                uint32_t* profile) {
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = ink + size_t(y) * size_t(width) + band.start;
    uint32_t dark = 0;
    for (int32_t x = 0; x < band.length; ++x) dark += row[x];
    profile[y] = dark;
  }
}

// Gives the region the barcodes whose centre lies strictly inside it, with
// boxes made relative to it and cut to it.
int32_t AssignBarcodes(const SymbolResultList& page, Region* region) {
  const Room& b = region->box;
  auto inside = [&](const SymbolResult& r) {
    const int64_t cx = int64_t{r.centreX} + r.width / 2, cy = int64_t{r.centreY} + r.height / 2;
    return cx > b.left && cx < int64_t{b.left} + b.width && cy > b.top &&
           cy < int64_t{b.top} + b.height;
  };
  int32_t count = 0;
  for (int32_t i = 0; i < page.count; ++i) count += inside(page.items[i]);
  if (count == 0) return kCropOk;
  region->barcodes = barcode::AllocArray<SymbolResult>(size_t(count));
  if (!region->barcodes) return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 61);
  for (int32_t i = 0; i < page.count; ++i) {
    if (!inside(page.items[i])) continue;
    SymbolResult& r = region->barcodes[region->count++];
    std::memcpy(&r, &page.items[i], sizeof r);
    r.centreX -= b.left;
    r.centreY -= b.top;
    if (r.centreX < 0) r.width += r.centreX, r.centreX = 0;
    if (r.centreY < 0) r.height += r.centreY, r.centreY = 0;
    r.width = std::min(r.width, b.width - r.centreX);
    r.height = std::min(r.height, b.height - r.centreY);
  }
  return kCropOk;
}

// A label narrower than the media goes in the middle of a white row of the
// printable width; an odd difference leaves the extra column on the right.
int32_t CentreLabel(OwnedImage* image, uint32_t printableWidth, int32_t* shift) {
  *shift = 0;
  if (image->width >= printableWidth) return kCropOk;
  OwnedImage wide;
  if (!MakeImage(&wide, printableWidth, image->height, image->bytesPerPixel, 255))
    return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 63);
  const uint32_t offset = (printableWidth - image->width) / 2;
  PasteImage(image->View(), 0, 0, image->width, image->height, wide.View(), offset, 0);
  *image = std::move(wide);
  *shift = static_cast<int32_t>(offset);
  return kCropOk;
}

int32_t MakeLabel(Region* region, uint32_t printableWidth, bool is203, LabelImage* label) {
  OwnedImage image;
  SymbolResultList list{region->count, region->barcodes.get()};
  int32_t code = region->count == 0
                     ? BareRegionImage(&region->image, printableWidth)
                     : FitRegion(&region->image, &list, printableWidth, is203, &image);
  if (code != kCropOk) return code;
  if (region->count == 0) image = std::move(region->image);
  int32_t shift = 0;
  code = CentreLabel(&image, printableWidth, &shift);
  if (code != kCropOk) return code;
  try {
    for (int32_t i = 0; i < region->count; ++i) {
      const SymbolResult& r = region->barcodes[i];
      label->antiAliased |= r.antiAliased != 0;
      label->reRendered |= r.reRendered != 0;
      label->barcodes.push_back(BarcodeBox{r.centreX + shift, r.centreY, r.width, r.height});
    }
    label->pixels.assign(image.pixels.get(), image.pixels.get() + size_t{image.stride} * image.height);
  } catch (const std::bad_alloc&) {
    return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 65);
  }
  label->width = image.width;
  label->height = image.height;
  label->stride = image.stride;
  label->bytesPerPixel = image.bytesPerPixel;
  label->pixelFormat = kFormatSamples8;
  return kCropOk;
}

int32_t AnalyseRegions(const SourceImage& source, uint32_t printableWidth, bool is203,
                       LabelImageList* labels) {
  LocateOptions options{};
  options.regionWidth = static_cast<int32_t>(source.width);
  options.regionHeight = static_cast<int32_t>(source.height);
  for (uint32_t t = 0; t <= barcode::kMaxiCodeLocated; ++t) options.types[t] = 1;
  options.types[barcode::kHxCode] = 0;
  options.resolution = 300;
  options.maxResults = barcode::kMaxResults;
  LocatedList found;
  int32_t code = LocateBarcodes(&source, &options, &found.list);
  if (code != kCropOk) return code;
  SymbolResultList& barcodes = found.list;
  if (barcodes.count == 0 || barcodes.count >= barcode::kMaxResults)
    return CropFail(kCropNothingFound, barcode::kCategoryNotFound, kModuleRegion, 51);

  WorkImage page{const_cast<uint8_t*>(source.pixels), source.width, source.height, source.stride,
                 source.bytesPerPixel};
  OwnedImage turnedPage;
  code = NormalizeOrientation(&page, &turnedPage, &barcodes, false);
  if (code != kCropOk) return CropFail(code, barcode::kCategoryStepFailed, kModuleRegion, 53);
  if (barcodes.count > kMaxBarcodesOnPage)
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleRegion, 55);

  const int32_t w = static_cast<int32_t>(page.width), h = static_cast<int32_t>(page.height);
  barcode::Buffer<uint8_t> ink = barcode::AllocUninitializedArray<uint8_t>(size_t(w) * size_t(h));
  barcode::Buffer<uint32_t> profile =
      barcode::AllocUninitializedArray<uint32_t>(size_t(w > h ? w : h));
  if (!ink || !profile) return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 57);
  barcode::BinaryImage binary{page.width, page.width, page.height, 1, 8, ink.get()};
  if (Binarize(page, &binary, 128) != 0)
    return CropFail(kCropStepFailed, barcode::kCategoryStageFailed, kModuleRegion, 59);

  Span bands[kMaxLabels + 1];
  ColumnProfile(ink.get(), w, h, profile.get());
  const int32_t bandCount = SplitAtGaps(profile.get(), w, LeastColumnGap(is203), bands, kMaxLabels + 1);
  if (bandCount > kMaxLabels)
    return CropFail(kCropNothingFound, barcode::kCategoryNotFound, kModuleRegion, 67);

  Region regions[kMaxLabels];
  int32_t regionCount = 0;
  for (int32_t b = 0; b < bandCount; ++b) {
    Span rows[kMaxLabels + 1];
    RowProfile(ink.get(), w, h, bands[b], profile.get());
    const int32_t found = SplitAtGaps(profile.get(), h, LeastRowGap(is203), rows, kMaxLabels + 1);
    if (found == 0) return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleRegion, 69);
    if (regionCount + found > kMaxLabels)
      return CropFail(kCropNothingFound, barcode::kCategoryNotFound, kModuleRegion, 71);
    for (int32_t r = 0; r < found; ++r)
      regions[regionCount++].box = Room{bands[b].start, rows[r].start, bands[b].length, rows[r].length};
  }

  for (int32_t i = 0; i < regionCount; ++i) {
    Region& region = regions[i];
    if (!CutImage(page, uint32_t(region.box.left), uint32_t(region.box.top),
                  uint32_t(region.box.width), uint32_t(region.box.height), &region.image))
      return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 73);
    code = AssignBarcodes(barcodes, &region);
    if (code != kCropOk) return code;
  }
  try {
    labels->resize(size_t(regionCount));
  } catch (const std::bad_alloc&) {
    return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 75);
  }
  for (int32_t i = 0; i < regionCount; ++i) {
    code = MakeLabel(&regions[i], printableWidth, is203, &(*labels)[size_t(i)]);
    if (code != kCropOk) return code;
  }
  return kCropOk;
}

}  // namespace

int32_t LeastColumnGap(bool is203) { return is203 ? 33 : 50; }
int32_t LeastRowGap(bool is203) { return is203 ? 193 : 290; }

int32_t SplitAtGaps(const uint32_t* profile, int32_t size, int32_t leastGap, Span* spans,
                    int32_t room) {
  int32_t count = 0, start = 0;
  auto emit = [&](int32_t from, int32_t to) {
    if (to <= from) return;
    if (count < room) spans[count] = Span{from, to - from};
    ++count;
  };
  for (int32_t p = 0; p < size;) {
    if (profile[p] != 0) {
      ++p;
      continue;
    }
    const int32_t gap = p;
    while (p < size && profile[p] == 0) ++p;
    if (gap == 0 || p == size || p - gap >= leastGap) {
      emit(start, gap);
      start = p;
    }
  }
  emit(start, size);
  return count;
}

int32_t BareRegionImage(OwnedImage* region, uint32_t printableWidth) {
  if (region->width > printableWidth && region->width > region->height) {
    OwnedImage turned;
    const int32_t code = TurnImage(region->View(), 270, &turned);
    if (code != kCropOk) return code;
    *region = std::move(turned);
  }
  if (region->width > printableWidth) return ShrinkToWidth(region, printableWidth);
  return kCropOk;
}

int32_t ExtendedCropSearch(const SourceImage* source, uint32_t printableWidth, uint32_t is203,
                           LabelImageList* labels) {
  if (labels == nullptr)
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleCropEntry, 11);
  labels->clear();
  if (source == nullptr || source->pixels == nullptr || printableWidth == 0 ||
      (source->format != kFormatSamples8 && source->format != kFormatGrey8) ||
      (source->bytesPerPixel != 1 && source->bytesPerPixel != 3) || is203 > 1 ||
      source->width < kLeastPageSide || source->height < kLeastPageSide ||
      source->stride < kLeastPageSide || source->stride < source->width)
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleCropEntry, 13);
  const int32_t code = AnalyseRegions(*source, printableWidth, is203 == 1, labels);
  if (code != kCropOk) {
    labels->clear();
    return CropFail(code, barcode::kCategoryStepFailed, kModuleCropEntry, 15);
  }
  return kCropOk;
}

}  // namespace crop
