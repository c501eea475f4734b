// The crop variants and their engine surfaces.
#include "crop/crop_variants.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "capture/page_out.h"
#include "crop/basic_crop_search.h"
#include "crop/label_images.h"
#include "crop/region_analysis.h"
#include "crop/source_image.h"
#include "platform/os.h"

namespace crop {

namespace {

constexpr char16_t kDriverKey[] = u"SOFTWARE\\Norvale Industries, Ltd.\\Quillmark\\Driver\\3.0\\";
constexpr char16_t kAcceptAntiAliased[] = u"Accept_CropPrint_AntiAliasingBarcode";
constexpr uint32_t kPrintQuality300 = 300;

int32_t Dots(double millimetres, uint32_t dpi) {
  return static_cast<int32_t>(millimetres / 25.4 * dpi + 0.5);
}

// A locked engine surface, deleted and unlocked when it goes.
class EngineSurface {
 public:
  EngineSurface() = default;
  EngineSurface(const EngineSurface&) = delete;
  EngineSurface& operator=(const EngineSurface&) = delete;
  ~EngineSurface() {
    if (handle_ != nullptr) os::EngDeleteSurface(handle_);
    if (object_ != nullptr) os::EngUnlockSurface(object_);
  }

  // An 8-bit top-down surface, white; false when the engine refuses.
  bool Create(int32_t width, int32_t height) {
    handle_ = os::EngCreateBitmap(winabi::SIZEL{width, height});
    if (handle_ == nullptr) return false;
    object_ = os::EngLockSurface(handle_);
    if (object_ == nullptr) return false;
    FillWhite();
    return true;
  }

  void FillWhite() {
    for (int32_t y = 0; y < Height(); ++y) std::memset(Row(y), 255, RowBytes());
  }

  // Copies rows of width bytes into the top-left corner.
  void CopyIn(const uint8_t* from, uint32_t fromStride, uint32_t width, uint32_t height) {
    const size_t bytes = std::min<size_t>(width, RowBytes());
    for (uint32_t y = 0; y < height && static_cast<int32_t>(y) < Height(); ++y) {
      std::memcpy(Row(static_cast<int32_t>(y)), from + static_cast<size_t>(y) * fromStride, bytes);
    }
  }

  int32_t Width() const { return object_->sizlBitmap.cx; }
  int32_t Height() const { return object_->sizlBitmap.cy; }
  size_t RowBytes() const { return static_cast<size_t>(std::abs(object_->lDelta)); }
  uint8_t* Row(int32_t y) const {
    return static_cast<uint8_t*>(object_->pvScan0) + static_cast<ptrdiff_t>(y) * object_->lDelta;
  }

 private:
  winabi::HSURF handle_ = nullptr;
  winabi::SURFOBJ* object_ = nullptr;
};

// One finished surface to the page writer; the page's last label is held.
void HandOff(const EngineSurface& surface, size_t index, size_t count, const CropJob& job) {
  if (index == 1) capture::WriteHeldLabel(job.working, job.outputContext, job.pdevobj, false);
  const size_t bytes = surface.RowBytes() * static_cast<size_t>(surface.Height());
  if (index != count) {
    output::LabelSurface label;
    label.width = static_cast<uint32_t>(surface.Width());
    label.height = static_cast<uint32_t>(surface.Height());
    label.pixels = surface.Row(0);
    label.byteCount = static_cast<uint32_t>(bytes);
    output::WriteImage(label, job.working, job.outputContext, job.pdevobj, false);
    return;
  }
  capture::HeldLabel held;
  held.width = static_cast<uint32_t>(surface.Width());
  held.height = static_cast<uint32_t>(surface.Height());
  held.pixels = surface.Row(0);
  held.byteCount = bytes;
  capture::SaveHeldLabel(held, job.pdevobj);
}

SourceImage Describe(const CropPage& page) {
  return SourceImage{page.pixels, page.width, page.stride, page.height, kFormatSamples8, 1};
}

// A rectangle the search gave lies on the page; checked all the same, as the
// copy reads the page through it.
bool OnPage(const CropRectangle& r, const CropPage& page) {
  if (r.width <= 0 || r.height <= 0 || page.stride == 0) return false;
  const uint64_t column = r.offset % page.stride, row = r.offset / page.stride;
  return column + static_cast<uint64_t>(r.width) <= page.width &&
         row + static_cast<uint64_t>(r.height) <= page.height;
}

enum class SurfaceKind { kPerLabel, kFixedSize };

// One label's pixels: rows of width bytes, stride apart.
struct LabelPixels {
  const uint8_t* rows;
  uint32_t stride, width, height;
};

// Checks the labels against the media, then puts each on a white surface at
// its top-left corner and hands it off, in order.
CropResult PrintOnSurfaces(const std::vector<LabelPixels>& labels, SurfaceKind kind,
                           const CropJob& job) {
  const int64_t width = PrintableWidth(*job.working);
  const int64_t length = kind == SurfaceKind::kFixedSize ? PrintableLength(*job.working) : 0;
  for (const LabelPixels& l : labels) {
    if (l.width > width || (kind == SurfaceKind::kFixedSize && l.height > length)) {
      return CROP_BARCODE_WIDER_THAN_MEDIA;
    }
  }
  EngineSurface fixed;
  if (kind == SurfaceKind::kFixedSize &&
      !fixed.Create(static_cast<int32_t>(width), static_cast<int32_t>(length))) {
    return CROP_SURFACE_FAILED;
  }
  for (size_t i = 0; i < labels.size(); ++i) {
    const LabelPixels& l = labels[i];
    EngineSurface own;
    EngineSurface* surface = &fixed;
    if (kind == SurfaceKind::kPerLabel) {
      if (!own.Create(static_cast<int32_t>(width), static_cast<int32_t>(l.height))) {
        return CROP_SURFACE_FAILED;
      }
      surface = &own;
    } else if (i > 0) {
      surface->FillWhite();
    }
    surface->CopyIn(l.rows, l.stride, l.width, l.height);
    HandOff(*surface, i + 1, labels.size(), job);
  }
  return CROP_PRINTED;
}

CropResult BasicCrop(const CropPage& page, const CropJob& job, SurfaceKind kind) {
  std::vector<CropRectangle> rectangles;
  const SourceImage source = Describe(page);
  BasicCropSearch(&source, &rectangles);
  if (rectangles.empty()) return CROP_NO_BARCODE;
  job.working->record.cropPageCount++;
  std::vector<LabelPixels> labels;
  try {
    labels.reserve(rectangles.size());
  } catch (const std::bad_alloc&) {
    return CROP_NO_BARCODE;
  }
  for (const CropRectangle& r : rectangles) {
    if (!OnPage(r, page)) return CROP_NO_BARCODE;
    labels.push_back({page.pixels + r.offset, page.stride, static_cast<uint32_t>(r.width),
                      static_cast<uint32_t>(r.height)});
  }
  return PrintOnSurfaces(labels, kind, job);
}

std::vector<ExtendedLabelNote> g_labelNotes;

// The registry may let re-rendered anti-aliased barcodes print.
bool AcceptsAntiAliased(const void* outputContext) {
  char16_t model[kOutputContextNameChars + 1] = {};
  if (outputContext != nullptr) {
    std::memcpy(model, static_cast<const uint8_t*>(outputContext) + kOutputContextNameOffset,
                kOutputContextNameChars * sizeof(char16_t));
  }
  std::optional<os::RegistryKey> key =
      os::RegistryKey::OpenLocalMachine(std::u16string(kDriverKey) + model);
  uint32_t value = 0;
  return key && key->QueryDword(kAcceptAntiAliased, &value) && value == 1;
}

CropResult ExtendedCrop(const CropPage& page, const CropJob& job, SurfaceKind kind) {
  const int32_t width = PrintableWidth(*job.working);
  const bool is203Dpi = job.working->publicDm.dmPrintQuality != kPrintQuality300;
  LabelImageList labels;
  const SourceImage source = Describe(page);
  const int32_t code = ExtendedCropSearch(&source, width > 0 ? uint32_t(width) : 0, is203Dpi ? 1 : 0, &labels);
  if (code == 6) return CROP_IMAGE_SIZE_ERROR;
  labels.erase(std::remove_if(labels.begin(), labels.end(),
                              [](const LabelImage& l) { return l.barcodes.empty(); }),
               labels.end());
  if (labels.empty()) return CROP_NO_BARCODE;
  job.working->record.cropPageCount++;
  try {
    g_labelNotes.clear();
    for (const LabelImage& l : labels) g_labelNotes.push_back({l.reRendered != 0, l.antiAliased != 0});
  } catch (const std::bad_alloc&) {
    g_labelNotes.clear();  // the notes are a report only; the page goes on
  }

  bool refused = false;
  for (const LabelImage& l : labels) refused |= l.antiAliased != 0 && l.reRendered != 0;
  if (refused && !AcceptsAntiAliased(job.outputContext)) return CROP_ANTIALIASED_BARCODE;
  std::vector<LabelPixels> pixels;
  try {
    pixels.reserve(labels.size());
  } catch (const std::bad_alloc&) {
    return CROP_NO_BARCODE;
  }
  for (const LabelImage& l : labels) {
    if (l.pixels.size() < static_cast<size_t>(l.stride) * l.height || l.stride < l.width) {
      return CROP_NO_BARCODE;
    }
    pixels.push_back({l.pixels.data(), l.stride, l.width, l.height});
  }
  return PrintOnSurfaces(pixels, kind, job);
}

}  // namespace

std::vector<ExtendedLabelNote> TakeExtendedLabelNotes() { return std::exchange(g_labelNotes, {}); }

int32_t PrintableWidth(const output::CropWorkingCopy& working) {
  const settings::MediaSettings& m = working.record.mediaSettings;
  const uint32_t dpi = working.record.printerResolution;
  return Dots(m.mmLabelWidth, dpi) - Dots(m.mmLeftMargin, dpi) - Dots(m.mmRightMargin, dpi);
}

int32_t PrintableLength(const output::CropWorkingCopy& working) {
  return Dots(working.record.mediaSettings.mmLabelLength, working.record.printerResolution);
}

CropResult BasicCropPerLabel(const CropPage& page, const CropJob& job) {
  return BasicCrop(page, job, SurfaceKind::kPerLabel);
}

CropResult BasicCropFixedSize(const CropPage& page, const CropJob& job) {
  return BasicCrop(page, job, SurfaceKind::kFixedSize);
}

CropResult ExtendedCropPerLabel(const CropPage& page, const CropJob& job) {
  return ExtendedCrop(page, job, SurfaceKind::kPerLabel);
}

CropResult ExtendedCropFixedSize(const CropPage& page, const CropJob& job) {
  return ExtendedCrop(page, job, SurfaceKind::kFixedSize);
}

}  // namespace crop
