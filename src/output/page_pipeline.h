// The pixel and command steps shared by the two page writers: tone,
// halftone, turns, fitting to the label, inversion, header, print blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "capture/pdev_state.h"
#include "frame/private_devmode.h"
#include "output/page_memory.h"
#include "platform/abi.h"
#include "platform/os.h"
#include "settings/media_settings.h"

namespace output {

// What one page or label is written with.
struct PageJob {
  winabi::DEVOBJ* pdevobj = nullptr;
  os::File* copy = nullptr;                  // the job stream copy, when kept
  frame::PrivateDevmode* record = nullptr;   // resolution, scales, shifts, switches
  settings::MediaSettings* media = nullptr;  // label size and margins
  float maximumPrintWidth = 0.0f;
  int orientation = 1;
  std::int16_t copies = 1;
  std::int16_t collate = 0;
  bool endOfJob = false;
  bool firstPage = false;
  bool cropPath = false;  // crop labels: dot sizes truncated, no landscape turn
};

// The page image held in the PdevState, steps 5 to 19 of the ordinary writer.
void WritePageFromState(capture::PdevState* state, PageJob* job);

// An 8-bit grey page that the steps from the tone adjustment on may change.
struct GreyInput {
  std::uint8_t* pixels = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;
};
// Tone, halftone, turns, fitting, commands; the state's info header follows
// the image as it changes.
void WriteGreyPage(capture::PdevState* state, GreyInput input, bool blankOnArrival, PageJob* job);

// The page has no dark pixel: every byte of its 8-bit image is 255.
bool IsBlankOnArrival(const std::uint8_t* pixels, std::uint32_t imageSize);

// Refreshes the BMP headers of the page record before halftoning.
void RefreshPageHeaders(capture::PdevState* state);

// An 8-bit grey image, rows padded to 4 bytes.
struct GreyImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;
  PageVector<std::uint8_t> pixels;
};
inline std::uint32_t GreyStride(std::uint32_t width) { return (width + 3) & ~3u; }

// Turns a grey image a quarter turn: clockwise (90 degrees) or
// counter-clockwise (270). Nothing when the memory cannot be had.
std::optional<GreyImage> TurnGreyQuarter(const std::uint8_t* pixels, std::uint32_t width,
                                         std::uint32_t stride, std::uint32_t height,
                                         bool clockwise);

// Label size in printer dots (Wd, Ld); widths beyond the print width are
// centred on the head and the media margins adjusted.
struct LabelDots {
  std::uint32_t width = 0;
  std::uint32_t length = 0;
};
LabelDots LabelSizeInDots(settings::MediaSettings* media, float maximumPrintWidth,
                          std::uint32_t resolution, bool cropPath);

}  // namespace output
