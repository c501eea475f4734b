// BasicCropSearch: find the barcodes, check that they look alike, order them
// column by column, label the page's dark regions, and grow each barcode into
// its label's rectangle from the marks of its cell.
#include "crop/basic_crop_search.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "crop/locate_barcodes.h"
#include "crop/work_images.h"

namespace crop {

namespace {

using barcode::kCategoryBadArgument;
using barcode::kCategoryMemory;
using barcode::kCategoryNotFound;
using barcode::kCategoryStageFailed;
using barcode::kCategoryStepFailed;

constexpr int32_t kModuleSearch = 901000;
constexpr int32_t kModuleChecks = 777000;
constexpr uint32_t kLeastSide = 100;
constexpr uint32_t kScanResolution = 300;
constexpr uint8_t kMaxBarcodes = 100;
constexpr double kMaxTilt = 5.0;
constexpr int kDarkBelow = 128;
// EAN and UPC print their digits under the bars: the barcode box takes them.
constexpr int32_t kDigitsHeight = 30;
// Marks further than this from the label's right edge are another label's.
constexpr int32_t kGatherReach = 30;
// Barcodes of one column may stand this far apart on their left edges.
constexpr int32_t kEanUpcColumnSlack = 10;

int32_t Fail(int32_t code, int32_t category, int32_t module, int32_t site) {
  barcode::PushErrorTrail(category, module, site);
  return code;
}

bool IsEanUpc(uint32_t type) { return type >= barcode::kUpcA && type <= barcode::kEan13; }

struct Box {
  int32_t left, top, width, height;
};

// One 8-connected region of dark pixels; ten words, as the table keeps them.
struct ComponentRecord {
  int32_t label, top, left, bottom, right, width, height, pixels, spare[2];
};
static_assert(sizeof(ComponentRecord) == 40, "ComponentRecord layout");

// A label box has the record's layout; its first word is the barcode number.
using LabelBox = ComponentRecord;

struct Cell {
  int32_t barcode, top, left, bottom, right;
};

bool Touches(const Box& b, const ComponentRecord& c) {
  return b.left <= c.right && c.left <= b.left + b.width && b.top <= c.bottom &&
         c.top <= b.top + b.height;
}

bool Overlaps(const Cell& cell, const ComponentRecord& c) {
  return cell.left <= c.right && c.left <= cell.right && cell.top <= c.bottom &&
         c.top <= cell.bottom;
}

void Include(LabelBox* box, const ComponentRecord& c) {
  box->top = std::min(box->top, c.top);
  box->left = std::min(box->left, c.left);
  box->bottom = std::max(box->bottom, c.bottom);
  box->right = std::max(box->right, c.right);
}

// ---- Step 2: the barcodes ----

// The upright boxes of the barcodes found, or a failure code.
int32_t FindBarcodes(const SourceImage& image, std::vector<Box>* boxes, uint32_t* type) {
  LocateOptions options{};
  options.regionWidth = static_cast<int32_t>(image.width);
  options.regionHeight = static_cast<int32_t>(image.height);
  for (uint32_t t = barcode::kCode39; t <= barcode::kEan13; ++t) options.types[t] = 1;
  options.types[barcode::kCode93] = 1;
  options.resolution = kScanResolution;
  options.maxResults = kMaxBarcodes;
  barcode::SymbolResultList results{0, nullptr};
  const int32_t located = LocateBarcodes(&image, &options, &results);
  if (located == kLocateNoMemory) return Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 1);
  if (located != kLocateOk) return Fail(kSearchStepFailed, kCategoryStageFailed, kModuleSearch, 2);
  int32_t code = kSearchOk;
  if (results.count <= 0 || results.count >= kMaxBarcodes) {
    code = Fail(kSearchNothingUsable, kCategoryNotFound, kModuleSearch, 3);
  } else {
    *type = results.items[0].type;
    try {
      boxes->reserve(static_cast<size_t>(results.count));
    } catch (const std::bad_alloc&) {
      code = Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 4);
    }
    for (int32_t i = 0; code == kSearchOk && i < results.count; ++i) {
      const barcode::SymbolResult& r = results.items[i];
      if (r.type != *type) {
        code = Fail(kSearchNothingUsable, kCategoryNotFound, kModuleSearch, 5);
      } else if (!(r.angle >= -kMaxTilt && r.angle <= kMaxTilt)) {
        code = Fail(kSearchNothingUsable, kCategoryNotFound, kModuleSearch, 6);
      } else {
        // After the front-end the first four fields are an upright box.
        const int32_t grow = IsEanUpc(r.type) ? kDigitsHeight : 0;
        boxes->push_back(Box{r.centreX, r.centreY, r.width, r.height + grow});
      }
    }
  }
  FreeLocateResults(&results);
  if (code != kSearchOk) boxes->clear();
  return code;
}

// ---- Step 3: label order ----

// Sorts the boxes into label order; the number of rows through *rows.
bool ArrangeBarcodes(std::vector<Box>* boxes, int32_t* rows) {
  std::vector<Box>& b = *boxes;
  const int32_t w0 = b[0].width, h0 = b[0].height;
  const int32_t widthSlack = 10 * w0 / 100, heightSlack = 10 * h0 / 100;
  for (const Box& box : b) {
    if (std::abs(box.width - w0) > widthSlack || std::abs(box.height - h0) > heightSlack) {
      return false;
    }
  }
  std::sort(b.begin(), b.end(), [](const Box& x, const Box& y) { return x.left < y.left; });
  const int32_t columnSlack = w0 / 10;
  // Boxes of one column read a little apart start at the same left edge;
  // each keeps its right edge.
  for (size_t i = 1; i < b.size(); ++i) {
    const int32_t gap = b[i].left - b[i - 1].left;
    if (gap < columnSlack) {
      b[i].left = b[i - 1].left;
      b[i].width += gap;
    }
  }
  int32_t largest = 0, current = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    if (i > 0 && b[i].left - b[i - 1].left > columnSlack) current = 0;
    largest = std::max(largest, ++current);
  }
  for (size_t start = 0; start < b.size(); start += static_cast<size_t>(largest)) {
    const size_t end = std::min(b.size(), start + static_cast<size_t>(largest));
    std::sort(b.begin() + static_cast<std::ptrdiff_t>(start),
              b.begin() + static_cast<std::ptrdiff_t>(end),
              [](const Box& x, const Box& y) { return x.top < y.top; });
  }
  *rows = largest;
  return true;
}

// ---- Step 4: the dark regions ----

struct Components {
  barcode::Buffer<ComponentRecord> records;  // [0] the background, then 1..count
  int32_t count = 0;
};

// The first dark (1) or light (0) column of a binary row at or after x, or
// w; light and dark stretches are skipped a block at a time.
uint32_t NextDark(const uint8_t* row, uint32_t x, uint32_t w) {
  const void* at = x < w ? std::memchr(row + x, 1, w - x) : nullptr;
  return at != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(at) - row) : w;
}
uint32_t NextLight(const uint8_t* row, uint32_t x, uint32_t w) {
  const void* at = x < w ? std::memchr(row + x, 0, w - x) : nullptr;
  return at != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(at) - row) : w;
}

// Root of a provisional label, halving the path on the way.
int32_t FindRoot(int32_t* parent, int32_t label) {
  while (parent[label] != label) {
    parent[label] = parent[parent[label]];
    label = parent[label];
  }
  return label;
}

// Joins two regions under the smaller label, which was met first.
void Join(int32_t* parent, int32_t a, int32_t b) {
  a = FindRoot(parent, a);
  b = FindRoot(parent, b);
  if (a < b) {
    parent[b] = a;
  } else if (b < a) {
    parent[a] = b;
  }
}

// Two-pass union-find labelling of the 8-connected dark pixels of a binary
// image (1 dark), with one record per region, numbered in the order the
// regions' first pixels are met. Tables: the label map (one word a pixel),
// the provisional labels' parents and the records.
int32_t LabelComponents(const barcode::BinaryImage& bits, Components* out) {
  const uint32_t w = bits.width, h = bits.height;
  // A new provisional label needs a light pixel before it on its row and
  // none dark above, so at most half the columns of every other row get one.
  const uint64_t maxLabels = uint64_t{(w + 1) / 2} * ((h + 1) / 2) + 1;
  if (maxLabels >= static_cast<uint64_t>(INT32_MAX)) {
    return Fail(kSearchBadImage, kCategoryBadArgument, kModuleSearch, 10);
  }
  // Kept from page to page, like the front-end's page buffers: a fresh one
  // costs a page fault for every 4 KB its first writes touch.
  WorkLease mapLease;
  auto* const mapPixels = reinterpret_cast<int32_t*>(
      mapLease.Take(WorkUse::kLabelMap, static_cast<size_t>(w) * h * sizeof(int32_t)));
  if (mapPixels == nullptr) return Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 11);
  barcode::Buffer<int32_t> parent =
      barcode::AllocUninitializedArray<int32_t>(static_cast<size_t>(maxLabels));
  if (!parent) return Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 12);

  // Pass 1: provisional labels from the four neighbours already visited.
  // Only dark pixels get a label; a neighbour's label is read once its bit
  // says it is dark, so light pixels are never written.
  int32_t next = 1;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = bits.pixels + static_cast<size_t>(y) * bits.stride;
    const uint8_t* aboveBits = y > 0 ? row - bits.stride : nullptr;
    int32_t* labels = mapPixels + static_cast<size_t>(y) * w;
    const int32_t* above = y > 0 ? labels - w : labels;  // read only under a dark bit above
    for (uint32_t start = NextDark(row, 0, w), end; start < w; start = NextDark(row, end, w)) {
      end = NextLight(row, start, w);
      for (uint32_t x = start; x < end; ++x) {
        const int32_t west = x > start ? labels[x - 1] : 0;
        int32_t north = 0, northWest = 0, northEast = 0;
        if (aboveBits != nullptr) {
          if (aboveBits[x] != 0) north = above[x];
          if (x > 0 && aboveBits[x - 1] != 0) northWest = above[x - 1];
          if (x + 1 < w && aboveBits[x + 1] != 0) northEast = above[x + 1];
        }
        // A dark north pixel is already joined with the west and north-west
        // ones; with north light, west and north-west are joined, but
        // north-east may be apart.
        int32_t label = north;
        if (label == 0) {
          label = west != 0 ? west : northWest;
          if (label != 0 && northEast != 0) {
            Join(parent.get(), label, northEast);
          } else if (label == 0) {
            label = northEast;
          }
        }
        if (label == 0) {
          if (static_cast<uint64_t>(next) >= maxLabels) {
            return Fail(kSearchStepFailed, kCategoryStepFailed, kModuleSearch, 13);
          }
          label = next;
          parent[next] = next;
          ++next;
        }
        labels[x] = label;
      }
    }
  }

  // Final numbers: a root is the smallest label of its region, so walking
  // labels upwards numbers regions by their first pixel; every other label's
  // parent is smaller and already holds its final number.
  int32_t count = 0;
  for (int32_t i = 1; i < next; ++i) {
    parent[i] = parent[i] == i ? ++count : parent[parent[i]];
  }

  out->records = barcode::AllocArray<ComponentRecord>(static_cast<size_t>(count) + 1);
  if (!out->records) return Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 14);
  ComponentRecord* records = out->records.get();
  for (int32_t i = 0; i <= count; ++i) {
    records[i] = ComponentRecord{i, INT32_MAX, INT32_MAX, -1, -1, 0, 0, 0, {0, 0}};
  }
  // Pass 2: every pixel takes its final label and counts into its record.
  uint64_t dark = 0;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = bits.pixels + static_cast<size_t>(y) * bits.stride;
    int32_t* labels = mapPixels + static_cast<size_t>(y) * w;
    const int32_t yi = static_cast<int32_t>(y);
    for (uint32_t start = NextDark(row, 0, w), end; start < w; start = NextDark(row, end, w)) {
      end = NextLight(row, start, w);
      dark += end - start;
      for (uint32_t x = start; x < end; ++x) {
        const int32_t label = parent[labels[x]];
        labels[x] = label;
        ComponentRecord& r = records[label];
        const int32_t xi = static_cast<int32_t>(x);
        r.top = std::min(r.top, yi);
        r.bottom = std::max(r.bottom, yi);
        r.left = std::min(r.left, xi);
        r.right = std::max(r.right, xi);
        ++r.pixels;
      }
    }
  }
  for (int32_t i = 1; i <= count; ++i) {
    records[i].width = records[i].right - records[i].left + 1;
    records[i].height = records[i].bottom - records[i].top + 1;
  }
  // The background spans the page.
  records[0] = ComponentRecord{0,
                               0,
                               0,
                               static_cast<int32_t>(h) - 1,
                               static_cast<int32_t>(w) - 1,
                               static_cast<int32_t>(w),
                               static_cast<int32_t>(h),
                               static_cast<int32_t>(uint64_t{w} * h - dark),
                               {0, 0}};
  out->count = count;
  return kSearchOk;
}

int32_t LabelPage(const SourceImage& image, Components* components) {
  WorkLease lease;
  uint8_t* const bytes =
      lease.Take(WorkUse::kBinary, static_cast<size_t>(image.width) * image.height);
  if (bytes == nullptr) return Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 20);
  barcode::BinaryImage binary{image.width, image.width, image.height, 1, 8, bytes};
  const WorkImage page{const_cast<uint8_t*>(image.pixels), image.width, image.height, image.stride,
                       1};
  if (Binarize(page, &binary, kDarkBelow) != 0) {
    return Fail(kSearchStepFailed, kCategoryStageFailed, kModuleSearch, 21);
  }
  return LabelComponents(binary, components);
}

// ---- Steps 5 to 9: label boxes, cells, quiet zones, marks ----

// The cells of the labels from their label boxes; false when the grid does
// not hold (a column's labels not aligned, a row's tops not level).
bool BuildCells(const std::vector<LabelBox>& boxes, int32_t rows, uint32_t type,
                std::vector<Cell>* cells) {
  const int32_t n = static_cast<int32_t>(boxes.size());
  for (int32_t k = 0; k < n; ++k) {
    const LabelBox& label = boxes[static_cast<size_t>(k)];
    const int32_t r = k % rows;
    const Cell* previous = k > 0 ? &(*cells)[static_cast<size_t>(k - 1)] : nullptr;
    int32_t bottom, right;
    if (r < rows - 1 && k + 1 < n) {
      const LabelBox& below = boxes[static_cast<size_t>(k + 1)];
      bottom = below.top - 1;
      const int32_t drift = std::abs(below.left - label.left);
      if (drift > (IsEanUpc(type) ? kEanUpcColumnSlack : 0)) return false;
    } else if (previous == nullptr) {
      bottom = 3 * label.bottom - 2 * label.top;
    } else {
      bottom = label.top + (previous->bottom - previous->top);
    }
    if (k + rows < n) {
      const LabelBox& beside = boxes[static_cast<size_t>(k + rows)];
      if (beside.top != label.top) return false;
      right = beside.left - 1;
    } else if (previous == nullptr) {
      right = 3 * label.right - 2 * label.left;
    } else {
      right = label.left + (previous->right - previous->left);
    }
    cells->push_back(Cell{k, label.top, label.left, bottom, right});
  }
  return true;
}

void AddQuietZones(std::vector<LabelBox>* boxes, uint32_t type, int32_t imageWidth) {
  int32_t left = 27, right = 27;
  if (type == barcode::kUpcA || type == barcode::kEan13) {
    left = 31, right = 16;
  } else if (type == barcode::kUpcE || type == barcode::kEan8) {
    left = 16, right = 16;
  }
  for (LabelBox& box : *boxes) {
    box.left = std::max(box.left - left, 0);
    box.right = std::min(box.right + right, imageWidth - 1);
  }
}

// Text and marks of a label's cell that lie within reach of it, left to right.
void GatherMarks(std::vector<LabelBox>* boxes, const std::vector<Cell>& cells,
                 const std::vector<const ComponentRecord*>& byLeft) {
  for (size_t k = 0; k < boxes->size(); ++k) {
    LabelBox& box = (*boxes)[k];
    int32_t reach = box.right + kGatherReach;
    for (const ComponentRecord* c : byLeft) {
      if (Overlaps(cells[k], *c) && c->left - kGatherReach <= reach) {
        Include(&box, *c);
        reach = c->right + kGatherReach;
      }
    }
  }
}

int32_t Search(const SourceImage& image, std::vector<CropRectangle>* rectangles) {
  std::vector<Box> barcodes;
  uint32_t type = 0;
  int32_t code = FindBarcodes(image, &barcodes, &type);
  if (code != kSearchOk) return code;
  int32_t rows = 0;
  if (!ArrangeBarcodes(&barcodes, &rows)) {
    return Fail(kSearchNothingUsable, kCategoryNotFound, kModuleSearch, 7);
  }

  Components components;
  code = LabelPage(image, &components);
  if (code != kSearchOk) return code;
  const ComponentRecord* records = components.records.get();

  std::vector<LabelBox> boxes;
  std::vector<Cell> cells;
  std::vector<const ComponentRecord*> byLeft;
  try {
    boxes.reserve(barcodes.size());
    cells.reserve(barcodes.size());
    byLeft.reserve(static_cast<size_t>(components.count));
  } catch (const std::bad_alloc&) {
    return Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 30);
  }
  const int32_t width = static_cast<int32_t>(image.width);
  const int32_t height = static_cast<int32_t>(image.height);
  for (size_t k = 0; k < barcodes.size(); ++k) {
    LabelBox box{static_cast<int32_t>(k), height - 1, width - 1, 0, 0, 0, 0, 0, {0, 0}};
    for (int32_t c = 1; c <= components.count; ++c) {
      if (Touches(barcodes[k], records[c])) Include(&box, records[c]);
    }
    // Bars are dark regions; a barcode box touching none is not a label.
    if (box.bottom < box.top || box.right < box.left) {
      return Fail(kSearchNothingUsable, kCategoryNotFound, kModuleSearch, 31);
    }
    boxes.push_back(box);
  }
  if (!BuildCells(boxes, rows, type, &cells)) {
    return Fail(kSearchNothingUsable, kCategoryNotFound, kModuleSearch, 32);
  }
  AddQuietZones(&boxes, type, width);
  for (int32_t c = 1; c <= components.count; ++c) byLeft.push_back(&records[c]);
  std::sort(byLeft.begin(), byLeft.end(),
            [](const ComponentRecord* a, const ComponentRecord* b) { return a->left < b->left; });
  GatherMarks(&boxes, cells, byLeft);

  try {
    rectangles->reserve(boxes.size());
  } catch (const std::bad_alloc&) {
    return Fail(kSearchNoMemory, kCategoryMemory, kModuleSearch, 33);
  }
  for (const LabelBox& box : boxes) {
    const uint64_t offset =
        uint64_t{static_cast<uint32_t>(box.top)} * image.stride + static_cast<uint32_t>(box.left);
    rectangles->push_back(CropRectangle{static_cast<uint32_t>(offset), box.right - box.left + 1,
                                        box.bottom - box.top + 1});
  }
  return kSearchOk;
}

}  // namespace

int32_t BasicCropSearch(const SourceImage* image, std::vector<CropRectangle>* rectangles) {
  if (rectangles == nullptr) return Fail(kSearchBadImage, kCategoryBadArgument, kModuleChecks, 1);
  rectangles->clear();
  if (image == nullptr || image->pixels == nullptr) {
    return Fail(kSearchBadImage, kCategoryBadArgument, kModuleChecks, 2);
  }
  if (image->format != kFormatSamples8 && image->format != kFormatGrey8) {
    return Fail(kSearchBadImage, kCategoryBadArgument, kModuleChecks, 3);
  }
  if (image->bytesPerPixel != 1)
    return Fail(kSearchBadImage, kCategoryBadArgument, kModuleChecks, 4);
  if (image->width < kLeastSide || image->height < kLeastSide || image->stride < kLeastSide ||
      image->stride < image->width) {
    return Fail(kSearchBadImage, kCategoryBadArgument, kModuleChecks, 5);
  }
  // Rectangles give their place as a 32-bit byte offset; sizes past that,
  // or past the coordinates' range, are no page.
  if (uint64_t{image->stride} * image->height > UINT32_MAX || image->width > INT32_MAX / 4 ||
      image->height > INT32_MAX / 4) {
    return Fail(kSearchBadImage, kCategoryBadArgument, kModuleChecks, 6);
  }
  const int32_t code = Search(*image, rectangles);
  if (code != kSearchOk) rectangles->clear();
  return code;
}

}  // namespace crop
