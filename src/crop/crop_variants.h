// The four crop variants: a search over the page, the labels checked against
// the media, each put on a white engine surface and handed to the page writer,
// the last one held for the next page or the end of the job.
#pragma once

#include <cstdint>
#include <vector>

#include "output/page_writer.h"
#include "platform/abi.h"

namespace crop {

// The one-byte outcome of a crop page.
enum CropResult : uint8_t {
  CROP_PRINTED = 0,
  CROP_BARCODE_WIDER_THAN_MEDIA = 1,
  CROP_IMAGE_SIZE_ERROR = 2,
  CROP_ANTIALIASED_BARCODE = 3,
  CROP_NO_BARCODE = 4,
  CROP_NO_MEDIA_NAME = 10,
  CROP_SURFACE_FAILED = 11,
};

// The captured page: 8-bit rows top to bottom, 255 white.
struct CropPage {
  const uint8_t* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t stride = 0;
  uint32_t surfaceFormat = 8;  // bits per pixel of the label surfaces
};

// What every variant works with besides the page: the working copy of the
// devmodes (its crop page count is raised once when labels are found), the
// output context the page writer gets, and the job's device object.
struct CropJob {
  output::CropWorkingCopy* working = nullptr;
  void* outputContext = nullptr;
  winabi::DEVOBJ* pdevobj = nullptr;
};

// Media types 2 and 3 get one surface per label, as long as the label; other
// media one surface of the fixed printable size.
CropResult BasicCropPerLabel(const CropPage& page, const CropJob& job);
CropResult BasicCropFixedSize(const CropPage& page, const CropJob& job);
CropResult ExtendedCropPerLabel(const CropPage& page, const CropJob& job);
CropResult ExtendedCropFixedSize(const CropPage& page, const CropJob& job);

// What the extended search made of each label of the last page it printed
// or refused (labels without barcodes left out), for tools that report on a
// job. Taking the notes clears them.
struct ExtendedLabelNote {
  bool reRendered;
  bool antiAliased;
};
std::vector<ExtendedLabelNote> TakeExtendedLabelNotes();

// Printable width and length in dots of the working copy's media.
int32_t PrintableWidth(const output::CropWorkingCopy& working);
int32_t PrintableLength(const output::CropWorkingCopy& working);

// The output context: 220 zeroed bytes with the model name from byte 2.
inline constexpr size_t kOutputContextSize = 220;
inline constexpr size_t kOutputContextNameOffset = 2;
inline constexpr size_t kOutputContextNameChars = 32;

}  // namespace crop
