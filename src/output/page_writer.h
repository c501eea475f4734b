// The page writer: one finished page (or one cropped label) becomes the label
// command stream for it, and at the end of a job a saved print file.
#pragma once

#include <cstdint>

#include "frame/private_devmode.h"
#include "platform/abi.h"

namespace output {

// The ordinary page writer. The page image is the one the PdevState holds;
// savedPublic and savedRecord are the devmodes saved with the page.
// End of document: a job stream copy that its last page never turned into a
// print file (that page could not be saved or read back) becomes one now, so
// the print file holds what the printer got.
void FinishPrintFile(winabi::DEVOBJ* pdevobj, const frame::PrivateDevmode& record);

void WriteImage_PageOut_Spooler(winabi::DEVOBJ* pdevobj, winabi::DEVMODEW* savedPublic,
                                frame::PrivateDevmode* savedRecord, bool endOfJob);

// An 8-bit label surface handed over by crop print.
struct LabelSurface {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const std::uint8_t* pixels = nullptr;
  std::uint32_t byteCount = 0;
};

// The page writer of crop print, once per cropped label.
void WriteImage(const LabelSurface& label, void* workingCopy, void* outputContext,
                winabi::DEVOBJ* pdevobj, bool endOfJob);

// Crop print of one saved page.
void WriteImage_CropPrint(winabi::DEVOBJ* pdevobj, winabi::DEVMODEW* savedPublic,
                          frame::PrivateDevmode* savedRecord, bool endOfJob);

}  // namespace output
