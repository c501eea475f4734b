// The page writer: one finished page (or one cropped label) becomes the label
// command stream for it, and at the end of a job a saved print file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/private_devmode.h"
#include "platform/abi.h"
#include "platform/os.h"
#include "settings/media_settings.h"

namespace output {

// The ordinary page writer. The page image is the one the PdevState holds;
// savedPublic and savedRecord are the devmodes saved with the page.
void WriteImage_PageOut_Spooler(winabi::DEVOBJ* pdevobj, winabi::DEVMODEW* savedPublic,
                                frame::PrivateDevmode* savedRecord, bool endOfJob);

// An 8-bit label surface handed over by crop print.
struct LabelSurface {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const std::uint8_t* pixels = nullptr;
  std::uint32_t byteCount = 0;
};

// Crop print's copy of the devmodes of a page, handed to the page writer with
// every label: the public devmode followed by the private record.
struct CropWorkingCopy {
  winabi::DEVMODEW publicDm;
  frame::PrivateDevmode record;
};
static_assert(offsetof(CropWorkingCopy, record) == sizeof(winabi::DEVMODEW));

// The page writer of crop print, once per cropped label. The label's rows are
// 8-bit, padded to 4 bytes; a label whose bytes do not cover its size is not
// written. workingCopy is a CropWorkingCopy: label size, margins and print
// width come from it, every other setting from the live devmodes.
void WriteImage(const LabelSurface& label, void* workingCopy, void* outputContext,
                winabi::DEVOBJ* pdevobj, bool endOfJob);

// Message 82 (no supported media) with the model name as title.
void ShowUnsupportedMedia(const frame::PrivateDevmode& record);
// The job's form wins over the stored media: its size and margins replace
// theirs when the spooler has the form.
void TakeFormSize(os::PrinterHandle printer, const char16_t* formName,
                  settings::MediaSettings* media);
// A form more than 0.1 mm wider than the widest media of the model (within
// single-precision rounding of the two widths).
bool IsWiderThanMedia(const frame::PrivateDevmode& record);

// Step 20: the job stream copy becomes the saved print file; numbered names
// start at firstNumber.
void SavePrintFile(winabi::DEVOBJ* pdevobj, const frame::PrivateDevmode& record, int firstNumber);

}  // namespace output
