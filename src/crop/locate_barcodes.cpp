// LocateBarcodes: validates and prepares the page image, scans it at several
// thresholds upright and turned, and cleans the collected results.
#include "crop/locate_barcodes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/scan.h"
#include "crop/work_images.h"

namespace crop {

namespace {

using barcode::SymbolResult;
using barcode::SymbolResultList;

constexpr int32_t kModuleLocate = 902000;
constexpr int32_t kModuleEntry = 777000;
constexpr int kFirstThreshold = 194;
constexpr int kSecondThreshold = 128;
constexpr int kExtraThresholds[3] = {64, 220, 172};
constexpr uint32_t kScanResolution = 300;
constexpr double kPi = 3.1415926535897;
// Far beyond any page the driver renders; larger images are refused.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

int32_t Fail(int32_t code, int32_t category, int32_t module, int32_t site) {
  barcode::PushErrorTrail(category, module, site);
  return code;
}

bool IsLinear(uint32_t type) { return type <= barcode::kEan13 || type == barcode::kCode93; }

struct Owned {
  barcode::Buffer<uint8_t> data;
  WorkImage image{};
};

bool Allocate(Owned* owned, uint32_t width, uint32_t height, uint32_t bpp) {
  owned->data = barcode::AllocArray<uint8_t>(static_cast<size_t>(width) * height * bpp);
  owned->image = WorkImage{owned->data.get(), width, height, width * bpp, bpp};
  return owned->data != nullptr;
}

// Buffers the threshold passes share, taken at first use for the rest of the
// call (and kept for the next one): the binary image, its turned copy (both
// written in full before any read, so never cleared) and the turned scan's
// results.
struct Scratch {
  WorkLease binary;
  WorkLease turned;
  WorkLease found;
};

void EraseAll(barcode::BinaryImage* binary, const SymbolResultList& results) {
  for (int32_t i = 0; i < results.count; ++i) {
    const SymbolResult& r = results.items[i];
    barcode::EraseSymbolArea(binary, {r.centreX, r.centreY, r.width, r.height}, r.angle);
  }
}

// Scans a turned copy and maps its results back into the upright image.
int32_t TurnedPass(const barcode::BinaryImage& upright, int angle, int step,
                   const barcode::ScanOptions& options, SymbolResultList* results,
                   Scratch* scratch) {
  WorkImage turned{scratch->turned.Take(WorkUse::kTurned, size_t{upright.width} * upright.height),
                   0, 0, 0, 1};
  // A turned image that cannot be made fails the turn, not the call's own memory.
  if (turned.pixels == nullptr)
    return Fail(kLocateStepFailed, barcode::kCategoryMemory, kModuleLocate, 31);
  WorkImage source{upright.pixels, upright.width, upright.height, upright.stride, 1};
  if (RotateImage(source, &turned, angle) != 0)
    return Fail(kLocateStepFailed, barcode::kCategoryStageFailed, kModuleLocate, 33);
  barcode::BinaryImage binary{turned.width, turned.stride, turned.height, 1, 8, turned.pixels};
  auto* found = reinterpret_cast<SymbolResult*>(
      scratch->found.Take(WorkUse::kTurnedResults, barcode::kMaxResults * sizeof(SymbolResult)));
  if (found == nullptr) return Fail(kLocateNoMemory, barcode::kCategoryMemory, kModuleLocate, 35);
  SymbolResultList list{0, found};
  if (barcode::ScanSymbols(&binary, step, &list, &options) != 0)
    return Fail(kLocateStepFailed, barcode::kCategoryStageFailed, kModuleLocate, 37);
  const int32_t w = static_cast<int32_t>(upright.width), h = static_cast<int32_t>(upright.height);
  for (int32_t i = 0; i < list.count && results->count < barcode::kMaxResults; ++i) {
    const SymbolResult& t = list.items[i];
    SymbolResult& r = results->items[results->count++];
    std::memset(&r, 0, sizeof(r));
    if (angle == 270) {
      r.centreX = t.centreY;
      r.centreY = h - t.centreX;
      r.angle = t.angle - 90;
    } else {
      r.centreX = w - t.centreX;
      r.centreY = h - t.centreY;
      r.angle = t.angle - 180;
      if ((t.type == barcode::kQrCode || t.type == barcode::kDataMatrix) && r.angle < -360)
        r.angle += 360;
    }
    r.width = t.width;
    r.height = t.height;
    r.type = t.type;
    std::memcpy(r.text, t.text, sizeof(r.text));
    std::memcpy(r.secondText, t.secondText, sizeof(r.secondText));
    r.moduleSize = t.moduleSize;
    r.readerPosition = t.readerPosition;
  }
  return 0;
}

int32_t ScanPass(const WorkImage& work, const LocateOptions& opt, SymbolResultList* results,
                 int threshold, bool oneBit, Scratch* scratch) {
  const uint32_t dpi = opt.resolution;
  int step = dpi <= kScanResolution ? std::max<int>(1, static_cast<int>(dpi / 100)) : 3;
  const uint8_t* t = opt.types;
  barcode::ScanOptions so{};
  bool linear = false;
  for (int k : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13}) linear |= t[k] == 1;
  so.linear = linear;
  so.qrCode = t[barcode::kQrCode] == 1;
  so.dataMatrix = t[barcode::kDataMatrix] == 1;
  so.hanXin = t[barcode::kHxCode] == 1;
  so.pdf417 = t[barcode::kPdf417] == 1 || t[barcode::kPdf417Flagged] != 0;
  so.bullseye = t[barcode::kMaxiCodeLocated] == 1;
  std::memcpy(so.types, t, sizeof(so.types));
  if (!(so.linear | so.qrCode | so.dataMatrix | so.hanXin | so.pdf417 | so.bullseye))
    return Fail(kLocateBadArgument, barcode::kCategoryBadArgument, kModuleLocate, 11);

  uint8_t* pixels = scratch->binary.Take(WorkUse::kBinary, size_t{work.width} * work.height);
  if (pixels == nullptr) return Fail(kLocateNoMemory, barcode::kCategoryMemory, kModuleLocate, 13);
  barcode::BinaryImage binary{work.width, work.width, work.height, 1, 8, pixels};
  if (Binarize(work, &binary, threshold) != 0)
    return Fail(kLocateBadArgument, barcode::kCategoryStepFailed, kModuleLocate, 15);
  if (barcode::ThinRunFilter(&binary, 0) != 0 || (oneBit && barcode::ThinRunFilter(&binary, 1)))
    return Fail(kLocateNoMemory, barcode::kCategoryStageFailed, kModuleLocate, 17);
  EraseAll(&binary, *results);

  const uint8_t mode = opt.rotationMode;
  if (mode == 0 || mode == 2) {
    if (barcode::ScanSymbols(&binary, step, results, &so) != 0)
      return Fail(kLocateStepFailed, barcode::kCategoryStageFailed, kModuleLocate, 19);
  }
  if (so.dataMatrix || ((so.linear || so.pdf417) && (mode == 0 || mode == 1))) {
    barcode::ScanOptions turned = so;
    turned.qrCode = turned.hanXin = turned.bullseye = 0;
    if (mode == 2) turned.linear = turned.pdf417 = 0;
    int32_t code = TurnedPass(binary, 270, step, turned, results, scratch);
    if (code != 0) return Fail(code, barcode::kCategoryStageFailed, kModuleLocate, 21);
    // Only the half-turned pass below reads this image again.
    if (so.dataMatrix) EraseAll(&binary, *results);
  }
  if (so.dataMatrix) {
    barcode::ScanOptions turned{};
    turned.dataMatrix = 1;
    std::memcpy(turned.types, so.types, sizeof(turned.types));
    int32_t code = TurnedPass(binary, 180, step, turned, results, scratch);
    if (code != 0) return Fail(code, barcode::kCategoryStageFailed, kModuleLocate, 23);
  }
  return 0;
}

double FoldAngle(double a) {
  if (a < -90) return a + 180;
  if (a > 90) return 180 - a;
  return a;
}

}  // namespace

void MergeSplitReads(SymbolResultList* results, bool* changed) {
  *changed = false;
  const int32_t n = results->count;
  if (n <= 1) return;
  barcode::Buffer<uint8_t> dropped = barcode::AllocArray<uint8_t>(static_cast<size_t>(n));
  if (!dropped) return;
  for (int32_t i = 0; i < n; ++i) {
    if (dropped[i]) continue;
    SymbolResult& a = results->items[i];
    for (int32_t j = i + 1; j < n; ++j) {
      if (dropped[j]) continue;
      const SymbolResult& b = results->items[j];
      if (a.type != b.type || !IsLinear(a.type) || std::strcmp(a.text, b.text) != 0) continue;
      const int64_t dx = a.centreX - b.centreX, dy = a.centreY - b.centreY;
      const int64_t d = static_cast<int64_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
      if (d > a.height / 2 + b.height / 2 + 5) continue;
      if (std::fabs(a.angle - b.angle) > 3) continue;
      const double direction = std::atan2(double(dx), double(dy)) * 180 / kPi;
      if (std::fabs(FoldAngle(direction) - FoldAngle(a.angle)) > 3) continue;
      dropped[j] = 1;
      *changed = true;
      if (d > 0) {
        a.centreY += static_cast<int32_t>((b.centreY - a.centreY) * int64_t{b.height} / (2 * d));
        a.centreX += static_cast<int32_t>((b.centreX - a.centreX) * int64_t{b.height} / (2 * d));
      }
      a.height += b.height;
      a.angle = (a.angle + b.angle) / 2;
    }
  }
  int32_t kept = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (dropped[i]) continue;
    if (kept != i) std::memcpy(&results->items[kept], &results->items[i], sizeof(SymbolResult));
    ++kept;
  }
  results->count = kept;
}

void FilterByType(SymbolResultList* results, const uint8_t* wanted) {
  int32_t kept = 0;
  for (int32_t i = 0; i < results->count; ++i) {
    SymbolResult& r = results->items[i];
    if (r.type == barcode::kUpcA && wanted[barcode::kUpcA] != 1 && wanted[barcode::kEan13] == 1) {
      for (char* text : {r.text, r.secondText}) {
        std::memmove(text + 1, text, barcode::kResultTextSize - 2);
        text[0] = '0';
        text[barcode::kResultTextSize - 1] = '\0';
      }
      r.type = barcode::kEan13;
    }
    if (r.type >= 16 || wanted[r.type] != 1) continue;
    if (kept != i) std::memcpy(&results->items[kept], &r, sizeof(SymbolResult));
    ++kept;
  }
  results->count = kept;
}

void ToUprightBoxes(SymbolResultList* results, int32_t width, int32_t height, double factor) {
  for (int32_t i = 0; i < results->count; ++i) {
    SymbolResult& r = results->items[i];
    const double a = r.angle * kPi / 180, ca = std::cos(a), sa = std::sin(a);
    const int32_t hw = r.width / 2, hh = r.height / 2;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (int corner = 0; corner < 4; ++corner) {
      const double u = (corner & 1) ? hw : -hw, v = (corner & 2) ? hh : -hh;
      const double x = std::trunc(u * ca - v * sa) + r.centreX;
      const double y = std::trunc(u * sa + v * ca) + r.centreY;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    const int32_t left = std::max<int32_t>(static_cast<int32_t>(std::trunc(minX * factor)), 0);
    const int32_t top = std::max<int32_t>(static_cast<int32_t>(std::trunc(minY * factor)), 0);
    const int32_t right =
        std::min<int32_t>(width - 1, static_cast<int32_t>(std::trunc(maxX * factor)));
    const int32_t bottom =
        std::min<int32_t>(height - 1, static_cast<int32_t>(std::trunc(maxY * factor)));
    r.centreX = left;
    r.centreY = top;
    r.width = right - left + 1;
    r.height = bottom - top + 1;
    if (r.angle > 180) r.angle -= 360;
    if (r.angle < -180) r.angle += 360;
  }
}

void FreeLocateResults(SymbolResultList* results) {
  if (results == nullptr) return;
  std::free(results->items);
  results->items = nullptr;
  results->count = 0;
}

int32_t LocateBarcodes(const SourceImage* image, const LocateOptions* options,
                       SymbolResultList* results) {
  barcode::ClearErrorTrail();
  if (results == nullptr || options == nullptr || image == nullptr)
    return Fail(kLocateBadArgument, barcode::kCategoryBadArgument, kModuleEntry, 1);
  results->count = 0;
  results->items =
      static_cast<SymbolResult*>(barcode::AllocZeroed(barcode::kMaxResults, sizeof(SymbolResult)));
  if (results->items == nullptr)
    return Fail(kLocateNoMemory, barcode::kCategoryMemory, kModuleEntry, 3);
  const int32_t code = [&]() -> int32_t {
    const SourceImage& src = *image;
    const bool bilevel = src.format == kFormatBilevel;
    if (src.pixels == nullptr || (src.bytesPerPixel != 1 && src.bytesPerPixel != 3) ||
        (src.format != kFormatGrey8 && src.format != kFormatSamples8 && !bilevel))
      return Fail(kLocateBadImage, barcode::kCategoryNotFound, kModuleLocate, 41);
    if (!bilevel && uint64_t{src.width} * src.bytesPerPixel > src.stride)
      return Fail(kLocateBadImage, barcode::kCategoryNotFound, kModuleLocate, 43);
    // Packed bits take either pixel size; the rows must still hold the bits.
    if (bilevel && (uint64_t{src.width} + 7) / 8 > src.stride)
      return Fail(kLocateBadImage, barcode::kCategoryNotFound, kModuleLocate, 45);
    if (uint64_t{src.width} * src.height > kMaxPixels)
      return Fail(kLocateBadImage, barcode::kCategoryNotFound, kModuleLocate, 47);
    const LocateOptions& opt = *options;
    if (opt.regionWidth <= 0 && opt.regionHeight <= 0)
      return Fail(kLocateBadArgument, barcode::kCategoryBadArgument, kModuleLocate, 49);

    Owned expanded;
    WorkImage whole{const_cast<uint8_t*>(src.pixels), src.width, src.height, src.stride,
                    src.bytesPerPixel};
    if (bilevel) {
      if (!Allocate(&expanded, src.width, src.height, 1))
        return Fail(kLocateNoMemory, barcode::kCategoryMemory, kModuleLocate, 51);
      ExpandBilevel(src, expanded.data.get());
      whole = expanded.image;
    }
    if (opt.regionLeft < 0 || opt.regionTop < 0 || opt.regionWidth < 0 || opt.regionHeight < 0 ||
        int64_t{opt.regionLeft} + opt.regionWidth > int64_t{whole.width} ||
        int64_t{opt.regionTop} + opt.regionHeight > int64_t{whole.height})
      return Fail(kLocateBadArgument, barcode::kCategoryBadArgument, kModuleLocate, 53);
    if (opt.regionWidth == 0 || opt.regionHeight == 0) return kLocateOk;
    WorkImage work{whole.pixels + static_cast<size_t>(opt.regionTop) * whole.stride +
                       static_cast<size_t>(opt.regionLeft) * whole.bytesPerPixel,
                   static_cast<uint32_t>(opt.regionWidth), static_cast<uint32_t>(opt.regionHeight),
                   whole.stride, whole.bytesPerPixel};

    double factor = 1;
    Owned shrunk;
    if (opt.resolution > kScanResolution) {
      const uint32_t w =
          static_cast<uint32_t>(uint64_t{work.width} * kScanResolution / opt.resolution);
      const uint32_t h =
          static_cast<uint32_t>(uint64_t{work.height} * kScanResolution / opt.resolution);
      if (w == 0 || h == 0) return kLocateOk;
      if (!Allocate(&shrunk, w, h, work.bytesPerPixel))
        return Fail(kLocateNoMemory, barcode::kCategoryMemory, kModuleLocate, 55);
      ResizeBilinear(work, &shrunk.image);
      work = shrunk.image;
      factor = static_cast<double>(opt.resolution) / kScanResolution;
    }

    // Threshold passes: a failing pass discards everything.
    Scratch scratch;
    int32_t pass = ScanPass(work, opt, results, kFirstThreshold, bilevel, &scratch);
    if (pass == 0 && !bilevel) {
      pass = ScanPass(work, opt, results, kSecondThreshold, false, &scratch);
      const int extra = std::min<int>(opt.extraPasses, 3);
      for (int k = 0; k < extra && pass == 0; ++k)
        pass = ScanPass(work, opt, results, kExtraThresholds[k], false, &scratch);
    }
    if (pass != 0) return pass;

    for (bool changed = true; changed;) MergeSplitReads(results, &changed);
    FilterByType(results, opt.types);
    results->count = std::min<int32_t>(results->count, opt.maxResults);
    ToUprightBoxes(results, opt.regionWidth, opt.regionHeight, factor);
    // A region reports in whole-image pixels: its offset goes back on.
    const int32_t iw = static_cast<int32_t>(whole.width), ih = static_cast<int32_t>(whole.height);
    for (int32_t i = 0; i < results->count; ++i) {
      SymbolResult& r = results->items[i];
      r.centreX = std::min(r.centreX + opt.regionLeft, iw - 1);
      r.centreY = std::min(r.centreY + opt.regionTop, ih - 1);
      r.width = std::min(r.width, iw - r.centreX);
      r.height = std::min(r.height, ih - r.centreY);
      if (r.type == barcode::kMaxiCodeLocated) continue;
      if (r.centreX > 1) --r.centreX;
      if (r.centreY > 1) --r.centreY;
      if (r.centreX + r.width + 2 < iw) r.width += 2;
      if (r.centreY + r.height + 2 < ih) r.height += 2;
    }
    return kLocateOk;
  }();
  if (code != kLocateOk) {
    barcode::PushErrorTrail(barcode::kCategoryStepFailed, kModuleEntry, 5);
    FreeLocateResults(results);
  }
  return code;
}

}  // namespace crop
